#include "tolvane/detailed_timing.h"

#include <cstdio>

namespace {

// Pixel periods of one frame (both fields of an interlaced one).
uint64_t PixelsPerField(const DetailedTiming& t) { return uint64_t{t.hTotal()} * t.vTotal(); }

}  // namespace

double HFreqHz(const DetailedTiming& t) {
    if (t.hTotal() == 0) return 0;
    return t.pixelClockKHz * 1000.0 / t.hTotal();
}

double VFreqHz(const DetailedTiming& t) {
    if (PixelsPerField(t) == 0) return 0;
    return t.pixelClockKHz * 1000.0 * (t.interlaced ? 2 : 1) / static_cast<double>(PixelsPerField(t));
}

uint64_t HFreqMilliHz(const DetailedTiming& t) {
    if (t.hTotal() == 0) return 0;
    return uint64_t{t.pixelClockKHz} * 1000000 / t.hTotal();
}

uint64_t VFreqMilliHz(const DetailedTiming& t) {
    if (PixelsPerField(t) == 0) return 0;
    return uint64_t{t.pixelClockKHz} * 1000000 * (t.interlaced ? 2 : 1) / PixelsPerField(t);
}

std::string TimingShapeError(const DetailedTiming& t) {
    if (t.pixelClockKHz == 0) return "pixel clock is 0";
    if (t.hActive == 0) return "horizontal active is 0";
    if (t.vActive == 0) return "vertical active is 0";
    if (t.interlaced && t.vActive % 2 != 0) return "an interlaced frame needs an even number of active lines";
    return "";
}

std::string DescribeTiming(const DetailedTiming& t) {
    char text[128];
    std::snprintf(text, sizeof text, "%ux%u%s %.3f Hz %.3f kHz %u.%03u MHz %ch %cv", unsigned{t.hActive},
                  unsigned{t.vActive}, t.interlaced ? "i" : "", VFreqHz(t), HFreqHz(t) / 1000.0, t.pixelClockKHz / 1000,
                  t.pixelClockKHz % 1000, t.hSyncPositive ? '+' : '-', t.vSyncPositive ? '+' : '-');
    return text;
}
