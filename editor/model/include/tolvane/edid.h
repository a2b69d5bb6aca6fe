// Reading a display's EDID: the 128-byte base block (identification, input,
// size, established and standard timings, the four 18-byte descriptors) and
// the detailed timings of CTA-861 extension blocks; and writing one, so that
// tests and emulated boards can make the EDID of a given panel.
//
// A broken EDID is decoded as far as it can be and every fault is listed
// with the block and byte it concerns. Only a short block or a wrong header
// stops the decoding: the bytes are then no EDID. A wrong checksum is an
// error but everything is still decoded; whether anything may be taken from
// such an EDID is the caller's decision.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tolvane/detailed_timing.h"
#include "tolvane/timing_standards.h"

inline constexpr std::size_t kEdidBlockSize = 128;
inline constexpr std::array<uint8_t, 8> kEdidHeader = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};

enum class EdidSeverity { Error, Warning };

struct EdidProblem {
    EdidSeverity severity;
    std::string where;    // "block 0, byte 0x7F", "block 1, descriptor at byte 0x04"
    std::string message;  // what is wrong there
};

// How a detailed timing says its syncs travel. The polarities of
// DetailedTiming come from the descriptor only for separate digital syncs;
// a digital composite sync gives the horizontal polarity (the vertical one is
// then taken as the same), analog syncs are negative-going.
enum class EdidSync { AnalogComposite, BipolarAnalogComposite, DigitalComposite, DigitalSeparate };

struct EdidTiming {
    DetailedTiming timing;
    unsigned block = 0;      // 0 for the base block, 1.. for extension blocks
    unsigned offset = 0;     // byte of the 18-byte descriptor inside its block
    bool preferred = false;  // the base block's first descriptor: the preferred timing
    uint16_t imageWidthMm = 0;
    uint16_t imageHeightMm = 0;
    uint8_t hBorder = 0;  // pixels on each side, counted in the porches of `timing`
    uint8_t vBorder = 0;  // lines on each side, counted in the porches of `timing`
    EdidSync sync = EdidSync::DigitalSeparate;
};

// The range limits descriptor (tag 0xFD).
struct EdidRangeLimits {
    uint16_t vMinHz = 0;
    uint16_t vMaxHz = 0;
    uint16_t hMinKHz = 0;
    uint16_t hMaxKHz = 0;
    uint32_t maxPixelClockKHz = 0;  // 0 when not given
    friend bool operator==(const EdidRangeLimits&, const EdidRangeLimits&) = default;
};

// A mode named by the established or standard timings, with its DMT entry
// where the DMT table has one.
struct EdidListedMode {
    uint16_t width = 0;
    uint16_t height = 0;
    uint16_t refreshHz = 0;
    bool interlaced = false;
    const DmtMode* dmt = nullptr;
};

struct EdidExtension {
    unsigned block = 0;
    uint8_t tag = 0;  // 0x02 for CTA-861
    bool checksumOk = false;
};

struct EdidInfo {
    bool decoded = false;     // false: too short or no EDID header; nothing else is filled
    bool checksumOk = false;  // every block's checksum, the base block's and the extensions'
    std::string vendor;       // the three-letter manufacturer ID ('?' for a letter out of range)
    uint16_t product = 0;
    uint32_t serial = 0;
    uint8_t week = 0;          // 0: not given; 0xFF: `year` is a model year
    uint16_t year = 0;         // manufacture year (or model year)
    uint8_t version = 0;       // 1
    uint8_t revision = 0;      // 3 or 4
    bool digital = false;      // digital video input
    uint8_t bitsPerColor = 0;  // 6, 8, 10, 12, 14, 16; 0 when not given
    uint16_t widthMm = 0;      // screen size from the base block (given in cm); 0 when not given
    uint16_t heightMm = 0;
    std::vector<EdidListedMode> establishedTimings;
    std::vector<EdidListedMode> standardTimings;
    std::vector<EdidTiming> detailedTimings;  // base block first, then the extensions, in byte order
    std::string name;                         // monitor name descriptor (0xFC), trailing blanks removed
    std::string serialText;                   // serial number descriptor (0xFF)
    std::optional<EdidRangeLimits> rangeLimits;
    unsigned extensionsAnnounced = 0;       // byte 0x7E of the base block
    std::vector<EdidExtension> extensions;  // the extension blocks present and decoded
    std::vector<EdidProblem> problems;
};

// True when the bytes begin with the 8-byte EDID header.
bool HasEdidHeader(std::span<const uint8_t> bytes);

// Decodes an EDID of one base block and its extension blocks. Never throws.
EdidInfo DecodeEdid(std::span<const uint8_t> bytes);

// True when any problem is an error (a wrong checksum included).
bool HasEdidError(const EdidInfo& info);

// "block 0, byte 0x7F: ..." for messages.
std::string FormatEdidProblem(const EdidProblem& problem);

// The preferred detailed timing, or else the first one; nothing when the EDID
// has no detailed timing.
const EdidTiming* PreferredTiming(const EdidInfo& info);

// The EDID bytes written as hexadecimal text (as edid-decode and xrandr print
// them: pairs of hex digits, blanks, line ends and "0x" prefixes allowed).
// Nothing when the text holds anything else or an odd number of digits.
std::optional<std::vector<uint8_t>> EdidBytesFromHexText(std::string_view text);

// ---------------------------------------------------------------------------
// Writing
// ---------------------------------------------------------------------------

// What EncodeEdid writes: an EDID 1.4 with a digital input.
struct EdidDescription {
    std::string vendor = "VLB";  // three capital letters
    uint16_t product = 0;
    uint32_t serial = 0;
    uint8_t week = 1;
    uint16_t year = 2024;      // 1990..2245
    uint8_t bitsPerColor = 8;  // 6, 8, 10, 12, 14, 16 or 0 (not given)
    uint8_t widthCm = 0;
    uint8_t heightCm = 0;
    // The first is the preferred timing. They fill the base block's
    // descriptors left free by the name, serial and range limits; the others
    // go to CTA-861 extension blocks, six to a block.
    std::vector<DetailedTiming> timings;
    std::string name;        // up to 13 characters; none when empty
    std::string serialText;  // up to 13 characters; none when empty
    std::optional<EdidRangeLimits> rangeLimits;
};

// The 18-byte descriptor of a timing, or nothing when a value does not fit
// the descriptor's fields (the clock must be a multiple of 10 kHz up to
// 655.35 MHz; active and blanking up to 4095, front porch and sync up to 1023
// pixels and 63 lines).
std::optional<std::array<uint8_t, 18>> EncodeDetailedTiming(const DetailedTiming& timing, uint16_t widthMm = 0,
                                                            uint16_t heightMm = 0);

// The whole EDID with correct checksums, or nothing when a timing does not
// fit its descriptor, a text is too long, the base block has no room for the
// first timing, or a field is out of range.
std::optional<std::vector<uint8_t>> EncodeEdid(const EdidDescription& description);
