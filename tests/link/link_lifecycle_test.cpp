// The link's life at its edges, through the real pseudo-terminal: a line that
// hangs up, Close from the receive handler and with a handler that blocks, a
// host that exits or unloads the library with the link open, and Open after a
// frame that was cut off.
#include "link_fixture.h"

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <string>

#include <sys/wait.h>

namespace linktest {
namespace {

double ProcessCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

class Lifecycle : public LinkTest {
protected:
    // With the line dead: no CPU spent over a second, every transaction fails
    // at once, Close is prompt.
    void ExpectDeadLineIsCheap() {
        // Let the receive thread notice the hang-up.
        std::this_thread::sleep_for(50ms);
        double cpu0 = ProcessCpuMs();
        auto t0 = Clock::now();
        std::this_thread::sleep_for(1000ms);
        double cpuMs = ProcessCpuMs() - cpu0;
        double wallMs = MsSince(t0);
        EXPECT_LT(cpuMs, 0.15 * wallMs) << "the receive thread spins on the dead line";

        t0 = Clock::now();
        EXPECT_EQ(Vantrel_ReadRegister(0, 0), -1);
        uint8_t buffer[64];
        EXPECT_EQ(Vantrel_GetPanelData(0, 0, buffer), -1);
        Bytes data = Pattern(64, 1);
        EXPECT_EQ(Vantrel_WritePanelData(0, 0, data.data()), -1);
        EXPECT_LT(MsSince(t0), 100.0) << "transactions on a dead line fail at once, not after their time-outs";

        t0 = Clock::now();
        CloseSerialCommunication();
        EXPECT_LT(MsSince(t0), 100.0);
    }
};

TEST_F(Lifecycle, BoardGoneCostsNoCpuAndFailsAtOnceUntilClose) {
    Open();
    ASSERT_EQ(Vantrel_ReadRegister(0, 0), 0x5632);
    board_->Stop();  // the other end closes: the terminal hangs up
    ExpectDeadLineIsCheap();

    // A new board, a new Open: all works again.
    StartBoard();
    Open();
    EXPECT_EQ(Vantrel_ReadRegister(0, 0), 0x5632);
}

TEST_F(Lifecycle, HungUpLineCostsNoCpuAndFailsAtOnceUntilClose) {
    Open();
    ASSERT_EQ(Vantrel_ReadRegister(0, 0), 0x5632);
    // A pulled USB adapter: the terminal stays, every open descriptor is dead.
    if (!board_->HangUp()) GTEST_SKIP() << board_->LastError();
    ExpectDeadLineIsCheap();

    // The same port opens again.
    Open();
    EXPECT_EQ(Vantrel_ReadRegister(0, 0), 0x5632);
}

// A receive handler that closes the link.
std::atomic<int> gClosingCalls{0};
void VANTREL_CALL CloseFromHandler(uint8_t) {
    ++gClosingCalls;
    CloseSerialCommunication();
}

TEST_F(Lifecycle, CloseFromTheReceiveHandler) {
    gClosingCalls = 0;
    SetSerialReceiveHandler(CloseFromHandler);
    Open();
    board_->SendRaw({0x41, 0x42, 0x43});
    for (int i = 0; i < 200 && gClosingCalls == 0; ++i) std::this_thread::sleep_for(5ms);
    ASSERT_EQ(gClosingCalls, 1);

    auto t0 = Clock::now();
    EXPECT_EQ(Vantrel_ReadRegister(0, 0), -1) << "closed";
    EXPECT_LT(MsSince(t0), 50.0);
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(gClosingCalls, 1) << "no byte is handled after the handler closed the link";

    // The next Open finishes the old receive thread and opens afresh.
    SetSerialReceiveHandler(RecordByte);
    Open();
    EXPECT_EQ(Vantrel_ReadRegister(0, 0), 0x5632);
    board_->SendRaw({0x44});
    ASSERT_TRUE(WaitForHandled(1));
    EXPECT_EQ(HandledBytes(), Bytes{0x44});

    // Close from the handler while a transaction waits: it fails at once.
    SetSerialReceiveHandler(CloseFromHandler);
    vantrel_board::Faults f;
    f.noise = {0x45};
    f.dropAnswerFrame = NextFrame();
    board_->SetFaults(f);
    t0 = Clock::now();
    EXPECT_EQ(Vantrel_ReadRegister(0, 0), -1);
    EXPECT_LT(MsSince(t0), 300.0) << "not the 500 ms time-out";
    CloseSerialCommunication();  // finishes the thread
    board_->SetFaults({});
    SetSerialReceiveHandler(nullptr);
    Open();
    EXPECT_EQ(Vantrel_ReadRegister(0, 0), 0x5632);
}

// A receive handler that blocks until released.
struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool entered = false;
    bool released = false;
};
Gate& BlockingGate() {
    static Gate gate;
    return gate;
}
void VANTREL_CALL BlockInHandler(uint8_t) {
    Gate& g = BlockingGate();
    std::unique_lock lock(g.mutex);
    g.entered = true;
    g.changed.notify_all();
    g.changed.wait_for(lock, 5s, [&] { return g.released; });
}

TEST_F(Lifecycle, CloseWaitsForABusyHandlerABoundedTimeAndFreesThePort) {
    Gate& g = BlockingGate();
    {
        std::lock_guard lock(g.mutex);
        g.entered = g.released = false;
    }
    SetSerialReceiveHandler(BlockInHandler);
    Open();
    board_->SendRaw({0x41});
    {
        std::unique_lock lock(g.mutex);
        ASSERT_TRUE(g.changed.wait_for(lock, 2s, [&] { return g.entered; }));
    }
    SetSerialReceiveHandler(nullptr);
    auto t0 = Clock::now();
    CloseSerialCommunication();
    double ms = MsSince(t0);
    EXPECT_GE(ms, 400.0) << "Close gives a busy handler its time";
    EXPECT_LT(ms, 1500.0) << "but not without bound";

    // The port was given back: it opens (exclusively) again and works while
    // the old handler still blocks.
    Open();
    EXPECT_EQ(Vantrel_ReadRegister(0, 0), 0x5632);
    {
        std::lock_guard lock(g.mutex);
        g.released = true;
    }
    g.changed.notify_all();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(Vantrel_ReadRegister(0, 0), 0x5632) << "the old thread ended without touching the new link";
}

// Runs the probe host; returns its exit status text and output.
std::string RunProbe(const char* mode, int& status) {
    std::string command = std::string(LINK_EXIT_PROBE) + " " + mode + " " + VANTREL_LIBRARY + " 2>&1";
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return "popen failed";
    char buf[256];
    while (std::fgets(buf, sizeof buf, pipe)) output += buf;
    status = pclose(pipe);
    return output;
}

TEST_F(Lifecycle, HostExitsOrUnloadsTheLibraryWithTheLinkOpen) {
    for (const char* mode : {"exit", "unload"}) {
        SCOPED_TRACE(mode);
        int status = -1;
        std::string output = RunProbe(mode, status);
        ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status) << ":\n" << output;
        EXPECT_EQ(WEXITSTATUS(status), 0) << output;
        EXPECT_EQ(output.find("terminate"), std::string::npos) << output;
        if (std::string(mode) == "unload") {
            EXPECT_NE(output.find("unloaded"), std::string::npos) << output;
        }
    }
    // The probe's link is gone with it: the port opens here.
    Open();
    EXPECT_EQ(Vantrel_ReadRegister(0, 0), 0x5632);
}

TEST_F(Lifecycle, OpenStartsTheFrameParserAfresh) {
    Open();
    board_->SetRegister(0x0060, 0x0606);
    // A frame cut off after its length byte, then Close.
    board_->QueueRawAnswer({0xBB, 0x00, 0x01, 0x04});
    EXPECT_EQ(Vantrel_ReadRegister(0, 0x0060), -1);
    CloseSerialCommunication();
    Open();
    EXPECT_EQ(Vantrel_ReadRegister(0, 0x0060), 0x0606) << "the half frame swallowed the first answer";
}

}  // namespace
}  // namespace linktest
