#include "tolvane/files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "byte_io.h"
#include "tolvane/editor_state.h"
#include "tolvane/panel.h"

#ifdef _WIN32
#include <fstream>
#include <process.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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
// Reading
// ---------------------------------------------------------------------------

namespace {

// Reads up to `size` bytes from the start of `path` into `buf`. Returns the
// number of bytes read, or -1 when the file cannot be opened or read.
// With `probeLonger`, one byte more is asked for so that a caller can tell a
// file of exactly `size` bytes from a longer one; it lands in `extra`.
long ReadPrefix(const fs::path& path, uint8_t* buf, std::size_t size, bool probeLonger = false) {
    std::error_code ec;
    if (path.empty() || fs::is_directory(path, ec)) return -1;
    std::FILE* f = nullptr;
#ifdef _WIN32
    f = _wfopen(path.c_str(), L"rb");
#else
    f = std::fopen(path.c_str(), "rb");
#endif
    if (f == nullptr) return -1;
    std::size_t got = std::fread(buf, 1, size, f);
    bool failed = std::ferror(f) != 0;
    if (!failed && got == size && probeLonger) {
        uint8_t extra = 0;
        if (std::fread(&extra, 1, 1, f) == 1) ++got;
        failed = std::ferror(f) != 0;
    }
    std::fclose(f);
    return failed ? -1 : static_cast<long>(got);
}

}  // namespace

bool ReadPanelFile(const fs::path& path, PanelRecord& out, bool& wrongFormat) {
    wrongFormat = false;
    uint8_t bytes[kPanelFileSize];
    if (ReadPrefix(path, bytes, sizeof bytes) != static_cast<long>(sizeof bytes)) return false;
    PanelRecord scratch{};
    FileBytesToPanelRecord(bytes, scratch);
    if (!HasRecordMagic(scratch.magic)) {
        wrongFormat = true;
        return false;
    }
    out = scratch;
    return true;
}

bool ReadModeFile(const fs::path& path, ModeTable& out, bool& wrongFormat) {
    wrongFormat = false;
    uint8_t bytes[kModeFileSize];
    if (ReadPrefix(path, bytes, sizeof bytes) != static_cast<long>(sizeof bytes)) return false;
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
    std::error_code ec;
    if (path.empty() || !fs::is_regular_file(path, ec)) return false;
    const auto size = fs::file_size(path, ec);
    return !ec && size == kGammaFileSize;
}

bool ReadGammaFile(const fs::path& path, GammaTable& out) {
    uint8_t bytes[kGammaFileSize + 1];
    if (ReadPrefix(path, bytes, kGammaFileSize, true) != static_cast<long>(kGammaFileSize)) return false;
    std::memcpy(out.level, bytes, kGammaFileSize);
    return true;
}

// ---------------------------------------------------------------------------
// Writing: temporary file in the same folder, flushed, renamed over the target
// ---------------------------------------------------------------------------

namespace {

#ifdef _WIN32

bool ReplaceFileAtomically(const fs::path& target, const uint8_t* data, std::size_t size) {
    static unsigned counter = 0;
    std::error_code ec;
    fs::path temp = target;
    temp += L".tmp" + std::to_wstring(_getpid()) + L"_" + std::to_wstring(++counter);
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        out.flush();
        if (!out) {
            out.close();
            fs::remove(temp, ec);
            return false;
        }
    }
    fs::rename(temp, target, ec);
    if (ec) {
        fs::remove(temp, ec);
        return false;
    }
    return true;
}

#else

bool WriteAll(int fd, const uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool ReplaceFileAtomically(const fs::path& requested, const uint8_t* data, std::size_t size) {
    if (requested.empty()) return false;
    std::error_code ec;
    // Saving through a symbolic link replaces the file it points to, not the link.
    fs::path target = requested;
    if (fs::is_symlink(requested, ec)) {
        fs::path resolved = fs::weakly_canonical(requested, ec);
        if (ec) return false;
        target = resolved;
    }
    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;
    if (existed) {
        // Only a regular file is replaced (never a folder or a device), and a
        // file the user has made read-only stays as it is.
        if (!S_ISREG(old.st_mode) || ::access(target.c_str(), W_OK) != 0) return false;
    }

    static unsigned counter = 0;
    int fd = -1;
    fs::path temp;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        // A short name of its own, so that a target name near the length
        // limit still leaves room for it.
        temp = target.parent_path() /
               (".tolvane" + std::to_string(::getpid()) + "_" + std::to_string(++counter) + ".tmp");
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;

    bool ok = WriteAll(fd, data, size);
    if (ok && existed) {
        ok = ::fchmod(fd, old.st_mode & 07777) == 0;
        // Keep the owner where allowed; where not, the new file is ours.
        if (ok && (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) &&
            ::fchown(fd, old.st_uid, old.st_gid) != 0) {
        }
    }
    if (ok) ok = ::fsync(fd) == 0;
    if (::close(fd) != 0) ok = false;
    if (ok) ok = ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    // Make the rename itself durable.
    fs::path dir = target.parent_path();
    if (dir.empty()) dir = ".";
    const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

#endif

}  // namespace

bool WritePanelFile(const fs::path& path, const PanelRecord& record) {
    uint8_t bytes[kPanelFileSize];
    PanelRecordToFileBytes(record, bytes);
    return ReplaceFileAtomically(path, bytes, sizeof bytes);
}

bool WriteModeFile(const fs::path& path, const ModeTable& table) {
    uint8_t bytes[kModeFileSize];
    ModeTableToFileBytes(table, bytes);
    return ReplaceFileAtomically(path, bytes, sizeof bytes);
}

bool WriteGammaFile(const fs::path& path, const GammaTable& table) {
    return ReplaceFileAtomically(path, table.level, sizeof table.level);
}

bool WriteFileAtomically(const fs::path& path, const void* data, std::size_t size) {
    return ReplaceFileAtomically(path, static_cast<const uint8_t*>(data), size);
}

// ---------------------------------------------------------------------------
// On the editor's state
// ---------------------------------------------------------------------------

static fs::path StatePath(const EditorState& state) { return fs::path(state.currentFilePath); }

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
        case FileKind::Mode: return mode;
        case FileKind::Gamma: return gamma;
        case FileKind::Panel:
        default: return panel;
    }
}
