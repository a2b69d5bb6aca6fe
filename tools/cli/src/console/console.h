// The console commands: registers, ports, I2C, flash and NVRAM, adjusters,
// switches, on-screen text, actions, debug flags and reset.
#pragma once

#include <functional>
#include <optional>

#include "board_commands.h"

namespace CLI {
class App;
}

namespace cli {

// Runs the console command that was parsed, or returns nullopt when none was.
// errIsTerminal: the messages go to a terminal, so a destructive command may ask.
using ConsoleDispatch = std::function<std::optional<int>(const BoardTarget&, Output&, bool errIsTerminal)>;

// Adds the console commands to app; fall marks a sub-command like the others
// (global options after the command, the shared footer).
ConsoleDispatch AddConsoleCommands(CLI::App& app, const std::function<CLI::App*(CLI::App*)>& fall);

}  // namespace cli
