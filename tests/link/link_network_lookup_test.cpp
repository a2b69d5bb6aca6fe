// Host names of serial servers: a name server that never answers must not
// hold the connect past its time-out. The case runs in a child process with
// network and mount namespaces of its own, where /etc/resolv.conf names a
// name server on the loopback that receives every query and answers none.
#include "net_socket.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

namespace {

constexpr int kCannotIsolate = 77;

bool WriteFile(const char* path, const std::string& text) {
    const int fd = open(path, O_WRONLY);
    if (fd < 0) return false;
    const bool ok = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    close(fd);
    return ok;
}

// In the child: namespaces of its own (as the user it is), the loopback up,
// a silent name server on 127.0.0.1:53 and a resolv.conf that names it.
bool Isolate(const std::string& resolvConf) {
    const uid_t uid = getuid();
    const gid_t gid = getgid();
    if (unshare(CLONE_NEWUSER | CLONE_NEWNS | CLONE_NEWNET) != 0) return false;
    WriteFile("/proc/self/setgroups", "deny");
    if (!WriteFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
        !WriteFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"))
        return false;
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount(resolvConf.c_str(), "/etc/resolv.conf", nullptr, MS_BIND, nullptr) != 0)
        return false;
    const int s = socket(AF_INET, SOCK_DGRAM, 0);
    ifreq lo{};
    std::strcpy(lo.ifr_name, "lo");
    if (ioctl(s, SIOCGIFFLAGS, &lo) != 0) return false;
    lo.ifr_flags |= IFF_UP;
    if (ioctl(s, SIOCSIFFLAGS, &lo) != 0) return false;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(53);
    return bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;  // kept open, never read
}

TEST(NetworkLookup, ANameServerThatNeverAnswersEndsAtTheConnectTimeOut) {
    char conf[] = "/tmp/vantrel-resolv-XXXXXX";
    const int fd = mkstemp(conf);
    ASSERT_GE(fd, 0);
    close(fd);
    std::ofstream(conf) << "nameserver 127.0.0.1\noptions timeout:30 attempts:2\n";
    chmod(conf, 0644);

    const pid_t child = fork();
    if (child == 0) {
        if (!Isolate(conf)) _exit(kCannotIsolate);
        const auto t0 = std::chrono::steady_clock::now();
        std::string problem;
        const auto s = vantrel::net::Connect("station3.vantrel.example", "4001", 400, problem);
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
        std::fprintf(stderr, "%lld ms: %s\n", static_cast<long long>(ms), problem.c_str());
        const bool timedOut = problem.find("timed out looking up the host name") != std::string::npos;
        _exit(s == vantrel::net::kNoSocket && timedOut && ms >= 350 && ms < 1500 ? 0 : 1);
    }
    ASSERT_GT(child, 0);
    // The unbounded lookup takes a minute: give up on it well before.
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    unlink(conf);
    if (WIFEXITED(status) && WEXITSTATUS(status) == kCannotIsolate)
        GTEST_SKIP() << "no user, mount and network namespaces here";
    EXPECT_TRUE(WIFEXITED(status)) << "the lookup was still waiting after 10 s";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the connect did not end at its time-out with the lookup's reason";
}

// Numeric addresses are used as they are, with no lookup; a port without a
// server refuses at once.
TEST(NetworkLookup, NumericAddressesNeedNoNameServer) {
    for (const char* host : {"127.0.0.1", "::1"}) {
        std::string problem;
        const auto t0 = std::chrono::steady_clock::now();
        const auto s = vantrel::net::Connect(host, "1", 2000, problem);
        EXPECT_EQ(s, vantrel::net::kNoSocket) << host;
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(500)) << host;
        EXPECT_EQ(problem.find("looking up"), std::string::npos) << host << ": " << problem;
    }
}

}  // namespace
