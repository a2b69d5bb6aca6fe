// tolvane2-cli ports --by-path.
#pragma once

#include <string>

#include "output.h"

namespace cli {

// The stable names of each serial device (Linux: the links in serialDir/by-path
// and serialDir/by-id; empty serialDir: /dev/serial) and a job file with one
// fixture position per device.
int CmdPortsByPath(const std::string& serialDir, Output& o);

}  // namespace cli
