// Loading and saving the three kinds of file for the command line: binary
// files by the editor's rules (magic and size), or their JSON form.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "json_form.h"
#include "tolvane/records.h"

namespace cli {

enum class FileKindId { Panel, Modes, Gamma };

const char* KindName(FileKindId kind);  // "panel", "mode table", "gamma table"

struct RecordFile {
    FileKindId kind = FileKindId::Panel;
    PanelRecord panel{};
    ModeTable modes{};
    GammaTable gamma{};
    bool fromJson = false;
};

// Reads `path`: a JSON form (first character '{') or a binary file. Binary
// files are told apart as the editor does: 256 bytes is a gamma table; with
// the magic, 2116 bytes is a mode table and 512 a panel; other sizes go by
// the extension (.MOD, .PNL). `forced` skips the guessing. On failure returns
// false with a message for the user in `error`.
// Paths are UTF-8 (what the command line gives, also on Windows).
bool LoadRecordFile(const std::string& utf8Path, std::optional<FileKindId> forced, RecordFile& out,
                    std::string& error);

// Writes the binary file through the model's atomic replacement.
bool SaveRecordFile(const std::string& utf8Path, const RecordFile& file, std::string& error);

Json RecordToJson(const RecordFile& file);

}  // namespace cli
