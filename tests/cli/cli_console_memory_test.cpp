// flash and nvram through the program against the emulated board on a real
// pseudo-terminal: dump and restore of only the chunks that differ, the
// safety rules of the commands that change the board, and SHA-256.
#include "board_fixture.h"

#include "console/console_common.h"

using namespace clitest;
namespace vb = vantrel_board;

namespace {

class ConsoleMemory : public EmulatedBoardTest {
protected:
    std::vector<uint32_t> WriteAddresses(uint8_t command) const {
        std::vector<uint32_t> out;
        for (const auto& f : board_->ReceivedFrames())
            if (f.command == command) out.push_back(uint32_t(f.data[0]) << 8 | f.data[1]);
        return out;
    }
};

TEST(ConsoleSha, KnownDigests) {
    const std::string abc = "abc";
    EXPECT_EQ(cli::Sha256Hex(reinterpret_cast<const uint8_t*>(abc.data()), abc.size()),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(cli::Sha256Hex(nullptr, 0), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

TEST_F(ConsoleMemory, RestoreWritesOnlyTheChunksThatDiffer) {
    Result dump = OnBoard({"flash", "dump", "-o", P("f.bin")});
    ASSERT_EQ(dump.code, 0) << dump.err;
    const Bytes image = ReadBytes(P("f.bin"));
    ASSERT_EQ(image, board_->Flash(0, 0x10000));
    EXPECT_EQ(dump.out, cli::Sha256Hex(image.data(), image.size()) + "  " + P("f.bin") + "\n");

    // An unchanged board: not one write frame, and no --yes needed.
    board_->ClearRecord();
    Result same = OnBoard({"flash", "restore", P("f.bin")});
    EXPECT_EQ(same.code, 0) << same.err;
    EXPECT_EQ(FramesOf(vb::kCmdWriteFlash), 0u);

    // Panel 2 changed on the board: its area needs --force, then only its four chunks are written.
    Bytes other(64, 0x5A);
    board_->SetFlash(0xFB40, other);
    board_->ClearRecord();
    Result refused = OnBoard({"flash", "restore", P("f.bin"), "--yes"});
    EXPECT_EQ(refused.code, 2);
    EXPECT_NE(refused.err.find("Panel 2 image"), std::string::npos) << refused.err;
    EXPECT_EQ(FramesOf(vb::kCmdWriteFlash), 0u);
    Result noYes = OnBoard({"flash", "restore", P("f.bin"), "--force"});
    EXPECT_EQ(noYes.code, 2);
    EXPECT_EQ(FramesOf(vb::kCmdWriteFlash), 0u);

    board_->ClearRecord();
    Result restore = OnBoard({"flash", "restore", P("f.bin"), "--force", "--yes", "--verify", "--backup", P("bk.bin")});
    EXPECT_EQ(restore.code, 0) << restore.err;
    EXPECT_EQ(WriteAddresses(vb::kCmdWriteFlash), (std::vector<uint32_t>{0xFB40, 0xFB50, 0xFB60, 0xFB70}));
    EXPECT_EQ(board_->Flash(0, 0x10000), image);
    Bytes backup = ReadBytes(P("bk.bin"));
    ASSERT_EQ(backup.size(), 0x10000u);
    EXPECT_EQ(Bytes(backup.begin() + 0xFB40, backup.begin() + 0xFB80), other) << "the backup holds what was replaced";
}

TEST_F(ConsoleMemory, WritesNeedConsentAndABackupThatWorks) {
    const Bytes data = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20};
    WriteBytes(P("d.bin"), data);
    const std::vector<std::vector<std::string>> refused = {
        {"flash", "write", "0x100", P("d.bin")},            // no --yes
        {"flash", "write", "0xF6F0", P("d.bin"), "--yes"},  // over the mode table
        {"flash", "write", "0xFFF0", P("d.bin"), "--yes"},  // past the end
        {"nvram", "write", "0", P("d.bin")},                // no --yes
        {"flash", "erase", "0xFF"},
        {"--address", "255", "flash", "write", "0x100", P("d.bin"), "--yes"},
        {"--address", "255", "nvram", "dump", "-o", P("n.bin")},
    };
    for (const auto& args : refused) {
        SCOPED_TRACE(args[1] + " " + args[2]);
        EXPECT_EQ(OnBoard(args).code, 2);
    }
    EXPECT_EQ(FramesOf(vb::kCmdWriteFlash) + FramesOf(vb::kCmdWriteNvRam), 0u);

    // A backup that cannot be saved stops the write.
    Result badBackup = OnBoard({"flash", "write", "0x100", P("d.bin"), "--yes", "--backup", P("no/such/dir/b.bin")});
    EXPECT_EQ(badBackup.code, 2);
    EXPECT_NE(badBackup.err.find("nothing was sent or written"), std::string::npos) << badBackup.err;
    EXPECT_EQ(FramesOf(vb::kCmdWriteFlash), 0u);

    // The erase asks like the others but the board has no such command: nothing is sent.
    board_->ClearRecord();
    EXPECT_EQ(OnBoard({"flash", "erase", "0xFF", "--yes"}).code, 1);
    EXPECT_TRUE(board_->ReceivedFrames().empty());

    Result ok = OnBoard({"flash", "write", "0x100", P("d.bin"), "--yes", "--verify"});
    EXPECT_EQ(ok.code, 0) << ok.err;
    EXPECT_EQ(board_->Flash(0x100, data.size()), data);
    EXPECT_EQ(ok.out, cli::Sha256Hex(data.data(), data.size()) + "  " + P("d.bin") + "\n");
}

TEST_F(ConsoleMemory, NamesTheBytesABoardStoredOrEchoedWrongly) {
    WriteBytes(P("d.bin"), Bytes(32, 0x11));
    // The board echoes the second chunk right but keeps its byte 3 inverted.
    board_->SetAnswerHook([this](const vb::Frame& f) -> std::optional<Bytes> {
        if (f.command == vb::kCmdWriteNvRam && f.data[0] == 0x01 && f.data[1] == 0x10) board_->SetNvRam(0x113, {0xEE});
        return std::nullopt;
    });
    Result r = OnBoard({"nvram", "write", "0x100", P("d.bin"), "--yes", "--verify"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("NVRAM 0x0113: wrote 0x11, read back 0xEE"), std::string::npos) << r.err;
    board_->SetAnswerHook(nullptr);

    // A differing echo stops the write at that chunk.
    vb::Faults faults;
    faults.alterEchoFrame = board_->ExecutedFrameCount() + 2;  // the size register, then the first chunk
    board_->SetFaults(faults);
    board_->ClearRecord();
    r = OnBoard({"nvram", "write", "0x200", P("d.bin"), "--yes"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("writing NVRAM at 0x0200: the board echoed different bytes"), std::string::npos) << r.err;
    EXPECT_EQ(FramesOf(vb::kCmdWriteNvRam), 1u);
}

TEST_F(ConsoleMemory, NvRamSizeFromTheBoardOrGiven) {
    Result dump = OnBoard({"nvram", "dump", "-o", P("n.bin")});
    ASSERT_EQ(dump.code, 0) << dump.err;
    Bytes image = ReadBytes(P("n.bin"));
    EXPECT_EQ(image.size(), vb::kNvRamSize);

    // One byte changed in the file: one chunk restored, nothing else.
    image[0x1234] ^= 0xFF;
    WriteBytes(P("n.bin"), image);
    board_->ClearRecord();
    Result restore = OnBoard({"nvram", "restore", P("n.bin"), "--yes"});
    EXPECT_EQ(restore.code, 0) << restore.err;
    EXPECT_EQ(WriteAddresses(vb::kCmdWriteNvRam), (std::vector<uint32_t>{0x1230}));
    EXPECT_EQ(board_->NvRam(0, vb::kNvRamSize), image);

    // A file of another size than the board's NVRAM is refused.
    WriteBytes(P("short.bin"), Bytes(100, 0));
    EXPECT_EQ(OnBoard({"nvram", "restore", P("short.bin"), "--yes"}).code, 2);

    // A board that does not give its size needs --size.
    board_->SetRegister(vb::kNvRamSizeRegister, 0);
    EXPECT_EQ(OnBoard({"nvram", "dump", "-o", P("m.bin")}).code, 2);
    ASSERT_EQ(OnBoard({"nvram", "dump", "--size", "0x100", "-o", P("m.bin")}).code, 0);
    EXPECT_EQ(ReadBytes(P("m.bin")), board_->NvRam(0, 0x100));
}

}  // namespace
