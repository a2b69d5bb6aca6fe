#include "files/gamma_csv.h"

#include <charconv>

namespace cli {

bool ParseGammaCsv(std::string_view text, GammaTable& out, std::string& error, int& line) {
    GammaTable g{};
    bool seen[256] = {};
    int lineNo = 0;
    auto number = [](std::string_view s, long& v) {
        const auto first = s.find_first_not_of(" \t");
        if (first == std::string_view::npos) return false;
        s.remove_prefix(first);
        if (!s.empty() && s.front() == '+') s.remove_prefix(1);
        const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
        return ec == std::errc() && end != s.data() &&
               s.find_first_not_of(" \t", static_cast<std::size_t>(end - s.data())) == std::string_view::npos;
    };
    auto fail = [&](std::string message) {
        error = std::move(message);
        line = lineNo;
        return false;
    };
    while (!text.empty()) {
        const auto nl = text.find('\n');
        std::string_view row = text.substr(0, nl);
        text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
        ++lineNo;
        if (!row.empty() && row.back() == '\r') row.remove_suffix(1);
        const auto first = row.find_first_not_of(" \t");
        if (first == std::string_view::npos || row[first] == '#') continue;
        const auto comma = row.find(',');
        if (lineNo == 1 && row.find_first_of("0123456789") > comma) continue;  // a header line
        long input = 0, output = 0;
        if (comma == std::string_view::npos || !number(row.substr(0, comma), input) ||
            !number(row.substr(comma + 1), output))
            return fail("expected \"input,output\", two numbers");
        if (input < 0 || input > 255) return fail("input " + std::to_string(input) + " is not 0..255");
        if (output < 0 || output > 255) return fail("output " + std::to_string(output) + " is not 0..255");
        if (seen[input]) return fail("input " + std::to_string(input) + " is given twice");
        seen[input] = true;
        g.level[input] = static_cast<uint8_t>(output);
    }
    lineNo = 0;
    for (int i = 0; i < 256; ++i)
        if (!seen[i]) return fail("input " + std::to_string(i) + " is missing (all 256 are needed)");
    out = g;
    return true;
}

}  // namespace cli
