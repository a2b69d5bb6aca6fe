#include "tolvane/timing.h"

#include "tolvane/typed_numbers.h"

#include <limits>

uint16_t ClassOfWidth(unsigned width) { return ResolutionClassForWidth(width); }

std::optional<Resolution> StandardResolutionOfClass(uint16_t resolutionClass) {
    switch (resolutionClass) {
        case kClassVGA:
            return Resolution{640, 480};
        case kClassSVGA:
            return Resolution{800, 600};
        case kClassXGA:
            return Resolution{1024, 768};
        case kClassSXGA:
            return Resolution{1280, 1024};
        case kClassUXGA:
            return Resolution{1600, 1200};
        default:
            return std::nullopt;
    }
}

bool IsStandardResolution(unsigned width, unsigned height) {
    for (uint16_t cls : {kClassVGA, kClassSVGA, kClassXGA, kClassSXGA, kClassUXGA}) {
        const Resolution pair = *StandardResolutionOfClass(cls);
        if (pair.width == width && pair.height == height) return true;
    }
    return false;
}

uint16_t TypedU16(std::string_view text) {
    // Conversion to an unsigned type is taken modulo 2^16.
    return static_cast<uint16_t>(ReadTypedInteger(text));
}

uint32_t TypedClockKHz(std::string_view text) {
    const int64_t kHz = ReadTypedScaled(text, 3);
    if (kHz < 0) return 0;
    if (kHz > int64_t{std::numeric_limits<uint32_t>::max()}) return std::numeric_limits<uint32_t>::max();
    return static_cast<uint32_t>(kHz);
}

Timing1Check FirstFailingTiming1Check(const Timing1Values& v) {
    if (v.other && (v.width < 160 || v.width > 2000)) return Timing1Check::HorizontalResolution;
    if (v.other && (v.height < 120 || v.height > 2000)) return Timing1Check::VerticalResolution;
    if (v.vFreqMin < 45) return Timing1Check::FrequencyUnder45;
    if (v.vFreqMax > 200) return Timing1Check::FrequencyOver200;
    if (v.vFreqMin >= v.vFreqTyp) return Timing1Check::MinNotBelowTyp;
    if (v.vFreqTyp >= v.vFreqMax) return Timing1Check::TypNotBelowMax;
    if (v.clockKHz < kMinDisplayClockKHz || v.clockKHz > kMaxDisplayClockKHz) return Timing1Check::DisplayClock;
    return Timing1Check::None;
}

Timing2Check FirstFailingTiming2Check(const Timing2Values& v) {
    if (v.hPulseWidth > kMaxSyncPeriod) return Timing2Check::HPulseWidth;
    if (v.hBackPorch > kMaxSyncPeriod) return Timing2Check::HBackPorch;
    if (v.hMinTotal < 160 || v.hMinTotal > 4096) return Timing2Check::HMinTotal;
    if (v.vPulseWidth > kMaxSyncPeriod) return Timing2Check::VPulseWidth;
    if (v.vBackPorch > kMaxSyncPeriod) return Timing2Check::VBackPorch;
    if (v.vMinTotal < 120 || v.vMinTotal > 2048) return Timing2Check::VMinTotal;
    return Timing2Check::None;
}

bool TotalPeriodTooShort(uint16_t displayPeriod, uint16_t pulseWidth, uint16_t backPorch, uint16_t minTotal) {
    const uint32_t sum = uint32_t{displayPeriod} + pulseWidth + backPorch;
    return sum > minTotal;
}

Resolution DisplayPeriods(const PanelRecord& record) {
    const Resolution typed{record.hResolution, record.vResolution};
    if (!IsStandardResolution(typed.width, typed.height)) return typed;
    return StandardResolutionOfClass(ResolutionClass(record)).value_or(typed);
}
