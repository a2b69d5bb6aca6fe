// The file policy: the checks every command gets for the files it declares,
// made before anything is read, written or sent.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "command.h"

namespace cli {

struct PolicyFile {
    FileRole role = FileRole::Input;
    std::string path;  // as typed (UTF-8)
    std::uintmax_t maxBytes = 0;
};

// Checks the files of one command:
// - an input or job file must be a regular file (a FIFO, device or folder is
//   refused before it is opened) of at most maxBytes;
// - an output, backup or report must not be any input, the job file, another
//   output or one of the devices, by identity (links and other spellings);
// - for a command that uses the board, each output must be creatable now
//   (its folder exists and takes a new file, the path is no folder or
//   device), and a backup folder is made and must take a file;
// - "-" is standard output for an output and refused for the others.
// Returns 0, or the exit status after an error message: 2 for a command that
// uses the board (nothing was sent), 1 for a file command.
int CheckFiles(const std::vector<PolicyFile>& files, const std::vector<std::string>& devices, bool usesBoard,
               Output& o);

}  // namespace cli
