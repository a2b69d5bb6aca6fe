// Lookups in the DMT table and the CVT and GTF formulas.
//
// The formulas keep every intermediate value as an exact fraction of 64-bit
// integers. The requested rate f is taken in mHz; the estimated line period
// of the standards, in microseconds, is the fraction hpNum / hpDen.
#include "tolvane/timing_standards.h"

#include <cmath>
#include <cstdio>

namespace {

using u64 = uint64_t;
using i64 = int64_t;

// Rate in mHz, rounded to the nearest one.
u64 MilliHz(double hz) { return static_cast<u64>(std::llround(hz * 1000.0)); }

// a / b rounded half up (a, b > 0): the standards' ROUND.
i64 RoundDiv(i64 a, i64 b) { return (2 * a + b) / (2 * b); }

// CVT's vertical sync width for the aspect ratio of the picture asked for
// (standard and reduced blanking version 1); only exact ratios count.
uint16_t CvtVSyncForAspect(u64 w, u64 h) {
    if (w * 3 == h * 4) return 4;    // 4:3
    if (w * 9 == h * 16) return 5;   // 16:9
    if (w * 10 == h * 16) return 6;  // 16:10
    if (w * 4 == h * 5) return 7;    // 5:4
    if (w * 9 == h * 15) return 7;   // 15:9
    return 10;
}

struct CvtShape {
    u64 rate;      // field rate, mHz
    u64 hCells;    // width rounded down to the cell
    u64 vLines;    // active lines of one field
    u64 halfLine;  // 1 when interlaced: twice the standard's INTERLACE
};

// CRT blanking: the blanking duty cycle follows the line period.
DetailedTiming CvtStandard(const CvtShape& s, uint16_t vSync) {
    const i64 hpNum = 2 * (1000000000 - 550 * static_cast<i64>(s.rate));
    const i64 hpDen = static_cast<i64>(s.rate * (2 * s.vLines + 6 + s.halfLine));
    // V_SYNC_BP: sync plus back porch cover at least 550 us, and the back porch has 6 lines at least.
    i64 vSyncBp = 550 * hpDen / hpNum + 1;
    if (vSyncBp < vSync + 6) vSyncBp = vSync + 6;
    // IDEAL_DUTY_CYCLE = 30 - 0.3 x line period (percent), no lower than 20.
    const i64 dutyNum = 300 * hpDen - 3 * hpNum;
    const i64 dutyDen = 10 * hpDen;
    const i64 w = static_cast<i64>(s.hCells);
    i64 hBlank;
    if (dutyNum < 20 * dutyDen) hBlank = w / 64 * 16;  // 20 / 80 of the width, in steps of 16
    else hBlank = w * dutyNum / ((100 * dutyDen - dutyNum) * 16) * 16;
    const i64 total = w + hBlank;
    DetailedTiming t;
    t.pixelClockKHz = static_cast<uint32_t>(250 * (4 * total * hpDen / hpNum));
    t.hSync = static_cast<uint16_t>(total / 100 * 8);  // 8 % of the total, down to the cell
    t.hBackPorch = static_cast<uint16_t>(hBlank / 2);
    t.hFrontPorch = static_cast<uint16_t>(hBlank - t.hBackPorch - t.hSync);
    t.vFrontPorch = 3;
    t.vSync = vSync;
    t.vBackPorch = static_cast<uint16_t>(vSyncBp - vSync);
    t.hSyncPositive = false;
    t.vSyncPositive = true;
    return t;
}

// Reduced blanking: fixed horizontal blanking, vertical blanking of at least
// 460 us. Version 1 steps the clock by 0.25 MHz, version 2 by 1 kHz.
DetailedTiming CvtReduced(const CvtShape& s, uint16_t vSync, bool v2) {
    const i64 hpNum = 1000000000 - 460 * static_cast<i64>(s.rate);
    const i64 hpDen = static_cast<i64>(s.rate * s.vLines);
    const i64 vFront = 3, vBackMin = 6;
    i64 vbi = 460 * hpDen / hpNum + 1;
    const i64 minVbi = (v2 ? 1 : vFront) + vSync + vBackMin;
    if (vbi < minVbi) vbi = minVbi;
    DetailedTiming t;
    t.hFrontPorch = v2 ? 8 : 48;
    t.hSync = 32;
    t.hBackPorch = v2 ? 40 : 80;
    const u64 total = s.hCells + t.hFrontPorch + t.hSync + t.hBackPorch;
    const u64 linesTwice = 2 * (s.vLines + static_cast<u64>(vbi)) + s.halfLine;
    // rate (mHz) x twice the lines x pixels is 2,000,000 x the clock in kHz.
    const u64 clockTimes2000 = s.rate * linesTwice * total;
    t.pixelClockKHz = static_cast<uint32_t>(v2 ? clockTimes2000 / 2000000 : clockTimes2000 / 500000000 * 250);
    t.vSync = vSync;
    if (v2) {
        t.vBackPorch = static_cast<uint16_t>(vBackMin);
        t.vFrontPorch = static_cast<uint16_t>(vbi - vSync - vBackMin);
    } else {
        t.vFrontPorch = static_cast<uint16_t>(vFront);
        t.vBackPorch = static_cast<uint16_t>(vbi - vFront - vSync);
    }
    t.hSyncPositive = true;
    t.vSyncPositive = false;
    return t;
}

}  // namespace

const DmtMode* DmtById(unsigned id) {
    for (const DmtMode& m : DmtList())
        if (m.id == id) return &m;
    return nullptr;
}

const DmtMode* DmtByMode(unsigned width, unsigned height, double hz, std::optional<bool> reducedBlanking) {
    const bool wantReduced = reducedBlanking.value_or(false);
    const DmtMode* best = nullptr;
    double bestDistance = 0;
    for (const DmtMode& m : DmtList()) {
        if (m.timing.hActive != width || m.timing.vActive != height) continue;
        const double distance = std::fabs(VFreqHz(m.timing) - hz);
        if (distance >= 1.0) continue;
        if (reducedBlanking && m.reducedBlanking != *reducedBlanking) continue;
        const bool better = !best || (m.reducedBlanking == wantReduced && best->reducedBlanking != wantReduced) ||
                            (m.reducedBlanking == best->reducedBlanking && distance < bestDistance);
        if (better) {
            best = &m;
            bestDistance = distance;
        }
    }
    return best;
}

std::string DmtName(const DmtMode& mode) {
    char text[64];
    std::snprintf(text, sizeof text, "DMT 0x%02X %ux%u%s@%u%s", unsigned{mode.id}, unsigned{mode.timing.hActive},
                  unsigned{mode.timing.vActive}, mode.timing.interlaced ? "i" : "", unsigned{mode.refreshHz},
                  mode.reducedBlanking ? " RB" : "");
    return text;
}

std::string FormulaRequestError(unsigned width, unsigned height, double hz, bool interlaced) {
    char text[128];
    if (width < kFormulaMinWidth || width > kFormulaMaxWidth) {
        std::snprintf(text, sizeof text, "width %u is outside %u..%u", width, kFormulaMinWidth, kFormulaMaxWidth);
        return text;
    }
    if (height < kFormulaMinHeight || height > kFormulaMaxHeight) {
        std::snprintf(text, sizeof text, "height %u is outside %u..%u", height, kFormulaMinHeight, kFormulaMaxHeight);
        return text;
    }
    if (!(hz >= kFormulaMinHz && hz <= kFormulaMaxHz)) {
        std::snprintf(text, sizeof text, "rate %g Hz is outside %g..%g Hz", hz, kFormulaMinHz, kFormulaMaxHz);
        return text;
    }
    if (interlaced && height % 2 != 0) return "an interlaced frame needs an even height";
    return "";
}

std::optional<DetailedTiming> Cvt(unsigned width, unsigned height, double hz, CvtBlanking blanking, bool interlaced) {
    if (!FormulaRequestError(width, height, hz, interlaced).empty()) return std::nullopt;
    const bool v2 = blanking == CvtBlanking::ReducedV2;
    const u64 cell = v2 ? 1 : 8;
    const CvtShape shape{MilliHz(hz), width / cell * cell, interlaced ? height / 2u : height, interlaced ? 1u : 0u};
    const uint16_t vSync = v2 ? 8 : CvtVSyncForAspect(width, height);
    DetailedTiming t = blanking == CvtBlanking::Standard ? CvtStandard(shape, vSync) : CvtReduced(shape, vSync, v2);
    // The pixels the cell cut off stay active; the blanking and the clock are the standard's.
    t.hActive = static_cast<uint16_t>(width);
    t.vActive = static_cast<uint16_t>(height);
    t.interlaced = interlaced;
    return t;
}

std::optional<DetailedTiming> Gtf(unsigned width, unsigned height, double hz, bool interlaced) {
    if (!FormulaRequestError(width, height, hz, interlaced).empty()) return std::nullopt;
    const i64 rate = static_cast<i64>(MilliHz(hz));
    const i64 w = RoundDiv(width, 8) * 8;
    const i64 vLines = interlaced ? height / 2 : height;
    const i64 halfLine = interlaced ? 1 : 0;
    // Estimated line period from 550 us of sync and back porch and one line of front porch.
    const i64 estNum = 2 * (1000000000 - 550 * rate);
    const i64 estDen = rate * (2 * vLines + 2 + halfLine);
    const i64 vSyncBp = RoundDiv(550 * estDen, estNum);
    const i64 vSync = 3;
    if (vSyncBp <= vSync) return std::nullopt;
    // The actual line period gives exactly the requested rate.
    const i64 hpNum = 2000000000;
    const i64 hpDen = rate * (2 * (vLines + vSyncBp + 1) + halfLine);
    const i64 dutyNum = 300 * hpDen - 3 * hpNum;  // duty cycle = dutyNum / (10 hpDen) percent
    if (dutyNum <= 0) return std::nullopt;
    const i64 hBlank = RoundDiv(w * dutyNum, (1000 * hpDen - dutyNum) * 16) * 16;
    const i64 total = w + hBlank;
    const i64 hSync = RoundDiv(total, 100) * 8;
    if (hBlank / 2 < hSync) return std::nullopt;  // no room for the front porch
    DetailedTiming t;
    t.pixelClockKHz = static_cast<uint32_t>(RoundDiv(total * hpDen, hpNum / 1000));
    t.hActive = static_cast<uint16_t>(w);
    t.hSync = static_cast<uint16_t>(hSync);
    t.hBackPorch = static_cast<uint16_t>(hBlank / 2);
    t.hFrontPorch = static_cast<uint16_t>(hBlank / 2 - hSync);
    t.vActive = static_cast<uint16_t>(height);
    t.vFrontPorch = 1;
    t.vSync = static_cast<uint16_t>(vSync);
    t.vBackPorch = static_cast<uint16_t>(vSyncBp - vSync);
    t.hSyncPositive = false;
    t.vSyncPositive = true;
    t.interlaced = interlaced;
    return t;
}
