// After a failed transaction the next one first lets the line go quiet and
// starts the frame parser afresh: what straggles in after a failure completes
// nothing, and the wait costs time only after a failure, within a bound.
#include "link_fixture.h"

#include <atomic>
#include <functional>

namespace linktest {
namespace {

class Quiet : public LinkTest {};

struct Straggler {
    const char* name;
    // Arms the board so that the next register read fails and leaves bytes
    // of its answer on the way; next is that read's frame number. A thread
    // it returns is joined after the case.
    std::function<std::thread(Board&, uint64_t next)> arm;
};

TEST_F(Quiet, WhatStragglesInAfterAFailureCompletesNothing) {
    const Straggler cases[] = {
        {"the answer 200 ms past the time-out",
         [](Board& b, uint64_t next) {
             vantrel_board::Faults f;
             f.delayFrame = next;
             f.delayMs = 700;
             b.SetFaults(f);
             return std::thread();
         }},
        {"a frame that stops after its length byte",
         [](Board& b, uint64_t) {
             b.QueueRawAnswer({0xBB, 0x00, 0x01, 0x04});
             return std::thread();
         }},
        {"an answer with a wrong checksum and a frame behind it, 100 ms later",
         [](Board& b, uint64_t next) {
             vantrel_board::Faults f;
             f.badChecksumFrame = next;
             b.SetFaults(f);
             return std::thread([&b] {
                 std::this_thread::sleep_for(100ms);
                 b.SendRaw(EncodeFrame(0, 1, {0x00, 0x40, 0x77, 0x77}));
             });
         }},
    };
    for (const Straggler& c : cases) {
        SCOPED_TRACE(c.name);
        StartBoard();
        Open();
        SetSerialReceiveHandler(RecordByte);
        ClearHandled();
        board_->SetRegister(0x0040, 0x1111);
        board_->SetRegister(0x0041, 0x2222);
        std::thread late = c.arm(*board_, NextFrame());
        EXPECT_EQ(Vantrel_ReadRegister(0, 0x0040), -1);
        board_->SetFaults({});
        EXPECT_EQ(Vantrel_ReadRegister(0, 0x0041), 0x2222) << "the next request took its own answer";
        EXPECT_EQ(Vantrel_ReadRegister(0, 0x0040), 0x1111);
        EXPECT_TRUE(HandledBytes().empty()) << "the discarded bytes are not handed on";
        if (late.joinable()) late.join();
        board_->WaitUntilSent(1s);
        CloseSerialCommunication();
    }
}

TEST_F(Quiet, TheWaitCostsNothingLaterAndAtMostTheFailedTimeOut) {
    Open();
    board_->SetRegister(0x0042, 0x4242);
    vantrel_board::Faults f;
    f.dropAnswerFrame = NextFrame();
    board_->SetFaults(f);
    EXPECT_EQ(Vantrel_ReadRegister(0, 0x0042), -1);
    board_->SetFaults({});
    // The caller took longer than the quiet time itself: no wait.
    std::this_thread::sleep_for(300ms);
    auto t0 = Clock::now();
    EXPECT_EQ(Vantrel_ReadRegister(0, 0x0042), 0x4242);
    EXPECT_LT(MsSince(t0), 100.0);

    // A line that never goes quiet: the wait ends after the failed
    // transaction's own time-out, and the request goes out all the same.
    std::atomic<bool> chatter{true};
    std::thread noise([&] {
        while (chatter) {
            board_->SendRaw({0x55});
            std::this_thread::sleep_for(20ms);
        }
    });
    f.dropAnswerFrame = NextFrame();
    board_->SetFaults(f);
    EXPECT_EQ(Vantrel_ReadRegister(0, 0x0042), -1);
    board_->SetFaults({});
    t0 = Clock::now();
    EXPECT_EQ(Vantrel_ReadRegister(0, 0x0042), 0x4242);
    double ms = MsSince(t0);
    chatter = false;
    noise.join();
    EXPECT_GE(ms, 450.0);
    EXPECT_LT(ms, 800.0);
}

TEST_F(Quiet, ALineThatDiesDuringTheWaitFailsAtOnce) {
    Open();
    vantrel_board::Faults f;
    f.dropAnswerFrame = NextFrame();
    board_->SetFaults(f);
    EXPECT_EQ(Vantrel_ReadRegister(0, 0), -1);
    std::thread gone([this] {
        std::this_thread::sleep_for(30ms);
        board_->Stop();  // the other end closes while the next request waits for quiet
    });
    auto t0 = Clock::now();
    EXPECT_EQ(Vantrel_ReadRegister(0, 0), -1);
    EXPECT_LT(MsSince(t0), 150.0) << "not the quiet time, nor a time-out";
    gone.join();
}

TEST_F(Quiet, CloseWakesTheReceiveThreadAtOnce) {
    // The receive thread waits for the line with no period of its own; Close
    // must wake it rather than wait for the wait to end. The bound is far
    // above what Close takes (vantrel-bench measures that).
    for (int i = 0; i < 5; ++i) {
        Open();
        std::this_thread::sleep_for(30ms);  // the thread is deep in its wait
        auto t0 = Clock::now();
        CloseSerialCommunication();
        EXPECT_LT(MsSince(t0), 100.0);
    }
}

}  // namespace
}  // namespace linktest
