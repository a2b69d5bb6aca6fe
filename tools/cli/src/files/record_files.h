// Loading and saving the three kinds of file for the command line: binary
// files by the editor's rules (magic and size), or their JSON form.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/json_form.h"
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
    // Messages about what was read but not used (bytes past the end of a
    // binary file); the caller shows them.
    std::vector<std::string> warnings;
};

// Reads `path`. A file whose first character (after blanks and a UTF-8
// byte-order mark) is '{' is a JSON form, whatever its size. Binary files are
// told apart as the editor does: 256 bytes is a gamma table; with the magic,
// 2116 bytes is a mode table and 512 a panel; other sizes go by the extension
// (.MOD, .PNL). `forced` skips the guessing. A 256-byte file that begins
// with '{' but is no JSON is read as a gamma table when it is named one (by
// `forced` or the extension .GAM). A binary file longer than
// its kind is read as the editor reads it, with a warning in out.warnings.
// On failure returns false with a message for the user in `error`.
// Paths are UTF-8 (what the command line gives, also on Windows).
bool LoadRecordFile(const std::string& utf8Path, std::optional<FileKindId> forced, RecordFile& out, std::string& error);

// The JSON form in `text` to a record; on failure false with a message in
// `error` (the field's path, or the line and column of broken JSON).
bool LoadJsonText(std::string_view text, std::optional<FileKindId> forced, RecordFile& out, std::string& error);

// The bytes of the binary file.
std::string RecordFileBytes(const RecordFile& file);

// Writes the binary file through the model's atomic replacement; the message
// names the path and the system's reason. "-" is standard output (written
// directly, not through a stream; never a terminal).
bool SaveRecordFile(const std::string& utf8Path, const RecordFile& file, std::string& error);

// The editor's text for a failed write of this kind ("ERROR: Can't write panel data !").
std::string WriteFailureText(FileKindId kind);

Json RecordToJson(const RecordFile& file);

}  // namespace cli
