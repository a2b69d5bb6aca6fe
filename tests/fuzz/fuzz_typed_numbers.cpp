// The readers of typed numbers on any text, and the formatters on any value:
// ReadTypedInteger agrees with a plain digit-by-digit reading, and every text
// FormatScaled or FormatScaledShortest makes reads back as its value.
//
// Input: one byte for the decimals (0..6) and the shortest form's minimum,
// eight bytes of a value to format, the rest is text typed into a field.
#include "tolvane/typed_numbers.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

namespace {

constexpr int64_t kMax = std::numeric_limits<int64_t>::max();

[[noreturn]] void Fail(const char* what, std::string_view text, int64_t value, int decimals) {
    std::fprintf(stderr, "typed numbers: %s: \"%.*s\" value %lld decimals %d\n", what, static_cast<int>(text.size()),
                 text.data(), static_cast<long long>(value), decimals);
    std::abort();
}

int64_t ReferenceInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    __int128 magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > kMax) magnitude = kMax;
    }
    return static_cast<int64_t>(negative ? -magnitude : magnitude);
}

void CheckReadsBack(int64_t value, int decimals, int minDecimals) {
    if (value == std::numeric_limits<int64_t>::min()) value = -kMax;  // the readers saturate there
    const std::string text = FormatScaled(value, decimals);
    if (ReadTypedScaled(text, decimals) != value) Fail("FormatScaled does not read back", text, value, decimals);
    const std::string shortest = FormatScaledShortest(value, decimals, minDecimals);
    if (ReadTypedScaled(shortest, decimals) != value)
        Fail("FormatScaledShortest does not read back", shortest, value, decimals);
    if (shortest.size() > text.size()) Fail("the shortest form is longer", shortest, value, decimals);
    if (decimals == 0 && ReadTypedInteger(text) != value) Fail("an integer does not read back", text, value, decimals);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, std::size_t size) {
    if (size < 9) return 0;
    const int decimals = input[0] % 7;
    const int minDecimals = (input[0] >> 4) % 7;
    int64_t value = 0;
    std::memcpy(&value, input + 1, sizeof value);
    const std::string_view text(reinterpret_cast<const char*>(input + 9), size - 9);

    const int64_t integer = ReadTypedInteger(text);
    if (integer != ReferenceInteger(text))
        Fail("ReadTypedInteger differs from reading digit by digit", text, integer, 0);

    const int64_t scaled = ReadTypedScaled(text, decimals);
    if (scaled == std::numeric_limits<int64_t>::min())
        Fail("ReadTypedScaled beyond its saturation", text, scaled, decimals);
    CheckReadsBack(scaled, decimals, minDecimals);
    CheckReadsBack(value, decimals, minDecimals);
    // Small values as the fields hold them.
    CheckReadsBack(value % 10000000, decimals, minDecimals);
    return 0;
}
