// The command exports against the emulated board: block transfers in chunks
// with their progress reports, echo checks, the panel and mode blocks, and
// the single-transaction commands.
#include "link_fixture.h"

#include <cstring>
#include <string>

namespace linktest {
namespace {

class Commands : public LinkTest {
protected:
    void SetUp() override {
        LinkTest::SetUp();
        Open();
        Vantrel_SetProgressCallback(RecordProgress);
    }

    // (address, count) of each flash or NVRAM chunk request the board received.
    std::vector<std::pair<uint16_t, uint8_t>> Chunks(uint8_t command) {
        std::vector<std::pair<uint16_t, uint8_t>> out;
        for (const Frame& f : board_->ReceivedFrames())
            if (f.command == command && f.data.size() >= 3)
                out.emplace_back(static_cast<uint16_t>(f.data[0] << 8 | f.data[1]), f.data[2]);
        return out;
    }
};

TEST_F(Commands, FlashWritesInChunksWithProgress) {
    for (unsigned count : {16u, 17u, 64u, 256u, 768u}) {
        SCOPED_TRACE(count);
        board_->ClearRecord();
        Progress().clear();
        Bytes data = Pattern(count, static_cast<uint8_t>(count));
        ASSERT_EQ(Vantrel_WriteFlash(0, 0x8000, count, data.data()), 0);
        EXPECT_EQ(board_->Flash(0x8000, count), data);
        EXPECT_EQ(Progress(), ExpectedProgress(count));
        auto chunks = Chunks(7);
        ASSERT_EQ(chunks.size(), (count + 15) / 16);
        for (std::size_t i = 0; i < chunks.size(); ++i) {
            EXPECT_EQ(chunks[i].first, 0x8000 + 16 * i);
            EXPECT_EQ(chunks[i].second, std::min<unsigned>(16, count - 16 * i));
        }
        EXPECT_EQ(board_->ReceivedFrames().back().data.size(), chunks.back().second + 3u);

        Progress().clear();
        Bytes back(count);
        ASSERT_EQ(Vantrel_ReadFlash(0, 0x8000, count, back.data()), 0);
        EXPECT_EQ(back, data);
        EXPECT_EQ(Progress(), ExpectedProgress(count));
    }
    // Count 0 sends nothing and reports nothing.
    board_->ClearRecord();
    Progress().clear();
    EXPECT_EQ(Vantrel_WriteFlash(0, 0x8000, 0, nullptr), 0);
    EXPECT_EQ(Vantrel_ReadFlash(0, 0x8000, 0, nullptr), 0);
    EXPECT_TRUE(Progress().empty());
    std::this_thread::sleep_for(20ms);
    EXPECT_TRUE(board_->ReceivedBytes().empty());
}

TEST_F(Commands, DifferingEchoStopsTheTransferWithMinus2) {
    Bytes data = Pattern(64, 0x40);
    vantrel_board::Faults f;
    f.alterEchoFrame = NextFrame() + 1;  // the second chunk
    board_->SetFaults(f);
    EXPECT_EQ(Vantrel_WriteFlash(0, 0x9000, 64, data.data()), -2);
    EXPECT_EQ(Chunks(7).size(), 2u) << "no chunk after the differing one";
    EXPECT_EQ(Progress(), (std::vector<std::pair<uint16_t, uint16_t>>{{64, 16}}));

    // NVRAM writes compare their echo the same way.
    board_->ClearRecord();
    Progress().clear();
    f.alterEchoFrame = NextFrame();
    board_->SetFaults(f);
    EXPECT_EQ(Vantrel_WriteNvRam(0, 0x0100, 40, data.data()), -2);
    EXPECT_EQ(Chunks(24).size(), 1u);
    EXPECT_TRUE(Progress().empty());

    // A failed chunk stops the transfer with -1; the chunks before it stay written.
    board_->ClearRecord();
    f = {};
    f.badChecksumFrame = NextFrame() + 2;
    board_->SetFaults(f);
    Bytes gamma = Pattern(256, 0x11);
    EXPECT_EQ(Vantrel_WritePanelGamma(0, 2, gamma.data()), -1);
    EXPECT_EQ(Chunks(7).size(), 3u);
    EXPECT_EQ(board_->Flash(0xF900, 32), Bytes(gamma.begin(), gamma.begin() + 32));
}

TEST_F(Commands, ChunkAddressesWrapAt16Bits) {
    uint8_t buffer[32];
    ASSERT_EQ(Vantrel_ReadFlash(0, 0x1FFF0, 32, buffer), 0);
    auto chunks = Chunks(8);
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_EQ(chunks[0].first, 0xFFF0);
    EXPECT_EQ(chunks[1].first, 0x0000);
    Bytes expected = board_->Flash(0xFFF0, 32);
    EXPECT_EQ(Bytes(buffer, buffer + 32), expected);
}

TEST_F(Commands, NvRamBlocks) {
    Bytes data = Pattern(100, 0x21);
    ASSERT_EQ(Vantrel_WriteNvRam(0, 0x0200, 100, data.data()), 0);
    EXPECT_EQ(board_->NvRam(0x0200, 100), data);
    Bytes back(100);
    ASSERT_EQ(Vantrel_ReadNvRam(0, 0x0200, 100, back.data()), 0);
    EXPECT_EQ(back, data);
    EXPECT_EQ(Chunks(24).size(), 7u);
    EXPECT_EQ(Chunks(23).size(), 7u);
}

TEST_F(Commands, I2cBlocksWrapTheSubaddress) {
    Bytes device(256);
    for (int i = 0; i < 256; ++i) device[i] = static_cast<uint8_t>(255 - i);
    for (int i = 0; i < 256; ++i) board_->SetI2cByte(0xA0, 0x02, static_cast<uint8_t>(i), device[i]);

    Bytes buffer(40);
    ASSERT_EQ(Vantrel_ReadI2c(0, 0xA0, 0x02, 0xF0, 40, buffer.data()), 0);
    std::vector<std::pair<uint8_t, uint8_t>> chunks;
    for (const Frame& f : board_->ReceivedFrames()) {
        ASSERT_EQ(f.command, 3);
        ASSERT_EQ(f.data.size(), 4u);
        EXPECT_EQ(f.data[0], 0xA0);
        EXPECT_EQ(f.data[1], 0x02);
        chunks.emplace_back(f.data[2], f.data[3]);
    }
    EXPECT_EQ(chunks, (std::vector<std::pair<uint8_t, uint8_t>>{{0xF0, 16}, {0x00, 16}, {0x10, 8}}));
    for (int i = 0; i < 40; ++i) EXPECT_EQ(buffer[i], device[(0xF0 + i) & 0xFF]) << i;
    EXPECT_EQ(Progress(), (std::vector<std::pair<uint16_t, uint16_t>>{{40, 16}, {40, 32}}));

    board_->ClearRecord();
    Progress().clear();
    Bytes data = Pattern(20, 0x70);
    ASSERT_EQ(Vantrel_WriteI2c(0, 0x50, 0x00, 0xF8, 20, data.data()), 0);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(board_->I2cByte(0x50, 0, static_cast<uint8_t>(0xF8 + i)), data[i]);
    auto frames = board_->ReceivedFrames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].data.size(), 20u);
    EXPECT_EQ(frames[1].data[2], 0x08);
    EXPECT_EQ(frames[1].data.size(), 8u);

    // Count 256 is 0 in eight bits: nothing moves.
    board_->ClearRecord();
    Progress().clear();
    EXPECT_EQ(Vantrel_ReadI2c(0, 0xA0, 0x02, 0, 256, buffer.data()), 0);
    EXPECT_EQ(Vantrel_WriteI2c(0, 0xA0, 0x02, 0, 256, data.data()), 0);
    std::this_thread::sleep_for(20ms);
    EXPECT_TRUE(board_->ReceivedBytes().empty());
    EXPECT_TRUE(Progress().empty());
}

TEST_F(Commands, PanelAndModeBlocksAtTheirFlashAddresses) {
    uint8_t image[64];
    ASSERT_EQ(Vantrel_GetPanelData(0, 1, image), 0);
    EXPECT_EQ(Bytes(image, image + 64), board_->Flash(0xFB40, 64));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(image) + 4, 15), "NL128102AC28-01");

    board_->ClearRecord();
    Progress().clear();
    Bytes panel = Pattern(64, 0x33);
    ASSERT_EQ(Vantrel_WritePanelData(0, 2, panel.data()), 0);
    auto chunks = Chunks(7);
    EXPECT_EQ(chunks,
              (std::vector<std::pair<uint16_t, uint8_t>>{{0xFB80, 16}, {0xFB90, 16}, {0xFBA0, 16}, {0xFBB0, 16}}));
    EXPECT_EQ(Progress(), ExpectedProgress(64));
    EXPECT_EQ(board_->Flash(0xFB80, 64), panel);

    board_->ClearRecord();
    Progress().clear();
    uint8_t gamma[256];
    ASSERT_EQ(Vantrel_GetPanelGamma(0, 3, gamma), 0);
    chunks = Chunks(8);
    ASSERT_EQ(chunks.size(), 16u);
    EXPECT_EQ(chunks.front().first, 0xFA00);
    EXPECT_EQ(chunks.back().first, 0xFAF0);
    EXPECT_EQ(Progress(), ExpectedProgress(256));

    Bytes table = Pattern(768, 0x05);
    ASSERT_EQ(Vantrel_WriteModeTable(0, table.data()), 0);
    EXPECT_EQ(board_->Flash(0xF400, 768), table);
    board_->ClearRecord();
    Progress().clear();
    Bytes back(768);
    ASSERT_EQ(Vantrel_GetModeTable(0, back.data()), 0);
    EXPECT_EQ(back, table);
    chunks = Chunks(8);
    ASSERT_EQ(chunks.size(), 48u);
    EXPECT_EQ(chunks.front().first, 0xF400);
    EXPECT_EQ(chunks.back().first, 0xF6F0);
    EXPECT_EQ(Progress().size(), 47u);
    EXPECT_EQ(Progress().back(), (std::pair<uint16_t, uint16_t>{768, 752}));
}

TEST_F(Commands, SlotsOutsideTheBoardSendNothing) {
    uint8_t buf[256] = {};
    PanelInfoRecord info{};
    for (int slot : {-1, 4}) {
        EXPECT_EQ(Vantrel_GetPanelData(0, slot, buf), -1);
        EXPECT_EQ(Vantrel_WritePanelData(0, slot, buf), -1);
        EXPECT_EQ(Vantrel_GetPanelGamma(0, slot, buf), -1);
        EXPECT_EQ(Vantrel_WritePanelGamma(0, slot, buf), -1);
        EXPECT_EQ(Vantrel_PanelInfo(0, slot, &info), -1);
    }
    std::this_thread::sleep_for(20ms);
    EXPECT_TRUE(board_->ReceivedBytes().empty());
    EXPECT_TRUE(Progress().empty());
}

TEST_F(Commands, ShowStringSendsAtMost25Characters) {
    const char* text = "ABCDEFGHIJKLMNOPQRSTUVWXYZ1234";  // 30 characters
    ASSERT_EQ(Vantrel_ShowString(0, 0x101, 2, 3, text), 0);
    Frame f = Frames(1).back();
    EXPECT_EQ(f.command, 20);
    ASSERT_EQ(f.data.size(), 30u);
    EXPECT_EQ(f.data[0], 3);
    EXPECT_EQ(f.data[1], 1);
    EXPECT_EQ(f.data[2], 2);
    EXPECT_EQ(f.data[3], 25);
    EXPECT_EQ(std::string(f.data.begin() + 5, f.data.end()), std::string(text, 25));
    EXPECT_EQ(board_->Osd().text, std::string(text, 25));

    board_->ClearRecord();
    ASSERT_EQ(Vantrel_ShowString(0, 1, 2, 3, ""), 0);
    f = Frames(1).back();
    ASSERT_EQ(f.data.size(), 5u);
    EXPECT_EQ(f.data[3], 0);
    EXPECT_TRUE(board_->Osd().visible);
    EXPECT_EQ(board_->Osd().text, "");

    ASSERT_EQ(Vantrel_HideString(0), 0);
    EXPECT_FALSE(board_->Osd().visible);
}

TEST_F(Commands, SingleTransactionCommands) {
    uint8_t first = 0, second = 0;
    board_->SetVersion(4, 2);
    ASSERT_EQ(Vantrel_Version(0, &first, &second), 0);
    EXPECT_EQ(first, 4);
    EXPECT_EQ(second, 2);

    EXPECT_EQ(Vantrel_WriteRegister(0, 0x0100, 0xFEDC), 0xFEDC);
    EXPECT_EQ(board_->Register(0x0100), 0xFEDC);
    EXPECT_EQ(Vantrel_ReadRegister(0, 0x0100), 0xFEDC);

    EXPECT_EQ(Vantrel_WritePort(0, 0x105, 0x1A7), 0xA7);
    EXPECT_EQ(board_->Port(5), 0xA7);
    EXPECT_EQ(Vantrel_ReadPort(0, 5), 0xA7);

    EXPECT_EQ(Vantrel_WriteI2cByte(0, 0xA0, 1, 0x10, 0x5E), 0x5E);
    EXPECT_EQ(Vantrel_ReadI2cByte(0, 0xA0, 1, 0x10), 0x5E);
    EXPECT_EQ(Vantrel_ReadI2cByte(0, 0xA0, 1, 0x11), 0);

    AdjusterValues adj{};
    ASSERT_EQ(Vantrel_SetAdjuster(0, 0, 77), 0);
    ASSERT_EQ(Vantrel_ReadAdjuster(0, 0, &adj), 0);
    EXPECT_EQ(int(adj.value1), 77);
    EXPECT_EQ(int(adj.value2), 0);
    EXPECT_EQ(int(adj.value3), 100);
    ASSERT_EQ(Vantrel_ReadAdjuster(0, 3, &adj), 0);
    EXPECT_EQ(int(adj.value1), 1344);
    EXPECT_EQ(int(adj.value3), 4095);

    ASSERT_EQ(Vantrel_SetAdjColor(0, 6), 0);
    EXPECT_EQ(Frames().back().data, Bytes{2});
    EXPECT_EQ(Vantrel_GetAdjColor(0), 2);

    ASSERT_EQ(Vantrel_SetSwitch(0, 4, 5), 0);
    EXPECT_EQ(Frames().back().data, (Bytes{4, 1}));
    EXPECT_EQ(Vantrel_ReadSwitch(0, 4), 1);
    ASSERT_EQ(Vantrel_SetSwitch(0, 4, 0), 0);
    EXPECT_EQ(Vantrel_ReadSwitch(0, 4), 0);

    board_->SetCurrentPanel(3);
    EXPECT_EQ(Vantrel_CurrentPanel(0), 3);

    ASSERT_EQ(Vantrel_CallAction(0, 9), 0);
    EXPECT_EQ(board_->Actions(), Bytes{9});
    ASSERT_EQ(Vantrel_DebugFlags(0, 0x1FF), 0);
    EXPECT_EQ(board_->DebugFlags(), 0xFF);

    ModeInfoRecord mode{};
    ASSERT_EQ(Vantrel_ModeInfo(0, &mode), 0);
    EXPECT_EQ(Frames().back().data.size(), 10u);
    EXPECT_EQ(int(mode.word1), 484);
    EXPECT_EQ(int(mode.word2), 600);
    EXPECT_EQ(int(mode.word3), 1024);
    EXPECT_EQ(int(mode.word4), 768);
    EXPECT_EQ(int(mode.byte1), 11);
    EXPECT_EQ(int(mode.byte2), 0x30);
    EXPECT_EQ(Vantrel_ModeInfo(0, nullptr), 0);
}

TEST_F(Commands, PanelInfoCopiesTheName) {
    PanelInfoRecord info;
    std::memset(&info, 0xEE, sizeof info);
    ASSERT_EQ(Vantrel_PanelInfo(0, 1, &info), 0);
    EXPECT_EQ(Frames().back().data, Bytes{1});
    EXPECT_EQ(std::string(info.name, 16), std::string("NL128102AC28-01\0", 16));
    EXPECT_EQ(int(info.byte1), 2);
    EXPECT_EQ(int(info.word1), 1280);
    EXPECT_EQ(int(info.word2), 1024);
    EXPECT_EQ(int(info.word3), 13500);
    EXPECT_EQ(int(info.byte2), 8);
    EXPECT_EQ(int(info.byte3), 0x1F);

    // A 16-character name fills the field; a short one is zero-padded even when
    // the board sends other bytes after its terminator.
    Bytes answer(26, 0);
    std::memcpy(answer.data() + 1, "ABCDEFGHIJKLMNOP", 16);
    board_->QueueRawAnswer(EncodeFrame(0, 17, answer));
    ASSERT_EQ(Vantrel_PanelInfo(0, 0, &info), 0);
    EXPECT_EQ(std::string(info.name, 16), "ABCDEFGHIJKLMNOP");
    std::memcpy(answer.data() + 1, "ABCDE\0XYZ", 9);
    board_->QueueRawAnswer(EncodeFrame(0, 17, answer));
    ASSERT_EQ(Vantrel_PanelInfo(0, 0, &info), 0);
    EXPECT_EQ(std::string(info.name, 16), std::string("ABCDE\0\0\0\0\0\0\0\0\0\0\0", 16));

    EXPECT_EQ(Vantrel_PanelInfo(0, 2, nullptr), 0);
    EXPECT_EQ(Frames().back().command, 17);
}

TEST_F(Commands, BroadcastIsCarriedOutWithoutAnAnswer) {
    EXPECT_EQ(Vantrel_WriteRegister(255, 0x0200, 0x0BAD), -1);
    EXPECT_EQ(board_->Register(0x0200), 0x0BAD);
    EXPECT_EQ(Vantrel_ReadRegister(0, 0x0200), 0x0BAD);
}

}  // namespace
}  // namespace linktest
