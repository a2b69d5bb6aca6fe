// Panel files (.PNL, 512 bytes), mode files (.MOD, 2116 bytes) and gamma
// table files (.GAM, 256 bytes). Files are little-endian.
//
// Every reader fills a scratch buffer and copies it into the destination only
// when the file passed all checks, so a failed load leaves the destination
// byte for byte as it was. Every writer writes a temporary file in the target's
// folder, flushes it to disk and renames it over the target; on failure the
// temporary file is removed and the old file stays as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "tolvane/records.h"

struct EditorState;
struct EditorConfig;

inline constexpr std::size_t kPanelFileSize = 512;
inline constexpr std::size_t kModeFileSize = 2116;
inline constexpr std::size_t kGammaFileSize = 256;
inline constexpr std::size_t kConfigFileSize = 4;

// Reads the first 512 bytes of `path` (a longer file's tail is ignored).
// Returns false with wrongFormat = false when the file cannot be opened, is
// no regular file or is shorter than 512 bytes, and false with wrongFormat =
// true when the magic is not "VANTRL2" + NUL (letter case ignored) or the
// file is exactly 2116 bytes long (a mode file, which has the same magic).
bool ReadPanelFile(const std::filesystem::path& path, PanelRecord& out, bool& wrongFormat);

// Writes the 512 bytes of `record`, replacing `path` atomically.
bool WritePanelFile(const std::filesystem::path& path, const PanelRecord& record);

// As ReadPanelFile for 2116 bytes. A table whose modeCount exceeds 38 is
// refused as a wrong format.
bool ReadModeFile(const std::filesystem::path& path, ModeTable& out, bool& wrongFormat);

// Writes the 2116 bytes of `table`, replacing `path` atomically.
bool WriteModeFile(const std::filesystem::path& path, const ModeTable& table);

// True when `path` names a regular file of exactly 256 bytes that can be
// opened for reading.
bool IsGammaFile(const std::filesystem::path& path);

// Reads a gamma table file; it must be exactly 256 bytes long.
bool ReadGammaFile(const std::filesystem::path& path, GammaTable& out);

// The configuration file: serialPort and writeHotkey, two little-endian
// 16-bit values. Reading succeeds only when the first 4 bytes could be read
// (config is left as it was otherwise); the values are not checked.
bool ReadConfigFile(const std::filesystem::path& path, EditorConfig& config);
bool WriteConfigFile(const std::filesystem::path& path, const EditorConfig& config);

// Writes the 256 bytes of `table`, replacing `path` atomically.
bool WriteGammaFile(const std::filesystem::path& path, const GammaTable& table);

// Replaces `path` atomically with `size` bytes (any file the tools write:
// text forms of the records, tables).
bool WriteFileAtomically(const std::filesystem::path& path, const void* data, std::size_t size);

// The same operations on the editor's state: they work on
// state.currentFilePath and the edit copies (editPanel, editModeTable).
// The available flags are not touched; the caller sets them on success.
bool ReadPanelFile(EditorState& state, bool& wrongFormat);
bool WritePanelFile(const EditorState& state);
bool ReadModeFile(EditorState& state, bool& wrongFormat);
bool WriteModeFile(const EditorState& state);
bool IsGammaFile(const EditorState& state);

// Conversions between records and their little-endian file bytes.
void PanelRecordToFileBytes(const PanelRecord& record, uint8_t (&bytes)[kPanelFileSize]);
void FileBytesToPanelRecord(const uint8_t (&bytes)[kPanelFileSize], PanelRecord& record);
void ModeTableToFileBytes(const ModeTable& table, uint8_t (&bytes)[kModeFileSize]);
void FileBytesToModeTable(const uint8_t (&bytes)[kModeFileSize], ModeTable& table);

// Turns a stored filter text into the platform's pair list: every occurrence
// of the text's last character becomes a NUL ("" stays ""). The returned
// string holds the NULs; an extra NUL terminates it as the list's end.
std::string FilterTextToPairList(std::string_view stored);

// The strings of a pair list in order: "Panel files (*.PNL)#*.PNL#" gives
// "Panel files (*.PNL)", "*.PNL" and the closing empty string.
std::vector<std::string> SplitFilterText(std::string_view stored);

// Position of the file name (after the last '/' or '\\') in `path`.
std::size_t FileNameOffset(std::string_view path);

// Dialog texts of each file kind.
enum class FileKind { Panel, Mode, Gamma };
struct FileKindTexts {
    const char* filter;  // stored filter text, ends with its separator
    const char* defaultExtension;
    const char* openTitle;
    const char* saveTitle;  // nullptr: the kind is never saved
};
const FileKindTexts& TextsForFileKind(FileKind kind);
