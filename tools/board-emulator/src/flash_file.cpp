// The flash kept in a file: loaded at Start, saved when the line is quiet and
// at Stop. A save replaces the file the way an editor saves its files: through
// a symbolic link to its target, keeping the file's mode and owner, never
// leaving a half-written file behind, and durable once it returns.
#include "board_internal.h"

#include <climits>
#include <cstdio>
#include <fstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantrel_board {

namespace {

std::string DirectoryOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// The file a save must replace: path with its symbolic links followed, also
// when the last one points at a file that does not exist yet.
bool ResolveTarget(const std::string& path, std::string& target) {
    target = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
        char buf[PATH_MAX];
        ssize_t n = readlink(target.c_str(), buf, sizeof buf - 1);
        if (n < 0) return false;
        buf[n] = '\0';
        std::string next(buf);
        target = next.front() == '/' ? next : DirectoryOf(target) + "/" + next;
    }
    errno = ELOOP;
    return false;
}

// The mode a new file gets: 0666 less the process's umask, read without
// changing it (umask() would race with other threads that create files).
mode_t NewFileMode() {
    mode_t mask = 022;
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Umask:", 0) == 0) mask = static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
    return 0666 & ~mask;
}

}  // namespace

void Board::SaveIfDirty() {
    if (options_.flashFile.empty()) return;
    {
        std::lock_guard lock(mutex_);
        if (!flashDirty_) return;
        flashDirty_ = false;
    }
    std::string error;
    if (!SaveFlash(options_.flashFile, &error)) {
        Log(error);
        std::lock_guard lock(mutex_);
        flashDirty_ = true;
    }
}

bool Board::LoadOthers() {
    for (auto& [a, other] : others_) {
        const std::string& file = other->options_.flashFile;
        if (file.empty() || access(file.c_str(), F_OK) != 0) continue;
        std::string error;
        if (!other->LoadFlash(file, &error)) {
            lastError_ = error;
            return false;
        }
    }
    return true;
}

void Board::SaveOthers(bool atStop) {
    for (auto& [a, other] : others_) {
        const std::string& file = other->options_.flashFile;
        if (file.empty()) continue;
        if (atStop && access(file.c_str(), F_OK) != 0) {
            std::lock_guard lock(other->mutex_);
            other->flashDirty_ = true;
        }
        other->SaveIfDirty();
    }
}

bool Board::SaveFlash(const std::string& path, std::string* error) const {
    std::vector<uint8_t> copy;
    {
        std::lock_guard lock(mutex_);
        copy = flash_;
    }
    auto failed = [&](const char* what) {
        if (error) *error = "cannot save flash file " + path + ": " + what + ": " + std::strerror(errno);
        return false;
    };
    std::string target;
    if (!ResolveTarget(path, target)) return failed("follow link");

    // The temporary file is created private (mkstemp) and gets the old file's
    // owner and mode before any content is written.
    std::string tmp = target + ".XXXXXX";
    std::vector<char> name(tmp.begin(), tmp.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0) return failed("create");
    auto discard = [&](const char* what) {
        int saved = errno;
        if (fd >= 0) close(fd);
        unlink(name.data());
        errno = saved;
        return failed(what);
    };
    struct stat old {};
    if (stat(target.c_str(), &old) == 0) {
        // Only root may give a file away; otherwise the file is ours anyway.
        if (fchown(fd, old.st_uid, old.st_gid) != 0) {
        }
        if (fchmod(fd, old.st_mode & 07777) != 0) return discard("set mode");
    } else if (fchmod(fd, NewFileMode()) != 0) {
        return discard("set mode");
    }
    std::size_t done = 0;
    while (done < copy.size()) {
        ssize_t w = write(fd, copy.data() + done, copy.size() - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return discard("write");
        done += static_cast<std::size_t>(w);
    }
    if (fsync(fd) != 0) return discard("flush");
    int closing = fd;
    fd = -1;
    if (close(closing) != 0) return discard("flush");
    if (rename(name.data(), target.c_str()) != 0) return discard("rename");
    // The rename itself is durable only once the folder is synced.
    int dir = open(DirectoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return true;
}

bool Board::LoadFlash(const std::string& path, std::string* error) {
    // Only a regular file, opened without blocking (a FIFO would wait for a writer).
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (error)
            *error = "cannot open flash file " + path + ": " + (fd < 0 ? std::strerror(errno) : "not a regular file");
        if (fd >= 0) close(fd);
        return false;
    }
    std::vector<uint8_t> data(kFlashSize + 1);
    std::size_t got = 0;
    bool readError = false;
    while (got < data.size()) {
        ssize_t n = read(fd, data.data() + got, data.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) readError = true;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    close(fd);
    if (readError) {
        if (error) *error = "cannot read flash file " + path;
        return false;
    }
    if (got != kFlashSize) {
        if (error)
            *error = "flash file " + path + " holds " + (got > kFlashSize ? "more than 65536" : std::to_string(got)) +
                     " bytes; a flash image is exactly 65536 bytes";
        return false;
    }
    data.resize(kFlashSize);
    std::lock_guard lock(mutex_);
    flash_.swap(data);
    return true;
}

}  // namespace vantrel_board
