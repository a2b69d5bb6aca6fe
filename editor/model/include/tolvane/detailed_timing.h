// One description of a video timing, whatever its source (an EDID, the DMT
// table, the CVT or GTF formula): pixel clock, the four parts of each
// direction, sync polarities and scan type, and the frequencies derived from
// them.
//
// Interlaced timings follow the convention of the standards and of the EDID:
// vActive counts the lines of the whole frame (1080 for 1080i), while the
// vertical front porch, sync and back porch are those of one field; each
// field carries half a line more than the integer parts say, so the frame
// has vActive + 2 x (vFrontPorch + vSync + vBackPorch) + 1 lines and the
// vertical frequency is the field rate.
#pragma once

#include <cstdint>
#include <string>

struct DetailedTiming {
    uint32_t pixelClockKHz = 0;
    uint16_t hActive = 0;  // pixels
    uint16_t hFrontPorch = 0;
    uint16_t hSync = 0;
    uint16_t hBackPorch = 0;
    uint16_t vActive = 0;  // lines of the frame
    uint16_t vFrontPorch = 0;
    uint16_t vSync = 0;
    uint16_t vBackPorch = 0;
    bool hSyncPositive = false;
    bool vSyncPositive = false;
    bool interlaced = false;

    // Pixels per line: active + front porch + sync + back porch.
    uint32_t hTotal() const { return uint32_t{hActive} + hFrontPorch + hSync + hBackPorch; }
    uint32_t hBlank() const { return uint32_t{hFrontPorch} + hSync + hBackPorch; }
    // Lines per frame (for an interlaced timing both fields and their half lines).
    uint32_t vTotal() const {
        const uint32_t blank = uint32_t{vFrontPorch} + vSync + vBackPorch;
        return interlaced ? vActive + 2 * blank + 1 : vActive + blank;
    }
    // Blanking lines of one field (without the half line of an interlaced field).
    uint32_t vBlank() const { return uint32_t{vFrontPorch} + vSync + vBackPorch; }

    friend bool operator==(const DetailedTiming&, const DetailedTiming&) = default;
};

// Line frequency in Hz (pixel clock / hTotal); 0 when hTotal is 0.
double HFreqHz(const DetailedTiming& t);
// Vertical frequency in Hz: the frame rate, or the field rate when interlaced;
// 0 when a total is 0.
double VFreqHz(const DetailedTiming& t);

// The same frequencies in whole units, computed exactly from the integers and
// truncated toward zero (0 when a total is 0):
uint64_t HFreqMilliHz(const DetailedTiming& t);
uint64_t VFreqMilliHz(const DetailedTiming& t);

// Why a timing cannot describe a picture, or "" when it can: a pixel clock or
// active size of 0, or an interlaced timing with an odd number of active lines.
std::string TimingShapeError(const DetailedTiming& t);

// One line for people: "1024x768 60.004 Hz 48.363 kHz 65.000 MHz -h -v", with
// "i" after the size for an interlaced timing.
std::string DescribeTiming(const DetailedTiming& t);
