#include "file_policy.h"

#include <cerrno>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "platform/terminal.h"
#include "text_out.h"
#include "tolvane/file_io.h"
#include "tolvane/files.h"

namespace fs = std::filesystem;

namespace cli {

#ifdef _WIN32

namespace {

// The volume and the file's index on it, which name one file however the
// path is spelt (case, short names, links followed).
bool FileIdentity(const fs::path& path, BY_HANDLE_FILE_INFORMATION& info) {
    // No access asked for: only the attributes are read. Folders open too.
    HANDLE h = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool ok = GetFileInformationByHandle(h, &info) != 0;
    CloseHandle(h);
    return ok;
}

}  // namespace

bool SameFile(const fs::path& a, const fs::path& b) {
    BY_HANDLE_FILE_INFORMATION ia{}, ib{};
    if (!FileIdentity(a, ia) || !FileIdentity(b, ib)) return false;
    return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
           ia.nFileIndexLow == ib.nFileIndexLow;
}

#else

bool SameFile(const fs::path& a, const fs::path& b) {
    struct stat sa {
    }, sb{};
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

#endif

bool IsRegularFile(const fs::path& path, std::string& error) {
    std::error_code ec;
    const auto status = fs::status(path, ec);
    if (!fs::exists(status)) {
        error = ShownPath(path) + ": no such file";
        return false;
    }
    if (!fs::is_regular_file(status)) {
        error = ShownPath(path) + ": not a regular file";
        return false;
    }
    return true;
}

namespace {

// The end of ReadSmallFile: `got` bytes were read into `content` (sized one
// byte past the file's size), `why` is the errno of a failed read or 0.
bool FinishRead(const std::string& shown, std::size_t limit, int why, std::size_t got, std::string& content,
                std::string& error) {
    if (why != 0) {
        error = shown + ": cannot be read: " + SystemReason(why);
        return false;
    }
    if (got > limit) {
        error = shown + ": grew past " + std::to_string(limit) + " bytes while it was read";
        return false;
    }
    content.resize(got);
    return true;
}

}  // namespace

#ifdef _WIN32

bool ReadSmallFile(const fs::path& path, std::size_t limit, std::string& content, std::string& error) {
    // Windows has no FIFOs in the file system; devices (NUL, CON, COM1) and
    // folders are no regular files and are refused before they are opened.
    const std::string shown = ShownPath(path);
    if (!IsRegularFile(path, error)) return false;
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec) {
        error = shown + ": cannot be opened: " + ec.message();
        return false;
    }
    if (size > limit) {
        error = shown + ": is " + std::to_string(size) + " bytes; at most " + std::to_string(limit) + " are read";
        return false;
    }
    std::FILE* f = _wfopen(path.c_str(), L"rb");
    if (f == nullptr) {
        error = shown + ": cannot be opened: " + SystemReason(errno);
        return false;
    }
    // One byte more than the size: a file that grew meanwhile is still bounded.
    content.assign(static_cast<std::size_t>(size) + 1, '\0');
    const std::size_t got = std::fread(content.data(), 1, content.size(), f);
    const bool failed = std::ferror(f) != 0;
    const int why = errno;
    std::fclose(f);
    return FinishRead(shown, limit, failed ? why : 0, got, content, error);
}

#else

bool ReadSmallFile(const fs::path& path, std::size_t limit, std::string& content, std::string& error) {
    const std::string shown = ShownPath(path);
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error = shown + (errno == ENOENT ? ": no such file" : ": cannot be opened: " + SystemReason(errno));
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        error = shown + ": not a regular file";
        return false;
    }
    if (static_cast<std::uintmax_t>(st.st_size) > limit) {
        ::close(fd);
        error = shown + ": is " + std::to_string(st.st_size) + " bytes; at most " + std::to_string(limit) + " are read";
        return false;
    }
    content.assign(static_cast<std::size_t>(st.st_size) + 1, '\0');
    std::size_t got = 0;
    int why = 0;
    // One byte more than the size: a file that grew meanwhile is still bounded.
    while (got < content.size()) {
        const ssize_t n = ::read(fd, content.data() + got, content.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) why = errno;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return FinishRead(shown, limit, why, got, content, error);
}

#endif

std::string WriteFailure(const fs::path& path, const std::string& what, int error) {
    std::string reason;
    std::error_code ec;
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    if (error == ENOENT && !fs::is_directory(folder, ec)) reason = "no such folder: " + ShownPath(folder);
    else if (error == EISDIR) reason = "is a folder";
    else if (error == EINVAL && fs::exists(path, ec) && !fs::is_regular_file(path, ec)) reason = "not a regular file";
    else reason = SystemReason(error);
    return ShownPath(path) + ": " + what + ": " + reason;
}

bool WriteOutput(const std::string& output, std::string_view bytes, bool binary, const std::string& what, Output& o,
                 std::string& error) {
    if (output.empty() || output == "-") {
        if (binary && platform::StdoutIsTerminal()) {
            error = "a binary file is not written to a terminal; redirect standard output or name a file with -o";
            return false;
        }
        o.out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return true;
    }
    const fs::path path = PathFromUtf8(output);
    if (WriteFileAtomically(path, bytes.data(), bytes.size())) return true;
    error = WriteFailure(path, what, errno);
    return false;
}

}  // namespace cli
