// The program command and its hidden worker, as the command line sees them.
#pragma once

#include <CLI/CLI.hpp>

#include "board_commands.h"
#include "program/program_job.h"

namespace cli {

struct ProgramCommand {
    CLI::App* app = nullptr;
    CLI::App* program = nullptr;
    CLI::App* worker = nullptr;
    ProgramArgs args;
    std::string spec;
};

void AddProgramCommand(CLI::App& app, ProgramCommand& p);
// True when one of the two ran; its exit code is in rc.
bool RunProgramCommand(ProgramCommand& p, const BoardTarget& target, Output& o, int& rc);

}  // namespace cli
