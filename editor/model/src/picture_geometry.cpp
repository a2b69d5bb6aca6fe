#include "tolvane/picture_geometry.h"

#include "tolvane/mode_editing.h"
#include "tolvane/timing.h"

#include <algorithm>

namespace picture {

namespace {

constexpr int kTopLevel = 255;

int ModeCountInUse(const ModeTable& table) {
    return static_cast<int>(UsedModeCount(table));  // the rows of the mode list
}

}  // namespace

Point GammaPoint(const Box& plot, int index, int level) {
    return {plot.x + plot.w * index / kTopLevel, plot.y + plot.h - plot.h * level / kTopLevel};
}

std::vector<int> FallingSteps(const GammaTable& table) {
    std::vector<int> steps;
    for (int i = 1; i <= kTopLevel; ++i) {
        if (table.level[i] < table.level[i - 1]) steps.push_back(i);
    }
    return steps;
}

TimingLayout LayOutTiming(uint16_t displayPeriod, uint16_t pulseWidth, uint16_t backPorch, uint16_t minTotal) {
    TimingLayout layout;
    const uint32_t pulseEnd = pulseWidth;
    const uint32_t porchEnd = pulseEnd + backPorch;
    const uint32_t displayEnd = porchEnd + displayPeriod;
    const auto add = [&layout](SpanKind kind, uint32_t begin, uint32_t end) {
        if (end > begin) layout.spans.push_back({kind, begin, end});
    };
    add(SpanKind::Pulse, 0, pulseEnd);
    add(SpanKind::BackPorch, pulseEnd, porchEnd);
    add(SpanKind::Display, porchEnd, displayEnd);
    add(SpanKind::Rest, displayEnd, minTotal);
    layout.totalShort = TotalPeriodTooShort(displayPeriod, pulseWidth, backPorch, minTotal);
    if (layout.totalShort) add(SpanKind::Overrun, minTotal, displayEnd);
    layout.extent = std::max<uint32_t>(displayEnd, minTotal);
    return layout;
}

Box SpanBox(const TimingLayout& layout, const Span& span, const Box& bar) {
    if (layout.extent == 0) return {bar.x, bar.y, 0, bar.h};
    const double scale = bar.w / layout.extent;
    return {bar.x + span.begin * scale, bar.y, (span.end - span.begin) * scale, bar.h};
}

FreqWindow ModeWindow(const ModeEntry& entry) {
    return {entry.hFreq - entry.hFreqTol, entry.hFreq + entry.hFreqTol, entry.vFreq - entry.vFreqTol,
            entry.vFreq + entry.vFreqTol};
}

bool ModesConfusable(const ModeEntry& a, const ModeEntry& b) {
    if ((a.modeFlags & b.modeFlags & kEnableMask) == 0) return false;
    const FreqWindow wa = ModeWindow(a);
    const FreqWindow wb = ModeWindow(b);
    return wa.hMin <= wb.hMax && wb.hMin <= wa.hMax && wa.vMin <= wb.vMax && wb.vMin <= wa.vMax;
}

std::vector<bool> ConfusableModes(const ModeTable& table) {
    const int count = ModeCountInUse(table);
    std::vector<bool> marked(static_cast<size_t>(count), false);
    for (int i = 0; i < count; ++i) {
        for (int j = i + 1; j < count; ++j) {
            if (ModesConfusable(table.entries[i], table.entries[j]))
                marked[static_cast<size_t>(i)] = marked[static_cast<size_t>(j)] = true;
        }
    }
    return marked;
}

FreqWindow MapRange(const ModeTable& table) {
    const int count = ModeCountInUse(table);
    if (count == 0) return {300, 800, 500, 800};  // 30..80 kHz, 50..80 Hz: an empty map
    FreqWindow range = ModeWindow(table.entries[0]);
    for (int i = 1; i < count; ++i) {
        const FreqWindow w = ModeWindow(table.entries[i]);
        range = {std::min(range.hMin, w.hMin), std::max(range.hMax, w.hMax), std::min(range.vMin, w.vMin),
                 std::max(range.vMax, w.vMax)};
    }
    // A tenth of the span (at least 2 kHz and 2 Hz) on every side.
    const int hMargin = std::max(20, (range.hMax - range.hMin) / 10);
    const int vMargin = std::max(20, (range.vMax - range.vMin) / 10);
    return {range.hMin - hMargin, range.hMax + hMargin, range.vMin - vMargin, range.vMax + vMargin};
}

Box ModeBox(const ModeTable& table, int slot, const FreqWindow& range, const Box& plot) {
    const FreqWindow w = ModeWindow(table.entries[slot]);
    const double hSpan = std::max(1, range.hMax - range.hMin);
    const double vSpan = std::max(1, range.vMax - range.vMin);
    const double left = plot.x + plot.w * (w.hMin - range.hMin) / hSpan;
    const double right = plot.x + plot.w * (w.hMax - range.hMin) / hSpan;
    const double top = plot.y + plot.h - plot.h * (w.vMax - range.vMin) / vSpan;
    const double bottom = plot.y + plot.h - plot.h * (w.vMin - range.vMin) / vSpan;
    Box box{left, top, right - left, bottom - top};
    if (box.w < kMinModeBoxSide) {
        box.x -= (kMinModeBoxSide - box.w) / 2;
        box.w = kMinModeBoxSide;
    }
    if (box.h < kMinModeBoxSide) {
        box.y -= (kMinModeBoxSide - box.h) / 2;
        box.h = kMinModeBoxSide;
    }
    return box;
}

int ModeAt(const ModeTable& table, const FreqWindow& range, const Box& plot, Point p) {
    int found = -1;
    double foundArea = 0;
    for (int i = 0; i < ModeCountInUse(table); ++i) {
        const Box box = ModeBox(table, i, range, plot);
        const double area = box.w * box.h;
        if (box.contains(p) && (found < 0 || area < foundArea)) {
            found = i;
            foundArea = area;
        }
    }
    return found;
}

}  // namespace picture
