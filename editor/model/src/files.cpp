#include "tolvane/files.h"

#include <cstring>

#include "byte_io.h"
#include "tolvane/editor_state.h"
#include "tolvane/file_io.h"
#include "tolvane/panel.h"

using namespace byte_io;
namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// Record <-> little-endian file bytes
// ---------------------------------------------------------------------------

void PanelRecordToFileBytes(const PanelRecord& r, uint8_t (&b)[kPanelFileSize]) {
    std::memcpy(b + 0, r.magic, 8);
    PutLE16(b + 8, r.blockSize);
    std::memcpy(b + 10, r.displayName, 16);
    PutLE16(b + 26, r.imageHeader);
    PutLE16(b + 28, r.manufacturer);
    PutLE16(b + 30, r.reserved30);
    PutLE16(b + 32, r.panelFlags);
    PutLE16(b + 34, r.colorDepth);
    PutLE16(b + 36, r.hResolution);
    PutLE16(b + 38, r.vResolution);
    PutLE16(b + 40, r.vFreqTyp);
    PutLE16(b + 42, r.vFreqMax);
    PutLE32(b + 44, r.maxDisplayClock);
    PutLE16(b + 48, r.hMinTotal);
    PutLE16(b + 50, r.hPulseWidth);
    PutLE16(b + 52, r.hBackPorch);
    PutLE16(b + 54, r.reserved54);
    PutLE16(b + 56, r.vMinTotal);
    PutLE16(b + 58, r.vPulseWidth);
    PutLE16(b + 60, r.vBackPorch);
    PutLE16(b + 62, r.resolutionCodeA);
    PutLE16(b + 64, r.resolutionCodeB);
    PutLE16(b + 66, r.outputDrive);
    PutLE16(b + 68, r.kesaId);
    b[70] = r.powerOnT1;
    b[71] = r.powerOnT2;
    b[72] = r.powerOffT3;
    b[73] = r.powerOffT4;
    PutLE16(b + 74, r.resolutionFlags);
    PutLE16(b + 76, r.vFreqMin);
    std::memcpy(b + 78, r.reserved78, sizeof r.reserved78);
    PutLE16(b + 254, r.reserved254);
    std::memcpy(b + 256, r.gammaTable.level, 256);
}

void FileBytesToPanelRecord(const uint8_t (&b)[kPanelFileSize], PanelRecord& r) {
    std::memcpy(r.magic, b + 0, 8);
    r.blockSize = GetLE16(b + 8);
    std::memcpy(r.displayName, b + 10, 16);
    r.imageHeader = GetLE16(b + 26);
    r.manufacturer = GetLE16(b + 28);
    r.reserved30 = GetLE16(b + 30);
    r.panelFlags = GetLE16(b + 32);
    r.colorDepth = GetLE16(b + 34);
    r.hResolution = GetLE16(b + 36);
    r.vResolution = GetLE16(b + 38);
    r.vFreqTyp = GetLE16(b + 40);
    r.vFreqMax = GetLE16(b + 42);
    r.maxDisplayClock = GetLE32(b + 44);
    r.hMinTotal = GetLE16(b + 48);
    r.hPulseWidth = GetLE16(b + 50);
    r.hBackPorch = GetLE16(b + 52);
    r.reserved54 = GetLE16(b + 54);
    r.vMinTotal = GetLE16(b + 56);
    r.vPulseWidth = GetLE16(b + 58);
    r.vBackPorch = GetLE16(b + 60);
    r.resolutionCodeA = GetLE16(b + 62);
    r.resolutionCodeB = GetLE16(b + 64);
    r.outputDrive = GetLE16(b + 66);
    r.kesaId = GetLE16(b + 68);
    r.powerOnT1 = b[70];
    r.powerOnT2 = b[71];
    r.powerOffT3 = b[72];
    r.powerOffT4 = b[73];
    r.resolutionFlags = GetLE16(b + 74);
    r.vFreqMin = GetLE16(b + 76);
    std::memcpy(r.reserved78, b + 78, sizeof r.reserved78);
    r.reserved254 = GetLE16(b + 254);
    std::memcpy(r.gammaTable.level, b + 256, 256);
}

static constexpr std::size_t kEntryFileOffset = 12;
static constexpr std::size_t kEntryFileSize = 52;
static constexpr std::size_t kModeReservedOffset = 1988;

void ModeTableToFileBytes(const ModeTable& t, uint8_t (&b)[kModeFileSize]) {
    std::memcpy(b + 0, t.magic, 8);
    PutLE16(b + 8, t.headerWord);
    PutLE16(b + 10, t.modeCount);
    for (std::size_t i = 0; i < kMaxModes; ++i) {
        const ModeEntry& e = t.entries[i];
        uint8_t* p = b + kEntryFileOffset + i * kEntryFileSize;
        PutLE16(p + 0, e.hFreq);
        p[2] = e.hFreqTol;
        PutLE16(p + 3, e.vFreq);
        p[5] = e.vFreqTol;
        PutLE16(p + 6, e.vTotal);
        p[8] = e.vTotalTol;
        PutLE16(p + 9, e.hTotal);
        PutLE16(p + 11, e.activeWidth);
        PutLE16(p + 13, e.activeHeight);
        PutLE16(p + 15, e.hStart);
        PutLE16(p + 17, e.vStart);
        p[19] = e.modeFlags;
        std::memcpy(p + 20, e.reserved, sizeof e.reserved);
    }
    std::memcpy(b + kModeReservedOffset, t.reserved, sizeof t.reserved);
}

void FileBytesToModeTable(const uint8_t (&b)[kModeFileSize], ModeTable& t) {
    std::memcpy(t.magic, b + 0, 8);
    t.headerWord = GetLE16(b + 8);
    t.modeCount = GetLE16(b + 10);
    for (std::size_t i = 0; i < kMaxModes; ++i) {
        ModeEntry& e = t.entries[i];
        const uint8_t* p = b + kEntryFileOffset + i * kEntryFileSize;
        e.hFreq = GetLE16(p + 0);
        e.hFreqTol = p[2];
        e.vFreq = GetLE16(p + 3);
        e.vFreqTol = p[5];
        e.vTotal = GetLE16(p + 6);
        e.vTotalTol = p[8];
        e.hTotal = GetLE16(p + 9);
        e.activeWidth = GetLE16(p + 11);
        e.activeHeight = GetLE16(p + 13);
        e.hStart = GetLE16(p + 15);
        e.vStart = GetLE16(p + 17);
        e.modeFlags = p[19];
        std::memcpy(e.reserved, p + 20, sizeof e.reserved);
    }
    std::memcpy(t.reserved, b + kModeReservedOffset, sizeof t.reserved);
}

// ---------------------------------------------------------------------------
// Reading and writing
// ---------------------------------------------------------------------------

bool ReadPanelFile(const fs::path& path, PanelRecord& out, bool& wrongFormat) {
    wrongFormat = false;
    uint8_t bytes[kPanelFileSize];
    std::uint64_t fileSize = 0;
    if (ReadFileStart(path, bytes, sizeof bytes, &fileSize) != static_cast<long>(sizeof bytes)) return false;
    PanelRecord scratch{};
    FileBytesToPanelRecord(bytes, scratch);
    // A mode file starts with the same magic; only its length of exactly
    // 2116 bytes tells it apart. Its first 512 bytes are no panel record.
    if (!HasRecordMagic(scratch.magic) || fileSize == kModeFileSize) {
        wrongFormat = true;
        return false;
    }
    out = scratch;
    return true;
}

bool ReadModeFile(const fs::path& path, ModeTable& out, bool& wrongFormat) {
    wrongFormat = false;
    uint8_t bytes[kModeFileSize];
    if (ReadFileStart(path, bytes, sizeof bytes) != static_cast<long>(sizeof bytes)) return false;
    ModeTable scratch{};
    FileBytesToModeTable(bytes, scratch);
    // More than 38 modes cannot come from a board or from this editor; such a
    // file is damaged or foreign, and accepting it would let a count point past
    // the last slot.
    if (!HasRecordMagic(scratch.magic) || scratch.modeCount > kMaxModes) {
        wrongFormat = true;
        return false;
    }
    out = scratch;
    return true;
}

bool IsGammaFile(const fs::path& path) {
    // Opened as for reading: a file that cannot be read is no gamma table.
    uint8_t probe[1];
    std::uint64_t fileSize = 0;
    return ReadFileStart(path, probe, 0, &fileSize) == 0 && fileSize == kGammaFileSize;
}

bool ReadGammaFile(const fs::path& path, GammaTable& out) {
    uint8_t bytes[kGammaFileSize];
    std::uint64_t fileSize = 0;
    if (ReadFileStart(path, bytes, sizeof bytes, &fileSize) != static_cast<long>(kGammaFileSize) ||
        fileSize != kGammaFileSize)
        return false;
    std::memcpy(out.level, bytes, kGammaFileSize);
    return true;
}

bool WritePanelFile(const fs::path& path, const PanelRecord& record) {
    uint8_t bytes[kPanelFileSize];
    PanelRecordToFileBytes(record, bytes);
    return WriteWholeFile(path, bytes, sizeof bytes);
}

bool WriteModeFile(const fs::path& path, const ModeTable& table) {
    uint8_t bytes[kModeFileSize];
    ModeTableToFileBytes(table, bytes);
    return WriteWholeFile(path, bytes, sizeof bytes);
}

bool ReadConfigFile(const fs::path& path, EditorConfig& config) {
    uint8_t bytes[kConfigFileSize];
    if (ReadFileStart(path, bytes, sizeof bytes) != static_cast<long>(sizeof bytes)) return false;
    config.serialPort = GetLE16(bytes + 0);
    config.writeHotkey = GetLE16(bytes + 2);
    return true;
}

bool WriteConfigFile(const fs::path& path, const EditorConfig& config) {
    uint8_t bytes[kConfigFileSize];
    PutLE16(bytes + 0, config.serialPort);
    PutLE16(bytes + 2, config.writeHotkey);
    return WriteWholeFile(path, bytes, sizeof bytes);
}

bool WriteGammaFile(const fs::path& path, const GammaTable& table) {
    return WriteWholeFile(path, table.level, sizeof table.level);
}

bool WriteFileAtomically(const fs::path& path, const void* data, std::size_t size) {
    return WriteWholeFile(path, static_cast<const uint8_t*>(data), size);
}

// ---------------------------------------------------------------------------
// On the editor's state
// ---------------------------------------------------------------------------

// The state holds the path as UTF-8, as the file dialogs gave it.
static fs::path StatePath(const EditorState& state) { return PathFromUtf8(state.currentFilePath); }

bool ReadPanelFile(EditorState& state, bool& wrongFormat) {
    return ReadPanelFile(StatePath(state), state.editPanel, wrongFormat);
}
bool WritePanelFile(const EditorState& state) { return WritePanelFile(StatePath(state), state.editPanel); }
bool ReadModeFile(EditorState& state, bool& wrongFormat) {
    return ReadModeFile(StatePath(state), state.editModeTable, wrongFormat);
}
bool WriteModeFile(const EditorState& state) { return WriteModeFile(StatePath(state), state.editModeTable); }
bool IsGammaFile(const EditorState& state) { return IsGammaFile(StatePath(state)); }

// ---------------------------------------------------------------------------
// Dialog texts
// ---------------------------------------------------------------------------

std::string FilterTextToPairList(std::string_view stored) {
    std::string list(stored);
    if (!list.empty()) {
        const char separator = list.back();
        for (char& c : list)
            if (c == separator) c = '\0';
    }
    list.push_back('\0');  // the list ends with two NULs
    return list;
}

std::vector<std::string> SplitFilterText(std::string_view stored) {
    const std::string list = FilterTextToPairList(stored);
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start < list.size()) {
        const std::size_t end = list.find('\0', start);
        parts.emplace_back(list, start, end - start);
        if (end == start) break;  // the empty string closes the list
        start = end + 1;
    }
    return parts;
}

std::size_t FileNameOffset(std::string_view path) {
    const std::size_t pos = path.find_last_of("/\\");
    return pos == std::string_view::npos ? 0 : pos + 1;
}

const FileKindTexts& TextsForFileKind(FileKind kind) {
    static const FileKindTexts panel{"Panel files (*.PNL)#*.PNL#", "PNL", "  LOAD PANEL DATA", "  SAVE PANEL DATA"};
    static const FileKindTexts mode{"Mode files (*.MOD)#*.MOD#", "MOD", "  LOAD MODE TABLE", "  SAVE MODE TABLE"};
    static const FileKindTexts gamma{"Gamma table files (*.GAM)#*.GAM#", "GAM", "  LOAD GAMMA TABLE", nullptr};
    switch (kind) {
        case FileKind::Mode:
            return mode;
        case FileKind::Gamma:
            return gamma;
        case FileKind::Panel:
        default:
            return panel;
    }
}
