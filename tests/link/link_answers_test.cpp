// What the commands take from the board's answers: short answers to reads,
// every byte of a write echo, the command codes and time-outs on the wire,
// and an answer that arrives while the request is still being written.
#include "link_fixture.h"

#include <cstring>

namespace linktest {
namespace {

class Answers : public LinkTest {
protected:
    void SetUp() override {
        LinkTest::SetUp();
        Open();
    }
};

TEST_F(Answers, ReadsFailOnAnswersShorterThanWhatTheyRead) {
    // A flash chunk answered with its header but no data: the buffer must not
    // get the previous chunk's bytes as this chunk's.
    uint8_t buffer[16];
    ASSERT_EQ(Vantrel_ReadFlash(0, 0xFB00, 16, buffer), 0);
    Bytes before(buffer, buffer + 16);
    board_->QueueRawAnswer(EncodeFrame(0, 8, {0xFB, 0x10, 16}));
    EXPECT_EQ(Vantrel_ReadFlash(0, 0xFB10, 16, buffer), -1);
    EXPECT_EQ(Bytes(buffer, buffer + 16), before);
    // One byte short in the second chunk of a block.
    uint8_t block[32];
    board_->SetAnswerHook([](const Frame& request) -> std::optional<Bytes> {
        if (request.data.size() < 2 || request.data[1] != 0x10) return std::nullopt;  // the chunk at 0xF410
        Bytes answer(request.data);
        answer.resize(3 + 15, 0x77);
        return EncodeFrame(0, 8, answer);
    });
    EXPECT_EQ(Vantrel_ReadFlash(0, 0xF400, 32, block), -1);
    board_->SetAnswerHook(nullptr);

    board_->QueueRawAnswer(EncodeFrame(0, 1, {0x00, 0x10, 0x12}));
    EXPECT_EQ(Vantrel_ReadRegister(0, 0x0010), -1);
    board_->QueueRawAnswer(EncodeFrame(0, 5, {0x00, 0x03}));
    EXPECT_EQ(Vantrel_ReadPort(0, 3), -1);
    board_->QueueRawAnswer(EncodeFrame(0, 3, {0xA0, 0x01, 0x10, 0x01}));
    EXPECT_EQ(Vantrel_ReadI2cByte(0, 0xA0, 0x01, 0x10), -1);
    board_->QueueRawAnswer(EncodeFrame(0, 12, {}));
    EXPECT_EQ(Vantrel_GetAdjColor(0), 0);
    board_->QueueRawAnswer(EncodeFrame(0, 14, {0x04}));
    EXPECT_EQ(Vantrel_ReadSwitch(0, 4), -1);
    AdjusterValues adj{7, 8, 9};
    board_->QueueRawAnswer(EncodeFrame(0, 10, {0, 0, 1, 0, 2}));
    EXPECT_EQ(Vantrel_ReadAdjuster(0, 0, &adj), -1);
    EXPECT_EQ(adj.value1, 7);
    board_->QueueRawAnswer(EncodeFrame(0, 10, {0, 0, 1, 0, 2, 0}));  // one byte short of seven
    EXPECT_EQ(Vantrel_ReadAdjuster(0, 0, &adj), -1);
    EXPECT_EQ(adj.value3, 9);
    uint8_t first = 0x11, second = 0x22;
    board_->QueueRawAnswer(EncodeFrame(0, 19, {3}));
    EXPECT_EQ(Vantrel_Version(0, &first, &second), -1);
    EXPECT_EQ(second, 0x22);
    PanelInfoRecord info{};
    board_->QueueRawAnswer(EncodeFrame(0, 17, Bytes(25, 0x41)));
    EXPECT_EQ(Vantrel_PanelInfo(0, 0, &info), -1);
    board_->QueueRawAnswer(EncodeFrame(0, 17, {}));
    EXPECT_EQ(Vantrel_PanelInfo(0, 0, nullptr), 0) << "nothing read, nothing missing";

    // Writes keep the echo rule: a short acknowledgement leaves the request's bytes.
    board_->QueueRawAnswer(EncodeFrame(0, 6, {}));
    EXPECT_EQ(Vantrel_WritePort(0, 3, 0x5A), 0x5A);
    board_->QueueRawAnswer(EncodeFrame(0, 24, {0x00, 0x40, 4}));
    EXPECT_EQ(Vantrel_WriteNvRam(0, 0x40, 4, Bytes{1, 2, 3, 4}.data()), 0);

    // And the link is in step afterwards.
    EXPECT_EQ(Vantrel_ReadRegister(0, 0), 0x5632);
}

TEST_F(Answers, EveryEchoedByteOfAWriteChunkIsCompared) {
    Bytes data = Pattern(20, 0x30);  // chunks of 16 and 4 bytes
    for (uint8_t index = 0; index < 16; ++index) {
        vantrel_board::Faults f;
        f.alterEchoFrame = NextFrame();
        f.alterEchoIndex = index;
        board_->SetFaults(f);
        EXPECT_EQ(Vantrel_WriteFlash(0, 0x7000, 20, data.data()), -2) << "byte " << int(index) << " of the first chunk";
    }
    for (uint8_t index = 0; index < 4; ++index) {
        vantrel_board::Faults f;
        f.alterEchoFrame = NextFrame() + 1;
        f.alterEchoIndex = index;
        board_->SetFaults(f);
        EXPECT_EQ(Vantrel_WriteNvRam(0, 0x0300, 20, data.data()), -2) << "byte " << int(index) << " of the last chunk";
    }
    board_->SetFaults({});
    EXPECT_EQ(Vantrel_WriteFlash(0, 0x7000, 20, data.data()), 0);
}

TEST_F(Answers, CommandCodesOnTheWire) {
    // Each export sends its own code; the board counts what it received.
    struct Case {
        uint8_t code;
        std::function<void()> call;
    };
    uint8_t b1, b2, buffer[16] = {};
    AdjusterValues adj;
    ModeInfoRecord mode;
    PanelInfoRecord info;
    const std::vector<Case> cases = {
        {1, [] { Vantrel_ReadRegister(0, 1); }},
        {2, [] { Vantrel_WriteRegister(0, 1, 2); }},
        {3, [] { Vantrel_ReadI2cByte(0, 1, 2, 3); }},
        {4, [] { Vantrel_WriteI2cByte(0, 1, 2, 3, 4); }},
        {5, [] { Vantrel_ReadPort(0, 1); }},
        {6, [] { Vantrel_WritePort(0, 1, 2); }},
        {7, [&] { Vantrel_WriteFlash(0, 0x7000, 1, buffer); }},
        {8, [&] { Vantrel_ReadFlash(0, 0x7000, 1, buffer); }},
        {10, [&] { Vantrel_ReadAdjuster(0, 1, &adj); }},
        {11, [] { Vantrel_SetAdjuster(0, 1, 2); }},
        {12, [] { Vantrel_GetAdjColor(0); }},
        {13, [] { Vantrel_SetAdjColor(0, 1); }},
        {14, [] { Vantrel_ReadSwitch(0, 1); }},
        {15, [] { Vantrel_SetSwitch(0, 1, 1); }},
        {16, [] { Vantrel_CurrentPanel(0); }},
        {17, [&] { Vantrel_PanelInfo(0, 1, &info); }},
        {18, [&] { Vantrel_ModeInfo(0, &mode); }},
        {19, [&] { Vantrel_Version(0, &b1, &b2); }},
        {20, [] { Vantrel_ShowString(0, 1, 2, 3, "x"); }},
        {21, [] { Vantrel_HideString(0); }},
        {22, [] { Vantrel_CallAction(0, 1); }},
        {23, [&] { Vantrel_ReadNvRam(0, 0, 1, buffer); }},
        {24, [&] { Vantrel_WriteNvRam(0, 0, 1, buffer); }},
        {28, [] { Vantrel_DebugFlags(0, 1); }},
    };
    for (const Case& c : cases) {
        auto before = board_->CommandCounts();
        c.call();
        auto after = board_->CommandCounts();
        for (int code = 0; code < 256; ++code)
            EXPECT_EQ(after[code] - before[code], code == c.code ? 1u : 0u)
                << "the export for command " << int(c.code) << ", code " << code;
    }
    // And the colour read takes its answer: the colour set before.
    ASSERT_EQ(Vantrel_SetAdjColor(0, 2), 0);
    EXPECT_EQ(Vantrel_GetAdjColor(0), 2);
}

TEST_F(Answers, WriteChunksWaitASecondAndReadChunksHalfASecond) {
    Bytes data = Pattern(16, 0x50);
    vantrel_board::Faults f;
    f.delayFrame = NextFrame();
    f.delayMs = 750;
    board_->SetFaults(f);
    auto t0 = Clock::now();
    EXPECT_EQ(Vantrel_WriteFlash(0, 0x7100, 16, data.data()), 0) << "a write chunk waits up to 1000 ms";
    EXPECT_GE(MsSince(t0), 700.0);

    // A read chunk gives up after 500 ms.
    uint8_t buffer[16];
    f.delayFrame = NextFrame();
    board_->SetFaults(f);
    EXPECT_EQ(Vantrel_ReadFlash(0, 0x7100, 16, buffer), -1);
    // Past a second the write chunk fails too.
    board_->WaitUntilSent(2s);
    std::this_thread::sleep_for(50ms);  // the late answer is taken in before the next request
    f.delayFrame = NextFrame();
    f.delayMs = 1300;
    board_->SetFaults(f);
    t0 = Clock::now();
    EXPECT_EQ(Vantrel_WriteFlash(0, 0x7100, 16, data.data()), -1);
    double ms = MsSince(t0);
    EXPECT_GE(ms, 980.0);
    EXPECT_LT(ms, 1250.0);
}

TEST_F(Answers, AnAnswerThatArrivesWhileTheRequestIsWrittenCounts) {
    // The board stops reading; the host fills the terminal's buffer, so that
    // its next request waits in the write. The answer comes back during that
    // wait, before the write call returns.
    board_->HoldReading(1800ms);
    Bytes noise(65535, 0x00);
    for (int i = 0; i < 4; ++i) {
        auto t0 = Clock::now();
        SerialSendBuffer(noise.data(), static_cast<uint32_t>(noise.size()));
        if (MsSince(t0) > 500) break;  // the write waited: the buffer is full
    }
    vantrel_board::Faults f;
    f.dropAnswerFrame = NextFrame();  // the board's own answer never comes
    board_->SetFaults(f);
    std::thread early([this] {
        std::this_thread::sleep_for(150ms);
        board_->SendRaw(EncodeFrame(0, 1, {0x00, 0x00, 0x56, 0x32}));
    });
    EXPECT_EQ(Vantrel_ReadRegister(0, 0), 0x5632) << "the answer was lost: completion cleared after the write";
    early.join();
    board_->SetFaults({});
    EXPECT_EQ(Vantrel_ReadRegister(0, 0), 0x5632);
}

}  // namespace
}  // namespace linktest
