// Names in the order people count them: runs of digits compare as numbers,
// so that position A2 comes before A10 and ttyUSB9 before ttyUSB10.
#pragma once

#include <cctype>
#include <cstddef>
#include <string_view>

namespace cli {

inline bool NaturalLess(std::string_view a, std::string_view b) {
    const auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (digit(a[i]) && digit(b[j])) {
            // Leading zeros do not count; then the longer run is the bigger number.
            std::size_t ie = i, je = j;
            while (ie < a.size() && digit(a[ie])) ++ie;
            while (je < b.size() && digit(b[je])) ++je;
            std::size_t is = i, js = j;
            while (is + 1 < ie && a[is] == '0') ++is;
            while (js + 1 < je && b[js] == '0') ++js;
            const std::string_view na = a.substr(is, ie - is), nb = b.substr(js, je - js);
            if (na.size() != nb.size()) return na.size() < nb.size();
            if (na != nb) return na < nb;
            i = ie;
            j = je;
            continue;
        }
        if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        ++i;
        ++j;
    }
    if ((a.size() - i) != (b.size() - j)) return a.size() - i < b.size() - j;
    return a < b;  // "A01" and "A1": still one order
}

}  // namespace cli
