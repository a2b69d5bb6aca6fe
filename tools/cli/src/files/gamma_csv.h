// The CSV form of a gamma table that `gamma from-csv` reads.
#pragma once

#include <string>
#include <string_view>

#include "tolvane/records.h"

namespace cli {

// The CSV of `gamma from-csv`: 256 lines "input,output" in any order, blank
// lines, '#' comments and one header line allowed. On failure false with a
// message in `error` and the 1-based line it is about in `line` (0: the whole text).
bool ParseGammaCsv(std::string_view text, GammaTable& out, std::string& error, int& line);

}  // namespace cli
