// Text as the command line shows it: record names are Latin-1 bytes and are
// shown as UTF-8; file names are shown as they are when they are UTF-8 and
// with the other bytes escaped when not, so that every message and every JSON
// document the tool prints is valid UTF-8. And a standard output whose every
// write is checked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <streambuf>
#include <string>
#include <string_view>

namespace cli {

// One code point U+0000..U+00FF per byte.
std::string Latin1ToUtf8(const uint8_t* bytes, std::size_t n);
std::string Latin1ToUtf8(std::string_view bytes);

bool IsValidUtf8(std::string_view text);

// A path for messages and JSON: its bytes when they are valid UTF-8 without
// control characters; otherwise each byte that breaks that as \xHH.
std::string ShownPath(std::string_view path);
std::string ShownPath(const std::filesystem::path& path);
inline std::string ShownPath(const std::string& path) { return ShownPath(std::string_view(path)); }
inline std::string ShownPath(const char* path) { return ShownPath(std::string_view(path)); }

// The system's text for an errno value ("No space left on device").
std::string SystemReason(int error);

// Writes all `size` bytes to the file descriptor (retrying short writes);
// 0, or the errno value of the failure.
int WriteAll(int fd, const char* bytes, std::size_t size);

// A buffer that writes to a file descriptor and keeps the first failure:
// standard output pointed at a full disk, a closed pipe or /dev/full shows
// up as error() != 0 instead of being lost.
class CheckedFdBuffer : public std::streambuf {
public:
    // A terminal gets each line as it is complete, as stdio does.
    explicit CheckedFdBuffer(int fd);
    ~CheckedFdBuffer() override { sync(); }
    int error() const { return error_; }  // errno of the first failed write, 0 when none failed

protected:
    int_type overflow(int_type c) override;
    int sync() override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;

private:
    bool Drain();
    int fd_;
    bool lineBuffered_;
    int error_ = 0;
    char buffer_[8192];
};

}  // namespace cli
