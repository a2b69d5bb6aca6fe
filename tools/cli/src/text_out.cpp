#include "text_out.h"

#include <cerrno>
#include <cstring>

#include <unistd.h>

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

std::string ShownPath(const std::filesystem::path& path) { return ShownPath(std::string_view(path.native())); }

std::string SystemReason(int error) { return error == 0 ? "unknown error" : std::strerror(error); }

CheckedFdBuffer::CheckedFdBuffer(int fd) : fd_(fd), lineBuffered_(::isatty(fd) != 0) {
    setp(buffer_, buffer_ + sizeof buffer_);
}

bool CheckedFdBuffer::Drain() {
    const char* p = pbase();
    std::size_t left = static_cast<std::size_t>(pptr() - pbase());
    // After a failure the rest is dropped: the first reason is the one shown.
    while (left > 0 && error_ == 0) {
        const ssize_t n = ::write(fd_, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error_ = n < 0 ? errno : EIO;
            break;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
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
