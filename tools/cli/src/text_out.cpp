#include "text_out.h"

#include <cerrno>
#include <climits>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace cli {

std::string Latin1ToUtf8(const uint8_t* bytes, std::size_t n) {
    std::string out;
    out.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const uint8_t b = bytes[i];
        if (b < 0x80) {
            out += static_cast<char>(b);
        } else {
            out += static_cast<char>(0xC0 | (b >> 6));
            out += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return out;
}

std::string Latin1ToUtf8(std::string_view bytes) {
    return Latin1ToUtf8(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

namespace {

// Length of the valid UTF-8 sequence at text[i] (overlong forms, surrogates
// and code points past U+10FFFF are not valid), 0 when there is none.
std::size_t Utf8SequenceAt(std::string_view text, std::size_t i) {
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = at(i);
    if (c < 0x80) return 1;
    std::size_t len = 0;
    unsigned char lo = 0x80, hi = 0xBF;  // the range of the second byte
    if (c >= 0xC2 && c <= 0xDF) len = 2;
    else if (c == 0xE0) len = 3, lo = 0xA0;
    else if (c == 0xED) len = 3, hi = 0x9F;
    else if (c >= 0xE1 && c <= 0xEF) len = 3;
    else if (c == 0xF0) len = 4, lo = 0x90;
    else if (c == 0xF4) len = 4, hi = 0x8F;
    else if (c >= 0xF1 && c <= 0xF3) len = 4;
    else return 0;
    if (i + len > text.size() || at(i + 1) < lo || at(i + 1) > hi) return 0;
    for (std::size_t k = 2; k < len; ++k)
        if ((at(i + k) & 0xC0) != 0x80) return 0;
    return len;
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t len = Utf8SequenceAt(text, i);
        if (len == 0) return false;
        i += len;
    }
    return true;
}

std::string ShownPath(std::string_view path) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(path.size());
    for (std::size_t i = 0; i < path.size();) {
        const auto c = static_cast<unsigned char>(path[i]);
        const std::size_t len = Utf8SequenceAt(path, i);
        if (len == 0 || c < 0x20 || c == 0x7F) {
            out += "\\x";
            out += digits[c >> 4];
            out += digits[c & 15];
            ++i;
        } else {
            out.append(path.substr(i, len));
            i += len;
        }
    }
    return out;
}

std::string ShownPath(const std::filesystem::path& path) {
#ifdef _WIN32
    // The native form is UTF-16 there; its UTF-8 is what the user typed.
    const std::u8string utf8 = path.u8string();
    return ShownPath(std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()));
#else
    return ShownPath(std::string_view(path.native()));
#endif
}

std::string SystemReason(int error) { return error == 0 ? "unknown error" : std::strerror(error); }

int WriteAll(int fd, const char* bytes, std::size_t size) {
    while (size > 0) {
#ifdef _WIN32
        const int n = ::_write(fd, bytes, static_cast<unsigned>(size < INT_MAX ? size : INT_MAX));
#else
        const ssize_t n = ::write(fd, bytes, size);
#endif
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 && errno != 0 ? errno : EIO;
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return 0;
}

#ifdef _WIN32
CheckedFdBuffer::CheckedFdBuffer(int fd) : fd_(fd), lineBuffered_(::_isatty(fd) != 0) {
#else
CheckedFdBuffer::CheckedFdBuffer(int fd) : fd_(fd), lineBuffered_(::isatty(fd) != 0) {
#endif
    setp(buffer_, buffer_ + sizeof buffer_);
}

bool CheckedFdBuffer::Drain() {
    // After a failure the rest is dropped: the first reason is the one shown.
    if (error_ == 0) error_ = WriteAll(fd_, pbase(), static_cast<std::size_t>(pptr() - pbase()));
    setp(buffer_, buffer_ + sizeof buffer_);
    return error_ == 0;
}

CheckedFdBuffer::int_type CheckedFdBuffer::overflow(int_type c) {
    if (!Drain()) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
    }
    return traits_type::not_eof(c);
}

std::streamsize CheckedFdBuffer::xsputn(const char* s, std::streamsize n) {
    std::streamsize done = 0;
    while (done < n) {
        if (pptr() == epptr() && !Drain()) return done;
        const std::streamsize room = epptr() - pptr();
        const std::streamsize chunk = n - done < room ? n - done : room;
        std::memcpy(pptr(), s + done, static_cast<std::size_t>(chunk));
        pbump(static_cast<int>(chunk));
        done += chunk;
    }
    if (lineBuffered_ && std::memchr(s, '\n', static_cast<std::size_t>(n)) != nullptr) Drain();
    return done;
}

int CheckedFdBuffer::sync() { return Drain() ? 0 : -1; }

}  // namespace cli
