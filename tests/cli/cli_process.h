// Running the built tolvane2-cli program as a child process: its exit code,
// what it wrote to stdout and stderr, with stdout optionally pointed at a
// file, /dev/full or a pseudo-terminal, in a chosen working folder.
#pragma once

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#ifndef TOLVANE2_CLI_PROGRAM
#error "TOLVANE2_CLI_PROGRAM must name the built tolvane2-cli"
#endif

namespace clitest {

struct ProcessResult {
    int code = -1;    // exit code; 128 + n when killed by signal n
    std::string out;  // stdout, when it was captured
    std::string err;
};

// Everything written to `fd` from its start.
inline std::string SlurpFd(int fd) {
    std::string text;
    char buffer[4096];
    if (::lseek(fd, 0, SEEK_SET) != 0) return text;
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR);)
        if (n > 0) text.append(buffer, static_cast<std::size_t>(n));
    return text;
}

// An anonymous file for a child's output: made and at once unlinked, so that
// nothing is left in /tmp whatever becomes of the test.
inline int AnonymousFile() {
    char name[] = "/tmp/tolvane_cli_out_XXXXXX";
    const int fd = ::mkstemp(name);
    if (fd >= 0) ::unlink(name);
    return fd;
}

// stdoutTo: "" captures stdout, ":pty" points it at a pseudo-terminal, any
// other text is a file opened for writing (e.g. /dev/full). The child is
// killed after `timeoutSeconds` (a reader that blocks shows up as 128 + 9).
// `asUser` >= 0 runs it as that user (for root, whom permissions do not bind).
inline ProcessResult RunProgram(const std::vector<std::string>& args, const std::string& cwd,
                                const std::string& stdoutTo = "", unsigned timeoutSeconds = 20, long asUser = -1) {
    const int outFd = AnonymousFile(), errFd = AnonymousFile();
    int ptyMaster = -1, target = -1;
    if (stdoutTo == ":pty") {
        ptyMaster = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (ptyMaster >= 0 && ::grantpt(ptyMaster) == 0 && ::unlockpt(ptyMaster) == 0)
            target = ::open(::ptsname(ptyMaster), O_RDWR | O_NOCTTY);
    } else if (!stdoutTo.empty()) {
        target = ::open(stdoutTo.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    } else {
        target = outFd;
    }
    ProcessResult r;
    const auto closeAll = [&] {
        for (int fd : {target != outFd ? target : -1, ptyMaster, outFd, errFd})
            if (fd >= 0) ::close(fd);
    };
    if (outFd < 0 || errFd < 0 || target < 0) {
        closeAll();
        r.err = "the test could not set up the child's output";
        return r;
    }
    std::vector<char*> argv;
    std::string program = TOLVANE2_CLI_PROGRAM;
    argv.push_back(program.data());
    std::vector<std::string> copy = args;
    for (auto& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int in = ::open("/dev/null", O_RDONLY);
        if (in < 0 || ::dup2(in, 0) < 0 || ::dup2(target, 1) < 0 || ::dup2(errFd, 2) < 0 ||
            (!cwd.empty() && ::chdir(cwd.c_str()) != 0) ||
            (asUser >= 0 && (::setgid(static_cast<gid_t>(asUser)) != 0 || ::setuid(static_cast<uid_t>(asUser)) != 0)))
            ::_exit(126);
        ::alarm(timeoutSeconds);  // kept across exec: SIGALRM ends a child that hangs
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    while (pid > 0 && ::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    r.code = pid < 0 ? -1 : WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = SlurpFd(outFd);
    r.err = SlurpFd(errFd);
    closeAll();
    return r;
}

}  // namespace clitest
