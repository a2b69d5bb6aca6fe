// Every file loader on any file content: the panel, mode, gamma table and
// configuration files. The first input byte picks the loader, the rest is the
// file. A loader that refuses leaves its destination as it was; one that
// accepts has checked what it promises, and what it loaded packs for the
// board without reaching outside its buffers.
#include "tolvane/editor_state.h"
#include "tolvane/file_io.h"
#include "tolvane/files.h"
#include "tolvane/modes.h"
#include "tolvane/panel.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "loader: %s\n", what);
    std::abort();
}

// The input goes through a real file, in memory where the system offers a
// folder for that (rewriting a file on disk costs milliseconds).
const std::filesystem::path& FilePath() {
    static const std::filesystem::path path = [] {
        std::error_code ec;
        const std::filesystem::path shm = "/dev/shm";
        const std::filesystem::path dir =
            std::filesystem::is_directory(shm, ec) ? shm : std::filesystem::temp_directory_path();
        return dir / ("tolvane_fuzz_" + std::to_string(::getpid()) + ".bin");
    }();
    return path;
}

void WriteFile(const uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen(FilePath().c_str(), "wb");
    if (!f) Fail("cannot write the input file");
    if (size && std::fwrite(data, 1, size, f) != size) Fail("cannot write the input file");
    std::fclose(f);
}

template <typename T>
void Fill(T& value, uint8_t byte) {
    std::memset(static_cast<void*>(&value), byte, sizeof value);
}

template <typename T>
bool Same(const T& a, const T& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void Panel(const uint8_t* file, std::size_t size) {
    PanelRecord record;
    Fill(record, 0x11);
    const PanelRecord before = record;
    bool wrong = false;
    if (!ReadPanelFile(FilePath(), record, wrong)) {
        if (!Same(record, before)) Fail("a refused panel file changed the record");
        if (wrong != (size >= kPanelFileSize)) Fail("panel file: load failure and wrong format mixed up");
        return;
    }
    if (size < kPanelFileSize || size == kModeFileSize || !HasRecordMagic(record.magic))
        Fail("a panel file was accepted that is none");
    uint8_t bytes[kPanelFileSize];
    PanelRecordToFileBytes(record, bytes);
    if (std::memcmp(bytes, file, kPanelFileSize) != 0) Fail("a panel record does not give back its file bytes");
    PanelImage image{};
    GammaTable gamma{};
    PanelRecordToImage(record, image, gamma);
    ApplyResolutionClass(record);
    ImageToPanelRecord(image, gamma, record);
}

void Mode(const uint8_t* file, std::size_t size) {
    ModeTable table;
    Fill(table, 0x22);
    const ModeTable before = table;
    bool wrong = false;
    if (!ReadModeFile(FilePath(), table, wrong)) {
        if (!Same(table, before)) Fail("a refused mode file changed the table");
        return;
    }
    if (size < kModeFileSize || table.modeCount > kMaxModes || !HasRecordMagic(table.magic))
        Fail("a mode file was accepted that is none");
    uint8_t bytes[kModeFileSize];
    ModeTableToFileBytes(table, bytes);
    if (std::memcmp(bytes, file, kModeFileSize) != 0) Fail("a mode table does not give back its file bytes");
    ModeTableImage image;
    Fill(image, 0x33);
    ModeTableToImage(table, image);
    ImageToModeTable(image, table);
    if (table.modeCount > kMaxModes) Fail("an unpacked table counts more than 38 modes");
    for (unsigned i = 0; i < kMaxModes; ++i) ClearModeEntry(table, static_cast<uint16_t>(i));
}

void Gamma(const uint8_t* file, std::size_t size) {
    GammaTable gamma;
    Fill(gamma, 0x44);
    const GammaTable before = gamma;
    const bool is = IsGammaFile(FilePath());
    const bool read = ReadGammaFile(FilePath(), gamma);
    if (is != (size == kGammaFileSize) || read != is) Fail("gamma table file of the wrong size");
    if (read ? std::memcmp(gamma.level, file, kGammaFileSize) != 0 : !Same(gamma, before)) Fail("gamma table content");
}

void Config(const uint8_t* file, std::size_t size) {
    EditorConfig config{0xABCD, 0x1234};
    if (!ReadConfigFile(FilePath(), config)) {
        if (size >= kConfigFileSize || config.serialPort != 0xABCD || config.writeHotkey != 0x1234)
            Fail("configuration file refused or changed");
        return;
    }
    if (size < kConfigFileSize || config.serialPort != (file[0] | file[1] << 8) ||
        config.writeHotkey != (file[2] | file[3] << 8))
        Fail("configuration values");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, std::size_t size) {
    if (size == 0) return 0;
    const uint8_t* file = input + 1;
    const std::size_t fileSize = size - 1;
    WriteFile(file, fileSize);
    switch (input[0] & 3) {
        case 0:
            Panel(file, fileSize);
            break;
        case 1:
            Mode(file, fileSize);
            break;
        case 2:
            Gamma(file, fileSize);
            break;
        default:
            Config(file, fileSize);
            break;
    }
    std::error_code ec;
    std::filesystem::remove(FilePath(), ec);  // nothing is left behind when the fuzzer stops
    return 0;
}
