#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstring>

#include "model_test_files.h"
#include "tolvane/editor_state.h"
#include "tolvane/files.h"
#include "tolvane/modes.h"
#include "tolvane/panel.h"

namespace {

std::vector<uint8_t> PanelBytes(const PanelRecord& r) {
    uint8_t b[kPanelFileSize];
    PanelRecordToFileBytes(r, b);
    return {b, b + kPanelFileSize};
}

PanelRecord SamplePanel() {
    PanelRecord r{};
    SetPanelDefaults(r);
    std::memcpy(r.displayName, "LQ150X1", 7);
    r.maxDisplayClock = 65000;
    r.powerOnT2 = 20;
    return r;
}

}  // namespace

using PanelFiles = TempDirTest;
using ModeFiles = TempDirTest;
using GammaFiles = TempDirTest;

TEST_F(PanelFiles, WriteThenReadIsLittleEndianAndExact) {
    const PanelRecord r = SamplePanel();
    ASSERT_TRUE(WritePanelFile(Path("a.PNL"), r));
    const auto bytes = ReadRaw(Path("a.PNL"));
    ASSERT_EQ(bytes.size(), 512u);
    EXPECT_EQ(bytes[36], 0x00);  // 1024 little-endian
    EXPECT_EQ(bytes[37], 0x04);
    EXPECT_EQ(bytes[44], 0xE8);  // 65000 = 0x0000FDE8
    EXPECT_EQ(bytes[45], 0xFD);
    EXPECT_EQ(EntriesInDir(), 1u);  // no temporary file left behind

    PanelRecord back{};
    bool wrong = true;
    ASSERT_TRUE(ReadPanelFile(Path("a.PNL"), back, wrong));
    EXPECT_FALSE(wrong);
    EXPECT_EQ(std::memcmp(&r, &back, sizeof r), 0);
}

TEST_F(PanelFiles, LengthAndMagicChecks) {
    auto bytes = PanelBytes(SamplePanel());
    PanelRecord target{};
    SetPanelDefaults(target);
    const PanelRecord untouched = target;
    bool wrong = true;

    WriteRaw(Path("short.PNL"), {bytes.begin(), bytes.end() - 1});
    EXPECT_FALSE(ReadPanelFile(Path("short.PNL"), target, wrong));
    EXPECT_FALSE(wrong);
    EXPECT_FALSE(ReadPanelFile(Path("missing.PNL"), target, wrong));
    EXPECT_FALSE(wrong);
    EXPECT_FALSE(ReadPanelFile(dir_, target, wrong));  // a folder
    EXPECT_FALSE(wrong);

    for (auto [offset, value] : {std::pair{1, 'X'}, std::pair{6, '3'}, std::pair{7, 'x'}}) {
        auto bad = bytes;
        bad[static_cast<std::size_t>(offset)] = static_cast<uint8_t>(value);
        WriteRaw(Path("bad.PNL"), bad);
        EXPECT_FALSE(ReadPanelFile(Path("bad.PNL"), target, wrong)) << offset;
        EXPECT_TRUE(wrong) << offset;
    }
    EXPECT_EQ(std::memcmp(&target, &untouched, sizeof target), 0);

    auto longer = bytes;
    longer.push_back(0xAB);
    std::memcpy(longer.data(), "vantrl2", 7);
    WriteRaw(Path("long.PNL"), longer);
    EXPECT_TRUE(ReadPanelFile(Path("long.PNL"), target, wrong));
    EXPECT_EQ(std::memcmp(target.magic, "vantrl2", 8), 0);  // kept as read
    EXPECT_EQ(target.maxDisplayClock, 65000u);
}

TEST_F(PanelFiles, ModeAndPanelFilesAreToldApartByLength) {
    ModeTable t{};
    SetModeTableDefaults(t);
    ASSERT_TRUE(WriteModeFile(Path("m.MOD"), t));
    ASSERT_TRUE(WritePanelFile(Path("p.PNL"), SamplePanel()));

    PanelRecord r{};
    bool wrong = false;
    EXPECT_FALSE(ReadPanelFile(Path("m.MOD"), r, wrong));
    EXPECT_TRUE(wrong);
    ModeTable m{};
    EXPECT_FALSE(ReadModeFile(Path("p.PNL"), m, wrong));
    EXPECT_FALSE(wrong);
}

TEST_F(PanelFiles, FailedWriteKeepsTheOldFile) {
    const PanelRecord r = SamplePanel();
    ASSERT_TRUE(WritePanelFile(Path("keep.PNL"), r));
    ::chmod(Path("keep.PNL").c_str(), 0640);
    const auto before = ReadRaw(Path("keep.PNL"));

    // Let the file system refuse more than 300 bytes: the 512-byte write fails.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 300;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    PanelRecord other = r;
    other.hResolution = 1280;
    const bool wrote = WritePanelFile(Path("keep.PNL"), other);
    setrlimit(RLIMIT_FSIZE, &old);

    EXPECT_FALSE(wrote);
    EXPECT_EQ(ReadRaw(Path("keep.PNL")), before);
    EXPECT_EQ(EntriesInDir(), 1u);

    ASSERT_TRUE(WritePanelFile(Path("keep.PNL"), other));
    struct stat st {};
    ASSERT_EQ(::stat(Path("keep.PNL").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);  // replacing keeps the permissions

    // Saving through a link replaces the file behind it and keeps the link.
    std::filesystem::create_symlink("keep.PNL", Path("link.PNL"));
    other.hResolution = 1600;
    ASSERT_TRUE(WritePanelFile(Path("link.PNL"), other));
    EXPECT_TRUE(std::filesystem::is_symlink(Path("link.PNL")));
    EXPECT_EQ(ReadRaw(Path("keep.PNL"))[36], 0x40);  // 1600 = 0x0640
    std::filesystem::remove(Path("link.PNL"));

    ASSERT_EQ(::mkfifo(Path("pipe").c_str(), 0600), 0);
    EXPECT_FALSE(WritePanelFile(Path("pipe"), r));  // only regular files are replaced
    EXPECT_TRUE(std::filesystem::is_fifo(Path("pipe")));
    std::filesystem::remove(Path("pipe"));
    EXPECT_FALSE(WritePanelFile(Path("no/such/folder/x.PNL"), r));
    EXPECT_FALSE(WritePanelFile(dir_, r));
    EXPECT_FALSE(WritePanelFile("", r));
    EXPECT_EQ(EntriesInDir(), 1u);
}

TEST_F(ModeFiles, RoundTripAndCountLimit) {
    ModeTable t{};
    SetModeTableDefaults(t);
    t.entries[5].activeWidth = 0x1234;  // beyond the count, still saved
    t.entries[0].reserved[31] = 7;
    ASSERT_TRUE(WriteModeFile(Path("t.MOD"), t));
    const auto bytes = ReadRaw(Path("t.MOD"));
    ASSERT_EQ(bytes.size(), 2116u);
    EXPECT_EQ(bytes[12 + 52 * 5 + 11], 0x34);
    EXPECT_EQ(bytes[12 + 52 * 5 + 12], 0x12);

    ModeTable back{};
    bool wrong = true;
    ASSERT_TRUE(ReadModeFile(Path("t.MOD"), back, wrong));
    EXPECT_EQ(std::memcmp(&t, &back, sizeof t), 0);

    for (uint16_t count : {uint16_t{38}, uint16_t{39}, uint16_t{0xFFFF}}) {
        auto raw = bytes;
        raw[10] = static_cast<uint8_t>(count);
        raw[11] = static_cast<uint8_t>(count >> 8);
        WriteRaw(Path("c.MOD"), raw);
        ModeTable m{};
        const bool ok = ReadModeFile(Path("c.MOD"), m, wrong);
        EXPECT_EQ(ok, count <= 38) << count;
        EXPECT_EQ(wrong, count > 38) << count;
    }
}

TEST_F(GammaFiles, OnlyExactly256Bytes) {
    for (std::size_t size : {std::size_t{0}, std::size_t{255}, std::size_t{256}, std::size_t{257}}) {
        std::vector<uint8_t> bytes(size);
        for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7);
        WriteRaw(Path("g.GAM"), bytes);
        EXPECT_EQ(IsGammaFile(Path("g.GAM")), size == 256) << size;
        GammaTable g{};
        EXPECT_EQ(ReadGammaFile(Path("g.GAM"), g), size == 256) << size;
        if (size == 256) {
            EXPECT_EQ(g.level[3], 21);
        }
    }
    EXPECT_FALSE(IsGammaFile(Path("none.GAM")));
    EXPECT_FALSE(IsGammaFile(dir_));
}

TEST_F(PanelFiles, EditorStateOverloadsUseCurrentPathAndEditCopies) {
    EditorState s;
    SetPanelDefaults(s.panel);
    SetModeTableDefaults(s.modeTable);
    s.editPanel = SamplePanel();
    s.editModeTable = s.modeTable;
    s.currentFilePath = Path("state.PNL").string();
    ASSERT_TRUE(WritePanelFile(s));
    s.editPanel = s.panel;
    bool wrong = true;
    ASSERT_TRUE(ReadPanelFile(s, wrong));
    EXPECT_EQ(s.editPanel.maxDisplayClock, 65000u);
    EXPECT_FALSE(s.panelDataAvailable);  // the caller decides

    s.currentFilePath = Path("state.MOD").string();
    ASSERT_TRUE(WriteModeFile(s));
    EXPECT_TRUE(ReadModeFile(s, wrong));
    EXPECT_FALSE(IsGammaFile(s));
}

TEST(FilterText, BecomesPairList) {
    const auto parts = SplitFilterText("Panel files (*.PNL)#*.PNL#");
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[0], "Panel files (*.PNL)");
    EXPECT_EQ(parts[1], "*.PNL");
    EXPECT_EQ(parts[2], "");
    EXPECT_EQ(FilterTextToPairList("A|B|"), std::string("A\0B\0\0", 5));
    EXPECT_EQ(FilterTextToPairList(""), std::string("\0", 1));
    EXPECT_EQ(SplitFilterText(TextsForFileKind(FileKind::Gamma).filter)[0], "Gamma table files (*.GAM)");
    EXPECT_EQ(TextsForFileKind(FileKind::Mode).saveTitle, std::string("  SAVE MODE TABLE"));
}

TEST(FilterText, FileNameOffset) {
    EXPECT_EQ(FileNameOffset("/home/a/PANEL.PNL"), 8u);
    EXPECT_EQ(FileNameOffset("C:\\P\\X.PNL"), 5u);
    EXPECT_EQ(FileNameOffset("X.PNL"), 0u);
}
