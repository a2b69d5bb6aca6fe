// The program command: one worker process per serial line, a live view, a
// JSON Lines report and a summary table.
#pragma once

#include "board/board_commands.h"
#include "program/program_job.h"

namespace cli {

// Exit 0 when every board is ok, 1 when any failed or was stopped, 2 for a job
// that cannot start.
int RunProgram(const ProgramArgs& args, Output& o);

}  // namespace cli
