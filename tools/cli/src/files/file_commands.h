// The commands that work on files only, without a board.
#pragma once

#include <optional>
#include <string>

#include "board/board_commands.h"
#include "files/record_files.h"

namespace cli {

// Reads a file the user named; the error or the warnings (extra bytes that are
// ignored) go to the user. False when the file cannot be used.
bool LoadWithWarnings(const std::string& path, std::optional<FileKindId> kind, RecordFile& file, Output& o);

int CmdShow(const std::string& file, std::optional<FileKindId> kind, Output& o);
int CmdToJson(const std::string& file, std::optional<FileKindId> kind, const std::string& outFile, Output& o);
int CmdFromJson(const std::string& json, const std::string& outFile, Output& o);
int CmdDiff(const std::string& a, const std::string& b, std::optional<FileKindId> kind, Output& o);
int CmdCheck(const std::string& file, std::optional<FileKindId> kind, Output& o);
int CmdMerge(const std::string& panel, const std::string& gamma, const std::string& outFile, Output& o);
int CmdGammaToCsv(const std::string& file, const std::string& outFile, Output& o);
int CmdGammaFromCsv(const std::string& csv, const std::string& outFile, Output& o);
int CmdPlot(const std::string& file, std::optional<FileKindId> kind, const std::string& outFile, Output& o);

}  // namespace cli
