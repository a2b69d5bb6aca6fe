// Reading the numbers an engineer types into the editor's fields, and showing
// stored numbers so that they read back as themselves.
//
// Every page and the mode table editor read their fields here, never through
// ad-hoc parsing or binary floating point: 65.1 MHz must be 65100 kHz, not the
// 65099 that 65.1 * 1000 gives as a double.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// A decimal integer: leading blanks skipped, an optional sign, then digits up
// to the first other character. No digits gives 0. Values beyond the range of
// int64_t saturate.
int64_t ReadTypedInteger(std::string_view text);

// A decimal number with an optional sign, fraction and exponent ("31.56",
// "-0.05", "3.15e1", ".5"), multiplied by 10^decimals and truncated toward
// zero, computed exactly from its digits. Leading blanks are skipped and
// reading stops at the first character that cannot continue the number; a
// text without a number gives 0. Saturates at the range of int64_t.
//   ReadTypedScaled("31.56", 1) == 315      (tenths)
//   ReadTypedScaled("65.1", 3)  == 65100    (MHz to kHz)
//   ReadTypedScaled("-0.05", 1) == 0
int64_t ReadTypedScaled(std::string_view text, int decimals);

// value / 10^decimals with exactly `decimals` digits after the point, from
// the integer itself (no rounding can happen): FormatScaled(599, 1) == "59.9",
// FormatScaled(65000, 3) == "65.000", FormatScaled(-5, 1) == "-0.5".
std::string FormatScaled(int64_t value, int decimals);

// The shortest text with at least `minDecimals` and at most `decimals` digits
// after the point that reads back (ReadTypedScaled with `decimals`) as value:
// FormatScaledShortest(65000, 3, 2) == "65.00",
// FormatScaledShortest(16065, 3, 2) == "16.065".
std::string FormatScaledShortest(int64_t value, int decimals, int minDecimals);
