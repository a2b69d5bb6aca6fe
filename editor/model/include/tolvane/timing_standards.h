// The VESA timing standards as our own code: the DMT table (every ID of its
// current revision), the CVT formula with standard CRT blanking and reduced
// blanking version 1 and 2, and the GTF formula with its default parameters.
//
// The formulas are computed in exact integer arithmetic, so that every
// rounding step the standards define (ROUNDDOWN, ROUND, the clock steps) is
// taken on the exact value, not on a binary floating-point approximation.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "tolvane/detailed_timing.h"

// One entry of the DMT table. DMT 640x480@60 and 640x480@72 have 8-pixel and
// 8-line borders; `timing` counts them in its porches (front and back porch
// each grow by the border), as a receiver sees them.
struct DmtMode {
    uint8_t id;            // DMT ID, 0x01..0x58
    uint16_t refreshHz;    // the nominal rate the standard names (field rate for 0x0F: 87)
    bool reducedBlanking;  // a CVT reduced-blanking timing
    uint8_t hBorder;       // pixels on each side that the porches include
    uint8_t vBorder;       // lines on each side that the porches include
    DetailedTiming timing;
};

// Every DMT entry, in the order of the standard's table (by resolution, then
// rate; not by ID).
std::span<const DmtMode> DmtList();

// The entry with this ID, or nothing.
const DmtMode* DmtById(unsigned id);

// The entry for width x height whose vertical rate is nearest to `hz` and
// within 1 Hz of it. With several at about the same rate (1280x768 at 60 Hz
// with and without reduced blanking) the one with the asked blanking wins;
// without `reducedBlanking` the one with standard blanking. Nothing when no
// entry has this size and rate.
const DmtMode* DmtByMode(unsigned width, unsigned height, double hz, std::optional<bool> reducedBlanking = {});

// "DMT 0x10 1024x768@60" (with " RB" or "i" where they apply).
std::string DmtName(const DmtMode& mode);

enum class CvtBlanking {
    Standard = 0,  // CRT blanking
    Reduced = 1,   // reduced blanking, version 1
    ReducedV2 = 2  // reduced blanking, version 2
};

// Limits of the requests that the formulas take.
inline constexpr unsigned kFormulaMinWidth = 64;
inline constexpr unsigned kFormulaMaxWidth = 8192;
inline constexpr unsigned kFormulaMinHeight = 64;
inline constexpr unsigned kFormulaMaxHeight = 8192;
inline constexpr double kFormulaMinHz = 10;
inline constexpr double kFormulaMaxHz = 500;

// Why Cvt or Gtf refuses this request ("" when it does not): size or rate
// outside the limits above, or an odd height asked interlaced.
std::string FormulaRequestError(unsigned width, unsigned height, double hz, bool interlaced);

// The CVT timing of width x height at `hz` (frames per second, or fields per
// second when interlaced; the rate is taken to a thousandth of a Hz).
// The width is rounded down to the character cell of 8 pixels (1 for reduced
// blanking version 2) for the formula; the pixels it cuts off are added back
// to the active width and to the total, keeping the standard's blanking and
// clock, so a 1366-pixel panel gets 1366 active pixels. Nothing when the
// request is refused (FormulaRequestError).
std::optional<DetailedTiming> Cvt(unsigned width, unsigned height, double hz,
                                  CvtBlanking blanking = CvtBlanking::Standard, bool interlaced = false);

// The GTF timing with the default parameters (C 40, M 600, K 128, J 20),
// driven by the vertical rate. GTF rounds the width to the nearest multiple
// of 8 and the timing has that width (1366 asked gives 1368). The pixel clock
// is rounded to the nearest kHz. Nothing when the request is refused, or when
// the formula's horizontal sync is wider than half the blanking, which would
// leave a negative front porch (small pictures at low line rates).
std::optional<DetailedTiming> Gtf(unsigned width, unsigned height, double hz, bool interlaced = false);
