#include "tolvane/file_io.h"

#include <cerrno>
#include <cstdio>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

fs::path PathFromUtf8(std::string_view utf8) {
    return fs::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

std::string Utf8FromPath(const fs::path& path) {
    const std::u8string s = path.u8string();
    return std::string(s.begin(), s.end());
}

#ifdef _WIN32

long ReadFileStart(const fs::path& path, uint8_t* buffer, std::size_t size, std::uint64_t* fileSize) {
    std::error_code ec;
    if (path.empty() || !fs::is_regular_file(path, ec)) return -1;
    std::FILE* f = _wfopen(path.c_str(), L"rb");
    if (f == nullptr) return -1;
    const std::size_t got = std::fread(buffer, 1, size, f);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) return -1;
    if (fileSize != nullptr) {
        const auto total = fs::file_size(path, ec);
        if (ec) return -1;
        *fileSize = total;
    }
    return static_cast<long>(got);
}

bool WriteWholeFile(const fs::path& target, const uint8_t* data, std::size_t size) {
    if (target.empty()) return false;
    static unsigned counter = 0;
    std::error_code ec;
    fs::path temp = target;
    temp += L".tmp" + std::to_wstring(_getpid()) + L"_" + std::to_wstring(++counter);
    // The content reaches the disk (_commit flushes the file's buffers to the
    // device) before the rename makes it the file; the rename itself is
    // written through, so a power cut leaves the old file or the new one.
    std::FILE* out = _wfopen(temp.c_str(), L"wb");
    if (out == nullptr) return false;
    bool ok = std::fwrite(data, 1, size, out) == size;
    ok = std::fflush(out) == 0 && ok;
    ok = _commit(_fileno(out)) == 0 && ok;
    ok = std::fclose(out) == 0 && ok;
    ok = ok && MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!ok) fs::remove(temp, ec);
    return ok;
}

#else

namespace {

// Opens without waiting (a FIFO without writer, a terminal without carrier)
// and keeps the descriptor only when it is a regular file.
int OpenRegularFile(const fs::path& path, int access, struct stat& st) {
    const int fd = ::open(path.c_str(), access | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return -1;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool WriteAllAt(int fd, const uint8_t* data, std::size_t size) {
    off_t offset = 0;
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, size, offset);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        data += n;
        offset += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Follows symbolic links until a name that is not one, also when the last
// target does not exist (a save then creates it). False on a loop.
bool FollowLinks(fs::path path, fs::path& resolved) {
    for (int depth = 0; depth < 40; ++depth) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            resolved = path;
            return true;
        }
        std::error_code ec;
        const fs::path next = fs::read_symlink(path, ec);
        if (ec) return false;
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return false;
}

// The umask can only be read by setting it; it is put back at once. (No other
// thread of the editor creates files meanwhile.)
mode_t CurrentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// Creates a new, empty, private file in `dir`. Returns its descriptor or -1
// with errno telling why the folder refused it.
int CreatePrivateTemp(const fs::path& dir, fs::path& temp) {
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        // A short name of its own, so that a target name near the length
        // limit still leaves room for it.
        temp = dir / (".tolvane" + std::to_string(::getpid()) + "_" + std::to_string(++counter) + ".tmp");
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

// Gives the still empty temporary file the owner and mode of the file it
// replaces. Where the owner cannot be kept the file stays ours; where not
// even the group can be kept, the group's rights are dropped rather than
// handed to another group.
bool TakeOverOwnerAndMode(int fd, const struct stat& old) {
    mode_t mode = old.st_mode & 07777;
    if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
        if (::fchown(fd, old.st_uid, old.st_gid) != 0 && ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0)
            mode &= static_cast<mode_t>(~070);
    }
    return ::fchmod(fd, mode) == 0;
}

void SyncFolder(const fs::path& dir) {
    const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
}

// The fallback for a writable file in a folder that refuses new files.
bool OverwriteInPlace(const fs::path& target, const uint8_t* data, std::size_t size) {
    struct stat st {};
    const int fd = OpenRegularFile(target, O_WRONLY, st);
    if (fd < 0) return false;
    const off_t oldSize = st.st_size;
    const off_t newSize = static_cast<off_t>(size);
    // Room for the whole content before a single byte changes; a file that
    // cannot grow to it is given back its old length and stays as it was.
    int why = oldSize >= newSize ? 0 : ::posix_fallocate(fd, 0, newSize);
    if (why != 0) {
        const int restored = ::ftruncate(fd, oldSize);
        (void)restored;  // nothing was written; the length is all there is to undo
    }
    if (why == 0 && !WriteAllAt(fd, data, size)) why = errno;
    if (why == 0 && oldSize > newSize && ::ftruncate(fd, newSize) != 0) why = errno;
    if (why == 0 && ::fsync(fd) != 0) why = errno;
    if (::close(fd) != 0 && why == 0) why = errno;
    errno = why;
    return why == 0;
}

}  // namespace

long ReadFileStart(const fs::path& path, uint8_t* buffer, std::size_t size, std::uint64_t* fileSize) {
    if (path.empty()) return -1;
    struct stat st {};
    const int fd = OpenRegularFile(path, O_RDONLY, st);
    if (fd < 0) return -1;
    std::size_t got = 0;
    bool failed = false;
    while (got < size) {
        const ssize_t n = ::read(fd, buffer + got, size - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) failed = true;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (failed) return -1;
    if (fileSize != nullptr) *fileSize = static_cast<std::uint64_t>(st.st_size);
    return static_cast<long>(got);
}

bool WriteWholeFile(const fs::path& requested, const uint8_t* data, std::size_t size) {
    if (requested.empty()) {
        errno = ENOENT;
        return false;
    }
    // Saving through a symbolic link replaces the file it points to, not the link.
    fs::path target;
    if (!FollowLinks(requested, target)) {
        errno = ELOOP;
        return false;
    }
    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;
    if (!existed && errno != ENOENT) return false;
    // Only a regular file is replaced (never a folder or a device), and a
    // file the user has made read-only stays as it is.
    if (existed && !S_ISREG(old.st_mode)) {
        errno = S_ISDIR(old.st_mode) ? EISDIR : EINVAL;
        return false;
    }
    if (existed && ::access(target.c_str(), W_OK) != 0) return false;

    fs::path dir = target.parent_path();
    if (dir.empty()) dir = ".";
    fs::path temp;
    const int fd = CreatePrivateTemp(dir, temp);
    if (fd < 0) {
        const int why = errno;
        if (existed && (why == EACCES || why == EPERM)) return OverwriteInPlace(target, data, size);
        return false;
    }

    bool ok = existed ? TakeOverOwnerAndMode(fd, old) : ::fchmod(fd, 0666 & ~CurrentUmask()) == 0;
    if (ok) ok = WriteAllAt(fd, data, size);
    if (ok) ok = ::fsync(fd) == 0;
    int why = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        why = errno;
    }
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
        ok = false;
        why = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        errno = why;  // the reason of the failed step, not of the clean-up
        return false;
    }
    SyncFolder(dir);  // makes the rename itself durable
    return true;
}

#endif
