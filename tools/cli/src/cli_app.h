// tolvane2-cli as a function: parses the arguments and runs one command.
// Data go to `out`, messages to `err`. Returns the exit status: 0 success,
// 1 the operation failed or differences were found, 2 a usage error.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "command.h"

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace cli {

// What the options before the command word set.
struct GlobalOptions {
    bool json = false;
    bool quiet = false;
    BoardTarget target;
    CLI::Option* device = nullptr;  // --device, to tell an empty path from none
};

// The root of the command tree without its commands: the program's help and
// --version, and the options that come before the command word (--json,
// --quiet, --port, --device, --address), stored into `g`.
void AddGlobalOptions(CLI::App& app, GlobalOptions& g);

// The broadcast refusal of a command that waits for an answer (exit 2).
void RefuseBroadcastMessage(const std::string& command, class Output& o);

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool errIsTerminal);

}  // namespace cli
