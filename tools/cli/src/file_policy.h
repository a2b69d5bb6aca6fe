// Guards around the files the user names: an output that would overwrite an
// input, inputs that are no regular file or too big to be what they claim,
// and output that goes to a file or to standard output ("-").
#pragma once

#include <cstddef>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>

#include "board/board_commands.h"

namespace cli {

// True when both paths name one existing file (the same device and inode,
// links followed), however they are spelt.
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// True when `path` is an existing regular file; otherwise false with
// "PATH: no such file" or "PATH: not a regular file" in `error`.
bool IsRegularFile(const std::filesystem::path& path, std::string& error);

// Reads the whole regular file `path` when it holds at most `limit` bytes;
// never waits on a FIFO or a device. False with a message in `error`.
bool ReadSmallFile(const std::filesystem::path& path, std::size_t limit, std::string& content, std::string& error);

// "PATH: what: reason" for a write that failed with `error` (an errno value):
// the system's reason, and a plainer one for a missing folder and for
// something that is no regular file.
std::string WriteFailure(const std::filesystem::path& path, const std::string& what, int error);

// Writes `bytes` to the file `output` (replaced atomically) or, for "-", to
// standard output; binary bytes are not written to a terminal. `what` is the
// text of the failure ("cannot write the file"). False with a message in `error`.
bool WriteOutput(const std::string& output, std::string_view bytes, bool binary, const std::string& what, Output& o,
                 std::string& error);

}  // namespace cli
