// tolvane2-cli as a function: parses the arguments and runs one command.
// Data go to `out`, messages to `err`. Returns the exit status: 0 success,
// 1 the operation failed or differences were found, 2 a usage error.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace cli {

// The broadcast refusal of a command that waits for an answer (exit 2).
void RefuseBroadcastMessage(const std::string& command, class Output& o);

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool errIsTerminal);

}  // namespace cli
