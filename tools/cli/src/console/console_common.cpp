#include "console/console_common.h"

#include <cstdio>
#include <iostream>

#include "file_policy.h"
#include "tolvane/file_io.h"

namespace cli::console {

std::optional<uint32_t> ParseNumber(std::string_view text, uint32_t max) {
    unsigned base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        unsigned digit;
        if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f') digit = static_cast<unsigned>(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F') digit = static_cast<unsigned>(c - 'A' + 10);
        else return std::nullopt;
        value = value * base + digit;
        if (value > max) return std::nullopt;
    }
    return static_cast<uint32_t>(value);
}

bool ReadNumber(const std::string& text, const char* what, uint32_t max, uint32_t& value, Output& o) {
    if (auto v = ParseNumber(text, max)) {
        value = *v;
        return true;
    }
    o.Error() << what << " \"" << text << "\" is not a number 0.." << max << " (" << Hex(max, max > 0xFF ? 4 : 2)
              << "); give it in decimal or as 0x followed by hex digits";
    return false;
}

bool Confirm(const std::string& plan, const Consent& c, Output& o) {
    if (c.yes || !c.interactive) {
        o.Plain() << plan;
        if (c.yes) return true;
        o.Error() << "nothing was changed; add --yes to go on without a question";
        return false;
    }
    // The question is about the plan: it is shown even under --quiet.
    o.err << ShownText(plan) << "\nGo on? [y/N] " << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) answer.clear();
    if (answer == "y" || answer == "Y" || answer == "yes") return true;
    o.Error() << "nothing was changed";
    return false;
}

bool ReadInput(const std::string& path, std::size_t limit, Bytes& bytes, Output& o) {
    std::string content, error;
    if (!ReadSmallFile(PathFromUtf8(path), limit, content, error)) {
        o.Error() << error;
        return false;
    }
    bytes.assign(content.begin(), content.end());
    return true;
}

std::string HexByte(unsigned v) {
    char b[4];
    std::snprintf(b, sizeof b, "%02x", v & 0xFF);
    return b;
}

std::string Hex(unsigned v, int digits) {
    char b[16];
    std::snprintf(b, sizeof b, "0x%0*X", digits, v);
    return b;
}

std::string HexTable(uint32_t firstAddress, const Bytes& bytes, int addressDigits) {
    std::string text = std::string(static_cast<std::size_t>(addressDigits) + 2, ' ');
    text += " 0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f    0123456789abcdef\n";
    if (bytes.empty()) return text;
    const uint32_t end = firstAddress + static_cast<uint32_t>(bytes.size());
    for (uint32_t row = firstAddress & ~15u; row < end; row += 16) {
        char head[16];
        std::snprintf(head, sizeof head, "%0*x: ", addressDigits, row);
        std::string hex = head, ascii;
        for (uint32_t a = row; a < row + 16; ++a) {
            if (a < firstAddress || a >= end) {
                hex += "   ";
                ascii += ' ';
                continue;
            }
            const uint8_t b = bytes[a - firstAddress];
            hex += HexByte(b) + " ";
            ascii += (b >= 0x20 && b < 0x7F) ? static_cast<char>(b) : '.';
        }
        hex.pop_back();
        text += hex + "    " + ascii + "\n";
    }
    return text;
}

}  // namespace cli::console
