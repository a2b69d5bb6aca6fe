// From a detailed timing (of an EDID, the DMT table or a formula) to the
// board's data: a panel record and a mode table entry.
//
// Panel record. The record starts from SetPanelDefaults and takes:
//   hResolution, vResolution and the resolution class as the Timing I page
//     decides it: one of the five standard pairs selects its class, any other
//     size is " Other " (customResolution set, class of the width);
//   maxDisplayClock = the pixel clock;
//   hMinTotal/vMinTotal = the totals, hPulseWidth/vPulseWidth = the sync
//     widths, hBackPorch/vBackPorch = the back porches;
//   hsyncInvert/vsyncInvert = negative sync polarity;
//   vFreqTyp = the vertical rate rounded to whole Hz;
//   vFreqMin/vFreqMax = the EDID's range limits where it has them, brought
//     into 45..200 Hz and strictly around vFreqTyp as the Timing I page
//     demands. Without range limits the timing is the panel's only known
//     rate, so the window is the narrowest the page accepts around it:
//     vFreqTyp - 1 and vFreqTyp + 1, which holds the rate itself (a panel
//     driven outside its data sheet's range can be damaged; widen it from
//     the data sheet);
//   displayName = the EDID's monitor name; without one the size and rate of
//     the timing ("1024x768@60");
//   colorDepth = the EDID's bits per colour where it gives 6 or 8.
// Everything else keeps its default and is listed as such. A value the board
// cannot hold is refused with the message of the field's page, never cut:
// the record is then not to be used. An interlaced timing is refused: a
// panel is driven progressively.
//
// Mode table entry. hFreq and vFreq are the line and vertical (field) rates
// in tenths of a kHz and of a Hz, truncated as the mode editor truncates a
// typed value; hTotal and vTotal are the totals of the frame, activeWidth and
// activeHeight the active size. hStart is sync width + back porch and vStart
// sync width + back porch of the frame (twice a field's for an interlaced
// timing): the first active pixel and line counted from the leading edge of
// sync. The board's factory table follows this rule for every VESA and VGA
// mode it holds but its hand-set 640x480@60 entry (141/25 where the rule
// gives 144/35); its NTSC entry counts 3 pixels more (122, from the middle of
// the sync edge as video does). The scan type is "Interlaced" for an interlaced timing, "Overlapped
// 720x400" for 720x400 and "Overlapped 640x350" for 640x350 (these share
// their rates with other VGA modes), otherwise "Normal". Tolerances start at
// the factory table's (1.0 kHz, 1.0 Hz, 4 lines); for each neighbouring
// standard mode whose windows (converted by the same rule) would overlap the
// entry's, the one tolerance that keeps most of its width is narrowed until
// they do not, never below 1. A neighbour that no tolerance of 1 or more
// tells apart is named in the notes (the board could not tell them apart).
#pragma once

#include <span>
#include <string>
#include <vector>

#include "tolvane/detailed_timing.h"
#include "tolvane/edid.h"
#include "tolvane/panel_checks.h"
#include "tolvane/records.h"

struct PanelConversion {
    PanelRecord record{};
    std::vector<std::string> taken;      // fields set from the timing or the EDID
    std::vector<std::string> defaulted;  // fields left at their defaults
    std::vector<CheckFinding> refusals;  // values the board cannot hold: field and page message
    std::vector<CheckFinding> notes;     // choices made on the way (warnings)
    bool ok() const { return refusals.empty(); }
};

// `edid` may be null (a timing from the DMT table or a formula).
PanelConversion PanelFromTiming(const DetailedTiming& timing, const EdidInfo* edid = nullptr);

struct ModeEntryOptions {
    uint8_t enables = kEnableAnalog | kEnableDigital;
    uint8_t hFreqTol = 10;  // 0.1 kHz: the widest tolerance the entry starts from
    uint8_t vFreqTol = 10;  // 0.1 Hz
    uint8_t vTotalTol = 4;  // lines
};

struct ModeConversion {
    ModeEntry entry{};
    std::vector<CheckFinding> refusals;           // the mode editor's checks that fail, with its messages
    std::vector<CheckFinding> notes;              // narrowed tolerances, neighbours no tolerance tells apart
    bool ok() const { return refusals.empty(); }  // `entry` is filled only when ok
};

// The neighbours default to every DMT mode; a neighbour with the same rates
// and totals as the timing itself (the timing is that DMT mode) is skipped.
ModeConversion ModeEntryFromTiming(const DetailedTiming& timing, const ModeEntryOptions& options = {});
ModeConversion ModeEntryFromTiming(const DetailedTiming& timing, const ModeEntryOptions& options,
                                   std::span<const DetailedTiming> neighbours);

// True when a timing falls inside the entry's windows: line rate, vertical
// rate and vertical total each within value +- tolerance, and interlaced
// exactly when the entry's scan type is "Interlaced".
bool ModeEntryTakes(const ModeEntry& entry, const DetailedTiming& timing);

// The DMT modes an entry takes (for naming the standard mode of each entry).
std::vector<const DmtMode*> DmtModesTakenBy(const ModeEntry& entry);
