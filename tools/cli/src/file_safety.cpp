#include "file_safety.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "text_out.h"
#include "tolvane/file_io.h"
#include "tolvane/files.h"

namespace fs = std::filesystem;

namespace cli {

bool SameFile(const fs::path& a, const fs::path& b) {
    struct stat sa {}, sb {};
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool OutputIsNoInput(const std::string& output, std::initializer_list<std::string_view> inputs,
                     std::string& error) {
    if (output.empty() || output == "-") return true;
    for (std::string_view input : inputs) {
        if (!SameFile(PathFromUtf8(output), PathFromUtf8(input))) continue;
        error = ShownPath(output) + ": is the input file " + ShownPath(input) +
                "; name another output file (nothing was written)";
        return false;
    }
    return true;
}

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
        error = shown + ": is " + std::to_string(st.st_size) + " bytes; at most " + std::to_string(limit) +
                " are read";
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

bool WriteOutput(const std::string& output, std::string_view bytes, bool binary, const std::string& what,
                 Output& o, std::string& error) {
    if (output.empty() || output == "-") {
        if (binary && ::isatty(STDOUT_FILENO)) {
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
