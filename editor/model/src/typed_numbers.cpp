#include "tolvane/typed_numbers.h"

#include <cctype>
#include <cstdlib>
#include <limits>

namespace {

constexpr int64_t kMax = std::numeric_limits<int64_t>::max();

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Leading blanks and an optional sign; returns true for a minus sign.
bool SkipBlanksAndSign(std::string_view text, std::size_t& pos) {
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    return negative;
}

// Adds one decimal digit to a magnitude, saturating at kMax.
int64_t Push(int64_t magnitude, int digit) {
    if (magnitude > (kMax - digit) / 10) return kMax;
    return magnitude * 10 + digit;
}

int64_t Signed(int64_t magnitude, bool negative) { return negative ? -magnitude : magnitude; }

}  // namespace

int64_t ReadTypedInteger(std::string_view text) {
    std::size_t pos = 0;
    const bool negative = SkipBlanksAndSign(text, pos);
    int64_t magnitude = 0;
    for (; pos < text.size() && IsDigit(text[pos]); ++pos) magnitude = Push(magnitude, text[pos] - '0');
    return Signed(magnitude, negative);
}

int64_t ReadTypedScaled(std::string_view text, int decimals) {
    std::size_t pos = 0;
    const bool negative = SkipBlanksAndSign(text, pos);

    // Mantissa: its significant digits and how many of them stand before the point.
    std::string digits;
    int64_t pointAt = 0;
    bool anyDigit = false;
    for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
        anyDigit = true;
        if (digits.empty() && text[pos] == '0') continue;  // leading zeros carry nothing
        digits.push_back(text[pos]);
        ++pointAt;
    }
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
            anyDigit = true;
            if (digits.empty() && text[pos] == '0') {
                --pointAt;  // 0.05: the point stands before a zero
                continue;
            }
            digits.push_back(text[pos]);
        }
    }
    if (!anyDigit) return 0;

    // Exponent: taken only when at least one digit follows "e", "e+" or "e-".
    int64_t exponent = 0;
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        std::size_t e = pos + 1;
        bool expNegative = false;
        if (e < text.size() && (text[e] == '+' || text[e] == '-')) {
            expNegative = text[e] == '-';
            ++e;
        }
        if (e < text.size() && IsDigit(text[e])) {
            for (; e < text.size() && IsDigit(text[e]); ++e) {
                if (exponent < 1000000) exponent = exponent * 10 + (text[e] - '0');
            }
            if (expNegative) exponent = -exponent;
        }
    }

    // The integer part of digits x 10^(pointAt + exponent + decimals - size).
    const int64_t wholeDigits = pointAt + exponent + decimals;
    if (digits.empty() || wholeDigits <= 0) return 0;
    if (wholeDigits > 19) return Signed(kMax, negative);
    int64_t magnitude = 0;
    for (int64_t i = 0; i < wholeDigits; ++i) {
        const int digit = i < static_cast<int64_t>(digits.size()) ? digits[static_cast<std::size_t>(i)] - '0' : 0;
        magnitude = Push(magnitude, digit);
    }
    return Signed(magnitude, negative);
}

std::string FormatScaled(int64_t value, int decimals) {
    const bool negative = value < 0;
    // Work on the unsigned magnitude so that the lowest int64_t has one too.
    uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    std::string text = std::to_string(magnitude);
    if (decimals > 0) {
        if (text.size() <= static_cast<std::size_t>(decimals))
            text.insert(0, static_cast<std::size_t>(decimals) + 1 - text.size(), '0');
        text.insert(text.size() - static_cast<std::size_t>(decimals), 1, '.');
    }
    if (negative) text.insert(0, 1, '-');
    return text;
}

std::string FormatScaledShortest(int64_t value, int decimals, int minDecimals) {
    std::string text = FormatScaled(value, decimals);
    if (decimals <= 0) return text;
    // Drop trailing zeros of the fraction down to minDecimals digits.
    const std::size_t point = text.find('.');
    const std::size_t keep = point + 1 + static_cast<std::size_t>(minDecimals > 0 ? minDecimals : 0);
    while (text.size() > keep && text.back() == '0') text.pop_back();
    if (!text.empty() && text.back() == '.') text.pop_back();
    return text;
}
