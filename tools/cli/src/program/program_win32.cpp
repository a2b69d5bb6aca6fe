// The Windows build has no worker processes yet (they are started with
// posix_spawn and read through poll): program says so instead of half working.
#include "program/program_parent.h"
#include "program/program_worker.h"

namespace cli {

int RunProgram(const ProgramArgs&, Output& o) {
    o.err << "tolvane2-cli: program is not available in the Windows build yet; write each board with "
             "'tolvane2-cli --device COMn panel write FILE SLOT --verify' and 'modes write FILE --verify'\n";
    return 1;
}

int RunProgramWorker(const std::string&) { return 2; }

}  // namespace cli
