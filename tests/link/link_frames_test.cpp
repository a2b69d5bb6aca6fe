// Frames on the wire and the transaction rule, through the real pseudo-terminal.
#include "link_fixture.h"

namespace linktest {
namespace {

class Frames : public LinkTest {};

TEST_F(Frames, RequestsAreByteExact) {
    Open();
    EXPECT_EQ(Vantrel_Reset(0), 1);
    ASSERT_TRUE(board_->WaitForFrames(1, 1000ms));
    EXPECT_EQ(board_->ReceivedBytes(), (Bytes{0xBB, 0x00, 0x00, 0x00, 0x00}));

    board_->ClearRecord();
    board_->SetRegister(0x0010, 0x4321);
    EXPECT_EQ(Vantrel_ReadRegister(0, 0x0010), 0x4321);
    EXPECT_EQ(board_->ReceivedBytes(), (Bytes{0xBB, 0x00, 0x01, 0x04, 0x00, 0x10, 0x00, 0x00, 0x15}));

    // Arguments wider than their field are cut to their low bits.
    board_->ClearRecord();
    EXPECT_EQ(Vantrel_WriteRegister(0x300, 0x10010, 0x51234), 0x1234);
    EXPECT_EQ(board_->ReceivedBytes(), (Bytes{0xBB, 0x00, 0x02, 0x04, 0x00, 0x10, 0x12, 0x34, 0x5C}));
}

TEST_F(Frames, ChecksumWrapsModulo256) {
    vantrel_board::Options o = Unpaced();
    o.answerBroadcast = true;
    StartBoard(o);
    Open();
    EXPECT_EQ(Vantrel_WriteRegister(0xFF, 0x0010, 0x1234), 0x1234);
    EXPECT_EQ(board_->ReceivedBytes(), (Bytes{0xBB, 0xFF, 0x02, 0x04, 0x00, 0x10, 0x12, 0x34, 0x5B}));
}

TEST_F(Frames, ShortAnswersLeaveTheRequestBytesInPlace) {
    Open();
    // A length-0 answer completes the transaction; positions 2-3 still hold the request's value.
    board_->QueueRawAnswer(EncodeFrame(0, 2, {}));
    EXPECT_EQ(Vantrel_WriteRegister(0, 0x0020, 0xABCD), 0xABCD);
    // So does a write echo without data: the comparison sees the data sent.
    board_->QueueRawAnswer(EncodeFrame(0, 7, {}));
    EXPECT_EQ(Vantrel_WriteFlash(0, 0x1000, 4, Bytes{1, 2, 3, 4}.data()), 0);
    EXPECT_EQ(board_->Flash(0x1000, 4), (Bytes{1, 2, 3, 4}));
}

TEST_F(Frames, WrongChecksumFailsAtOnceAndRightChecksumDecidesWhateverItsHeader) {
    Open();
    board_->SetRegister(0x0030, 0x0102);
    Bytes bad = EncodeFrame(0, 1, {0x00, 0x30, 0x01, 0x02});
    bad.back() ^= 0x40;
    board_->QueueRawAnswer(bad);
    auto t0 = Clock::now();
    EXPECT_EQ(Vantrel_ReadRegister(0, 0x0030), -1);
    EXPECT_LT(MsSince(t0), 250.0) << "failed on the checksum byte, not after the 500 ms time-out";

    board_->QueueRawAnswer(EncodeFrame(0x55, 0x77, {0x00, 0x00, 0x12, 0x34}));
    EXPECT_EQ(Vantrel_ReadRegister(0, 0x0030), 0x1234);

    // The board's own fault switch gives the same result.
    vantrel_board::Faults f;
    f.badChecksumFrame = NextFrame();
    board_->SetFaults(f);
    t0 = Clock::now();
    EXPECT_EQ(Vantrel_ReadPort(0, 3), -1);
    EXPECT_LT(MsSince(t0), 250.0);
    EXPECT_EQ(Vantrel_ReadRegister(0, 0x0030), 0x0102);
}

TEST_F(Frames, StartByteInsideAFrameIsData) {
    Open();
    board_->SetRegister(0x00BB, 0xBBBB);
    EXPECT_EQ(Vantrel_ReadRegister(0, 0x00BB), 0xBBBB);
    // 0xBB also as the checksum: pick the address byte that makes the sum 0xBB.
    Bytes data{0x00, 0xBB, 0xBB, 0x01};
    uint8_t address = static_cast<uint8_t>(0xBB - vantrel_board::FrameChecksum(0, 1, data));
    Bytes answer = EncodeFrame(address, 1, data);
    ASSERT_EQ(answer.back(), 0xBB);
    board_->QueueRawAnswer(answer);
    EXPECT_EQ(Vantrel_ReadRegister(0, 0x00BB), 0xBB01);
    EXPECT_EQ(Vantrel_ReadRegister(0, 0x00BB), 0xBBBB) << "the parser is back in step";
}

TEST_F(Frames, OversizeAnswerFailsWithoutOverrunningTheBuffer) {
    Open();
    Vantrel_SetProgressCallback(RecordProgress);
    SetSerialReceiveHandler(RecordByte);
    board_->SetRegister(0x0050, 0x5050);

    vantrel_board::Faults f;
    f.oversizeFrame = NextFrame();
    f.oversizeLength = 40;
    board_->SetFaults(f);
    EXPECT_EQ(Vantrel_ReadRegister(0, 0x0050), -1);

    // The longest length byte, with a right checksum over all 255 data bytes.
    board_->QueueRawAnswer(EncodeFrame(0, 8, Bytes(255, 0x99)));
    uint8_t buffer[20] = {};
    EXPECT_EQ(Vantrel_ReadFlash(0, 0x2000, 16, buffer), -1);

    // The parser is back in step, and the state beside the buffer is intact.
    EXPECT_EQ(Vantrel_ReadRegister(0, 0x0050), 0x5050);
    Bytes data = Pattern(64, 3);
    EXPECT_EQ(Vantrel_WriteFlash(0, 0x2000, 64, data.data()), 0);
    EXPECT_EQ(Progress(), ExpectedProgress(64));
    EXPECT_EQ(Vantrel_ReadFlash(0, 0x2000, 16, buffer), 0);
    EXPECT_EQ(Bytes(buffer, buffer + 16), Bytes(data.begin(), data.begin() + 16));
    EXPECT_TRUE(HandledBytes().empty()) << "the excess bytes are no noise";
}

TEST_F(Frames, NoAnswerTimesOut) {
    Open();
    vantrel_board::Faults f;
    f.dropAnswerFrame = NextFrame();
    board_->SetFaults(f);
    auto t0 = Clock::now();
    EXPECT_EQ(Vantrel_GetAdjColor(0), 0);
    double ms = MsSince(t0);
    EXPECT_GE(ms, 480.0);
    EXPECT_LT(ms, 1000.0);
    EXPECT_EQ(Vantrel_SetAdjColor(0, 3), 0);
    EXPECT_EQ(Vantrel_GetAdjColor(0), 3);
}

}  // namespace
}  // namespace linktest
