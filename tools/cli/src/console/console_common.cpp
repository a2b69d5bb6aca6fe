#include "console/console_common.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>

#include "tolvane/files.h"

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
    o.err << "tolvane2-cli: " << what << " \"" << text << "\" is not a number 0.." << max << " ("
          << Hex(max, max > 0xFF ? 4 : 2) << "); give it in decimal or as 0x followed by hex digits\n";
    return false;
}

bool Confirm(const std::string& plan, const Consent& c, Output& o) {
    o.err << plan;
    if (c.yes) return true;
    if (!c.interactive) {
        o.err << "tolvane2-cli: nothing was changed; add --yes to go on without a question\n";
        return false;
    }
    o.err << "Go on? [y/N] " << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) answer.clear();
    if (answer == "y" || answer == "Y" || answer == "yes") return true;
    o.err << "tolvane2-cli: nothing was changed\n";
    return false;
}

bool ReadWholeFile(const std::string& path, Bytes& bytes, Output& o) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        o.err << "tolvane2-cli: cannot open " << path << "\n";
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        o.err << "tolvane2-cli: cannot read " << path << "\n";
        return false;
    }
    return true;
}

bool SaveFile(const std::string& path, const Bytes& bytes, Output& o) {
    if (WriteFileAtomically(path, bytes.data(), bytes.size())) return true;
    o.err << "tolvane2-cli: cannot write " << path << "\n";
    return false;
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
