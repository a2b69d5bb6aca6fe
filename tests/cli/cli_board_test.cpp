// tolvane2-cli against the emulated board on a real pseudo-terminal: reading,
// writing with verify and backup, a board that alters a stored byte, and the
// port errors.
#include "board_fixture.h"
#include "valid_panel.h"

#include <chrono>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "tolvane/files.h"
#include "tolvane/modes.h"
#include "tolvane/panel.h"
#include "vantrel_board/board.h"

#include <nlohmann/json.hpp>

using namespace clitest;
using vantrel_board::Board;

namespace {

class CliBoard : public EmulatedBoardTest {
protected:
};

PanelImage ImageOf(const PanelRecord& r, GammaTable& gamma) {
    PanelImage image{};
    PanelRecordToImage(r, image, gamma);
    return image;
}

PanelRecord LoadPanel(const std::string& path) {
    PanelRecord r{};
    bool wrong = false;
    EXPECT_TRUE(ReadPanelFile(path, r, wrong)) << path;
    return r;
}

}  // namespace

TEST_F(CliBoard, PanelReadWriteWithVerifyBackupAndReset) {
    // Panel 2 uses its own gamma table: both blocks come into the file.
    Result read = OnBoard({"panel", "read", "2", "-o", P("p2.PNL")});
    ASSERT_EQ(read.code, 0) << read.err;
    PanelRecord p2 = LoadPanel(P("p2.PNL"));
    GammaTable gamma{};
    const PanelImage image = ImageOf(p2, gamma);
    EXPECT_EQ(board_->Flash(0xFB40, 64), Bytes(image.bytes, image.bytes + 64));
    EXPECT_EQ(board_->Flash(0xF800, 256), Bytes(gamma.level, gamma.level + 256));
    const Bytes factorySlot4 = board_->Flash(0xFBC0, 64);

    // Write it, changed, to Panel 4 with a backup of what Panel 4 held.
    p2.hMinTotal = 900;
    p2.displayName[0] = 'X';
    ASSERT_TRUE(WritePanelFile(P("new.PNL"), p2));
    Result write = OnBoard({"panel", "write", P("new.PNL"), "4", "--verify", "--backup", P("old4.PNL")});
    ASSERT_EQ(write.code, 0) << write.err;
    EXPECT_NE(write.err.find("verified"), std::string::npos);
    const PanelImage written = ImageOf(p2, gamma);
    EXPECT_EQ(board_->Flash(0xFBC0, 64), Bytes(written.bytes, written.bytes + 64));
    EXPECT_EQ(board_->Flash(0xFA00, 256), Bytes(gamma.level, gamma.level + 256));
    // The reset is not answered: the board may take it in after the command ended.
    for (int i = 0; i < 200 && board_->ResetCount() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(board_->ResetCount(), 1u);

    // The backup is the old Panel 4 and writes back to exactly what was there.
    Result restore = OnBoard({"panel", "write", P("old4.PNL"), "4", "--verify", "--no-reset"});
    ASSERT_EQ(restore.code, 0) << restore.err;
    EXPECT_EQ(board_->Flash(0xFBC0, 64), factorySlot4);
    EXPECT_EQ(board_->ResetCount(), 1u) << "--no-reset sends no reset";

    // A mode file is no panel, although the editor would take its first 512 bytes.
    ModeTable modes{};
    SetModeTableDefaults(modes);
    ASSERT_TRUE(WriteModeFile(P("m.MOD"), modes));
    const std::size_t writes = WriteFrames();
    Result wrongKind = OnBoard({"panel", "write", P("m.MOD"), "1"});
    EXPECT_EQ(wrongKind.code, 1);
    EXPECT_NE(wrongKind.err.find("is a mode table file, not a panel file"), std::string::npos) << wrongKind.err;
    EXPECT_EQ(WriteFrames(), writes);

    // Without -o the panel is shown; --json gives its JSON form.
    Result shown = OnBoard({"panel", "read", "1"});
    EXPECT_NE(shown.out.find("\"LQ150X1DG11\""), std::string::npos);
    Result json = OnBoard({"--json", "panel", "read", "1"});
    EXPECT_EQ(nlohmann::json::parse(json.out)["displayName"], "LQ150X1DG11");
}

TEST_F(CliBoard, ModeTableReadWriteWithVerifyAndBackup) {
    ASSERT_EQ(OnBoard({"modes", "read", "-o", P("m.MOD")}).code, 0);
    const Bytes original = ReadBytes(P("m.MOD"));
    ModeTable t{};
    bool wrong = false;
    ASSERT_TRUE(ReadModeFile(P("m.MOD"), t, wrong));
    EXPECT_EQ(t.modeCount, 21);
    t.modeCount = 3;
    for (unsigned i = 3; i < 38; ++i) ClearModeEntry(t, static_cast<uint16_t>(i));
    t.entries[0].vStart = 40;
    ASSERT_TRUE(WriteModeFile(P("small.MOD"), t));

    Result write = OnBoard({"--quiet", "modes", "write", P("small.MOD"), "--verify", "--backup", P("old.MOD")});
    ASSERT_EQ(write.code, 0) << write.err;
    EXPECT_EQ(write.err, "") << "--quiet";
    ModeTableImage image{};
    ModeTableToImage(t, image);
    EXPECT_EQ(board_->Flash(0xF400, 768), Bytes(image.bytes, image.bytes + 768));
    EXPECT_EQ(ReadBytes(P("old.MOD")), original);

    Result table = OnBoard({"modes", "read"});
    EXPECT_NE(table.out.find("Mode table, 3 modes"), std::string::npos) << table.out;
}

TEST_F(CliBoard, VerifyNamesTheByteABoardStoredWrongly) {
    PanelRecord r = ValidPanel("TEST");
    ASSERT_TRUE(WritePanelFile(P("t.PNL"), r));
    // The board echoes the chunk at 0xFB40 correctly but keeps byte 5 inverted.
    board_->SetAnswerHook([this](const vantrel_board::Frame& f) -> std::optional<Bytes> {
        if (f.command == vantrel_board::kCmdWriteFlash && f.data.size() > 8 && f.data[0] == 0xFB && f.data[1] == 0x40)
            board_->SetFlash(0xFB45, {static_cast<uint8_t>(f.data[3 + 5] ^ 0xFF)});
        return std::nullopt;
    });
    Result plain = OnBoard({"panel", "write", P("t.PNL"), "2"});
    EXPECT_EQ(plain.code, 0) << "without --verify the fault goes unseen";
    Result verified = OnBoard({"panel", "write", P("t.PNL"), "2", "--verify"});
    EXPECT_EQ(verified.code, 1);
    EXPECT_NE(verified.err.find("verify failed: 1 byte differs"), std::string::npos) << verified.err;
    EXPECT_NE(verified.err.find("panel image byte 0x05 (flash 0xFB45): wrote 0x45, read back 0xBA"),
              std::string::npos)
        << verified.err;  // 'E' of "TEST" at image offset 4 + 1
    board_->SetAnswerHook(nullptr);

    // A differing echo is caught by the write itself.
    vantrel_board::Faults faults;
    faults.alterEchoFrame = board_->ExecutedFrameCount() + 2;
    board_->SetFaults(faults);
    Result echo = OnBoard({"panel", "write", P("t.PNL"), "2"});
    EXPECT_EQ(echo.code, 1);
    EXPECT_NE(echo.err.find("echoed different bytes"), std::string::npos) << echo.err;
}

TEST_F(CliBoard, AFailedBackupWritesNothing) {
    PanelRecord r = ValidPanel("A");
    ASSERT_TRUE(WritePanelFile(P("a.PNL"), r));
    const Bytes before = board_->Flash(0xFB00, 64);
    Result res = OnBoard({"panel", "write", P("a.PNL"), "1", "--backup", P("no/such/folder/old.PNL")});
    // Refused before the port is opened: the backup could not be made.
    EXPECT_EQ(res.code, 2);
    EXPECT_NE(res.err.find("cannot write the backup file: no such folder"), std::string::npos) << res.err;
    EXPECT_NE(res.err.find("nothing was sent or written"), std::string::npos) << res.err;
    EXPECT_EQ(WriteFrames(), 0u);
    EXPECT_EQ(board_->Flash(0xFB00, 64), before);

    // A board that does not answer: no backup, no write.
    ModeTable t{};
    SetModeTableDefaults(t);
    ASSERT_TRUE(WriteModeFile(P("m.MOD"), t));
    board_->ClearRecord();
    Result silent = OnBoard({"--address", "7", "modes", "write", P("m.MOD"), "--backup", P("old.MOD")});
    EXPECT_EQ(silent.code, 1);
    EXPECT_NE(silent.err.find("backup of the mode table failed; nothing was written"), std::string::npos);
    EXPECT_EQ(board_->ReceivedFrames().size(), 1u) << "one read request, then nothing";
    EXPECT_FALSE(fs::exists(P("old.MOD")));
}

TEST_F(CliBoard, InfoAndPortErrorsThatSayWhatToDo) {
    Result info = OnBoard({"--json", "info"});
    ASSERT_EQ(info.code, 0) << info.err;
    const auto j = nlohmann::json::parse(info.out);
    EXPECT_EQ(j["version"], nlohmann::json::array({2, 1}));
    EXPECT_EQ(j["currentPanel"], 1);
    EXPECT_EQ(j["panels"][1]["displayName"], "NL128102AC28-01");
    EXPECT_EQ(j["panels"][1]["manufacturerText"], "NEC");
    Result text = OnBoard({"info"});
    EXPECT_NE(text.out.find("Panel 3               \"LTM10C209\", TOSHIBA, 800 x 600"), std::string::npos) << text.out;

    Result missing = Cli({"--device", P("ttyUSB9"), "info"});
    EXPECT_EQ(missing.code, 1);
    EXPECT_NE(missing.err.find("does not exist"), std::string::npos) << missing.err;
    EXPECT_NE(missing.err.find("--device"), std::string::npos);

    // Another program holds the port.
    const int fd = ::open(board_->SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    Result busy = OnBoard({"info"});
    ::close(fd);
    EXPECT_EQ(busy.code, 1);
    EXPECT_NE(busy.err.find("busy"), std::string::npos) << busy.err;

    WriteText(P("plain.txt"), "not a terminal");
    Result notSerial = Cli({"--device", P("plain.txt"), "info"});
    EXPECT_EQ(notSerial.code, 1);
    EXPECT_NE(notSerial.err.find("not a serial device"), std::string::npos) << notSerial.err;

    Result silent = OnBoard({"--address", "9", "info"});
    EXPECT_EQ(silent.code, 1);
    EXPECT_NE(silent.err.find("no valid answer from the board at device address 9"), std::string::npos);
}
