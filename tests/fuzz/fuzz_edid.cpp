// The EDID decoder on any bytes (and on any text, as hexadecimal EDID text).
// It never reads outside the input; what it decodes agrees with itself: an
// undecodable input has an error and nothing else, the checksum flag matches
// the checksum errors, every detailed timing is a picture and writes back to
// the same timing, and whatever converts into a panel record or a mode entry
// without refusal passes the editor's checks.
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "tolvane/edid.h"
#include "tolvane/panel_checks.h"
#include "tolvane/timing_conversions.h"

namespace {

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "edid: %s\n", what);
    std::abort();
}

void CheckTiming(const EdidTiming& e, const EdidInfo& info) {
    const DetailedTiming& t = e.timing;
    if (!TimingShapeError(t).empty()) Fail("a listed timing is no picture");
    if (e.block > info.extensions.size() || e.offset + 18 > 127) Fail("a timing outside its block");
    if (e.hBorder == 0 && e.vBorder == 0 && e.sync == EdidSync::DigitalSeparate) {
        const auto descriptor = EncodeDetailedTiming(t, e.imageWidthMm, e.imageHeightMm);
        if (!descriptor) Fail("a decoded timing does not write back");
        EdidDescription d;
        d.timings = {t};
        const auto bytes = EncodeEdid(d);
        if (!bytes) Fail("a timing that writes as a descriptor does not write as an EDID");
        const EdidInfo again = DecodeEdid(*bytes);
        if (again.detailedTimings.size() != 1 || again.detailedTimings[0].timing != t)
            Fail("a written timing does not read back");
    }
    const PanelConversion panel = PanelFromTiming(t, &info);
    if (panel.ok() && HasCheckError(CheckPanelRecord(panel.record))) Fail("an accepted panel fails its checks");
    const ModeConversion mode = ModeEntryFromTiming(t);
    if (mode.ok() && HasCheckError(CheckModeEntry(mode.entry))) Fail("an accepted mode entry fails its checks");
}

void Check(std::span<const uint8_t> bytes) {
    const EdidInfo info = DecodeEdid(bytes);
    if (!info.decoded) {
        if (!HasEdidError(info) || !info.detailedTimings.empty() || !info.name.empty())
            Fail("an undecodable EDID without error, or with content");
        return;
    }
    bool checksumError = false;
    for (const EdidProblem& p : info.problems)
        checksumError = checksumError || p.where.find("byte 0x7F") != std::string::npos;
    if (info.checksumOk == checksumError) Fail("checksum flag and checksum errors disagree");
    if (info.extensions.size() > info.extensionsAnnounced) Fail("more extensions decoded than announced");
    if (info.name.size() > 13 || info.serialText.size() > 13) Fail("a descriptor text longer than 13");
    const EdidTiming* preferred = PreferredTiming(info);
    if (info.detailedTimings.empty() != (preferred == nullptr)) Fail("preferred timing");
    for (const EdidTiming& e : info.detailedTimings) CheckTiming(e, info);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, std::size_t size) {
    Check({input, size});
    const auto hex = EdidBytesFromHexText({reinterpret_cast<const char*>(input), size});
    if (hex) Check(*hex);
    return 0;
}
