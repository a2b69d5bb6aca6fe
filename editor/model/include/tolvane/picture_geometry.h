// Geometry of the three engineering pictures (gamma curve, sync timing
// diagram, mode frequency map), without any drawing library: the editor's
// widgets paint it with QPainter, the command-line tool writes it as SVG.
// Coordinates are in pixels of the picture, y growing downwards.
#pragma once

#include <cstdint>
#include <vector>

#include "tolvane/records.h"

namespace picture {

struct Point {
    double x = 0;
    double y = 0;
};

struct Box {
    double x = 0;
    double y = 0;
    double w = 0;
    double h = 0;
    bool contains(Point p) const { return p.x >= x && p.x <= x + w && p.y >= y && p.y <= y + h; }
};

// --- Gamma curve: input level on x, output level on y (0 at the bottom). ---

// Where entry `index` holding `level` lies in `plot`.
Point GammaPoint(const Box& plot, int index, int level);

// The entries whose level is below that of the entry before them: the steps
// where the table stops rising.
std::vector<int> FallingSteps(const GammaTable& table);

// --- Timing diagram of one line (clocks) or one frame (lines). ---

enum class SpanKind { Pulse, BackPorch, Display, Rest, Overrun };

struct Span {
    SpanKind kind;
    uint32_t begin;  // in clocks or lines from the start of the sync pulse
    uint32_t end;
};

struct TimingLayout {
    std::vector<Span> spans;
    uint32_t extent = 0;      // the longer of the total and pulse + back-porch + display
    bool totalShort = false;  // the total is shorter than the three together
};

// Pulse, back-porch and display period one after the other from 0; then the
// rest up to the total when the total is longer, or the overrun from the
// total to their end when it is shorter. Empty spans are left out.
TimingLayout LayOutTiming(uint16_t displayPeriod, uint16_t pulseWidth, uint16_t backPorch, uint16_t minTotal);

// A span of `layout` drawn to scale across `bar`.
Box SpanBox(const TimingLayout& layout, const Span& span, const Box& bar);

// --- Mode map: horizontal frequency on x, vertical frequency on y (up). ---

// The frequency window of a mode, in units of 0.1 kHz (h) and 0.1 Hz (v).
struct FreqWindow {
    int hMin, hMax, vMin, vMax;
};

FreqWindow ModeWindow(const ModeEntry& entry);

// Two modes the board could mistake for each other: they share an enabled
// input and their frequency windows meet (bounds included).
bool ModesConfusable(const ModeEntry& a, const ModeEntry& b);

// For each entry in use (0..modeCount-1): whether it is confusable with another one.
std::vector<bool> ConfusableModes(const ModeTable& table);

// The frequency range the map shows: every window of the table with a margin.
FreqWindow MapRange(const ModeTable& table);

// The box of entry `slot` on a map of `range` drawn into `plot`; at least
// `minSide` pixels wide and high so that a mode without tolerance can be seen
// and clicked.
inline constexpr double kMinModeBoxSide = 7;
Box ModeBox(const ModeTable& table, int slot, const FreqWindow& range, const Box& plot);

// The entry whose box holds `p`: of several, the smallest box (the lowest
// slot among equals); -1 when none.
int ModeAt(const ModeTable& table, const FreqWindow& range, const Box& plot, Point p);

}  // namespace picture
