// The timing standards and EDIDs on the command line: decoding an EDID,
// computing CVT, GTF and DMT timings, and turning a timing into a panel file
// or a mode table entry.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "output.h"
#include "tolvane/detailed_timing.h"
#include "tolvane/edid.h"

namespace cli {

// How a standard timing is asked for: "cvt W H HZ", "gtf W H HZ" or
// "dmt ID|WxH@HZ", with the CVT blanking (0, 1, 2) and the scan type.
struct TimingRequest {
    std::string source;  // cvt, gtf, dmt
    std::vector<std::string> words;
    int rb = 0;
    bool interlaced = false;
};

// The timing asked for, or nothing after an error message. `name` gets a
// short description of the source ("CVT-RB 1920x1080@60", "DMT 0x10 ...").
std::optional<DetailedTiming> TimingFromRequest(const TimingRequest& r, std::string& name, Output& o);

// The JSON object of a timing, with the keys the commands share.
Json TimingJson(const DetailedTiming& t);

// Reads and decodes an EDID file (binary, or hex text); its problems go to
// the user. Nothing when the bytes are no EDID at all.
std::optional<EdidInfo> LoadEdid(const std::string& path, Output& o);

int CmdTiming(const TimingRequest& r, Output& o);
int CmdDmtList(Output& o);
int CmdEdidDecode(const std::string& file, Output& o);
// timingIndex: 1.. as edid decode numbers the detailed timings, 0 for the preferred one.
int CmdPanelFromEdid(const std::string& edidFile, int timingIndex, bool force, const std::string& outFile, Output& o);
int CmdPanelFromTiming(const TimingRequest& r, const std::string& outFile, Output& o);
int CmdModesAdd(const std::string& file, const TimingRequest& r, const std::string& outFile, Output& o);
int CmdModesCheckStandards(const std::string& file, Output& o);

}  // namespace cli
