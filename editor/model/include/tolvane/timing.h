// The rules of the two timing pages that do not depend on any window: the
// resolution classes and their standard pairs, the checks of the typed
// resolution, frequencies, display clock and sync timing, and the test that
// marks a minimal total period shorter than its parts.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "tolvane/records.h"

struct Resolution {
    uint16_t width;
    uint16_t height;
    friend bool operator==(const Resolution&, const Resolution&) = default;
};

// Class of a typed width: up to 640 gives VGA (1), up to 800 SVGA (2), up to
// 1024 XGA (4), up to 1280 SXGA (8), wider UXGA (16).
uint16_t ClassOfWidth(unsigned width);

// True for exactly 640x480, 800x600, 1024x768, 1280x1024 and 1600x1200.
bool IsStandardResolution(unsigned width, unsigned height);

// The standard pair of a class value with exactly one of the five class bits;
// nothing for 0 or several bits.
std::optional<Resolution> StandardResolutionOfClass(uint16_t resolutionClass);

// The display periods that Timing II shows for a record: its resolution when
// that is not a standard pair, otherwise the standard pair of its class (the
// resolution itself when no single class bit is set).
Resolution DisplayPeriods(const PanelRecord& record);

// A typed integer field as the pages hold it: ReadTypedInteger taken modulo
// 2^16, so "-1" is 65535 and fails every upper bound.
uint16_t TypedU16(std::string_view text);

// The "Max. display clock" field (MHz, decimals allowed) in whole kHz,
// truncated. Values outside 0..2^32-1 kHz are clamped to the nearer end, so
// a negative or a huge number never wraps into the accepted range.
uint32_t TypedClockKHz(std::string_view text);

// Accepted range of the maximum display clock, kHz.
inline constexpr uint32_t kMinDisplayClockKHz = 15000;
inline constexpr uint32_t kMaxDisplayClockKHz = 150000;

// What the Timing I page read from its fields. width and height count only
// when `other` is set (" Other " checked).
struct Timing1Values {
    bool other = false;
    uint16_t width = 0;
    uint16_t height = 0;
    uint16_t vFreqMin = 0;
    uint16_t vFreqTyp = 0;
    uint16_t vFreqMax = 0;
    uint32_t clockKHz = 0;
};

// The checks of Timing I in the order they run; the first failing one is
// reported.
enum class Timing1Check {
    None,
    HorizontalResolution,  // " Other " and width outside 160..2000
    VerticalResolution,    // " Other " and height outside 120..2000
    FrequencyUnder45,      // min < 45
    FrequencyOver200,      // max > 200
    MinNotBelowTyp,        // min >= typ
    TypNotBelowMax,        // typ >= max
    DisplayClock,          // clock outside 15000..150000 kHz
};
Timing1Check FirstFailingTiming1Check(const Timing1Values& values);

// What the Timing II page read from its six fields.
struct Timing2Values {
    uint16_t hPulseWidth = 0;
    uint16_t hBackPorch = 0;
    uint16_t hMinTotal = 0;
    uint16_t vPulseWidth = 0;
    uint16_t vBackPorch = 0;
    uint16_t vMinTotal = 0;
};

// Pulse widths and back-porches travel to the board in one byte each, so
// 255 is the largest value the page admits: 256 would arrive as 0.
inline constexpr uint16_t kMaxSyncPeriod = 255;

enum class Timing2Check {
    None,
    HPulseWidth,  // > 255
    HBackPorch,   // > 255
    HMinTotal,    // outside 160..4096
    VPulseWidth,  // > 255
    VBackPorch,   // > 255
    VMinTotal,    // outside 120..2048
};
Timing2Check FirstFailingTiming2Check(const Timing2Values& values);

// True when displayPeriod + pulseWidth + backPorch exceeds minTotal, summed
// without 16-bit overflow. Equality is not short.
bool TotalPeriodTooShort(uint16_t displayPeriod, uint16_t pulseWidth, uint16_t backPorch, uint16_t minTotal);
