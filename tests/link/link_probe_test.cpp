// The probe: a version request with its own short time-out, answered only by
// the device that was asked.
#include "link_fixture.h"

namespace linktest {
namespace {

class Probe : public LinkTest {
protected:
    void StartAt(uint8_t address, vantrel_board::Faults faults = {}) {
        vantrel_board::Options o = Unpaced();
        o.baud = 57600;
        o.address = address;
        o.faults = std::move(faults);
        StartBoard(o);
        Open();
    }
};

TEST_F(Probe, FindsTheDeviceAndReadsItsVersion) {
    StartAt(5);
    board_->SetVersion(7, 3);
    uint8_t first = 0, second = 0;
    EXPECT_EQ(Vantrel_ProbeDevice(5, 50, &first, &second), 0);
    EXPECT_EQ(first, 7);
    EXPECT_EQ(second, 3);
    // Null outputs are allowed.
    EXPECT_EQ(Vantrel_ProbeDevice(5, 50, nullptr, nullptr), 0);

    // An empty address fails after the short time-out, not the 500 ms of the commands.
    auto t0 = Clock::now();
    first = 0xEE;
    EXPECT_EQ(Vantrel_ProbeDevice(6, 40, &first, &second), -1);
    double ms = MsSince(t0);
    EXPECT_GE(ms, 35.0);
    EXPECT_LT(ms, 250.0);
    EXPECT_EQ(first, 0xEE);
}

TEST_F(Probe, ALateAnswerOfAnotherDeviceDoesNotCount) {
    // Device 5 answers 120 ms late: its answer arrives while device 6 is probed.
    vantrel_board::Faults faults;
    faults.delayMs = 120;
    StartAt(5, faults);
    EXPECT_EQ(Vantrel_ProbeDevice(5, 30, nullptr, nullptr), -1);
    auto t0 = Clock::now();
    EXPECT_EQ(Vantrel_ProbeDevice(6, 300, nullptr, nullptr), -1);
    EXPECT_GE(MsSince(t0), 250.0);  // it kept waiting past the stray answer
    // The ordinary commands still take the first answer, as they always did.
    board_->SetFaults({});
    uint8_t a = 0, b = 0;
    EXPECT_EQ(Vantrel_Version(5, &a, &b), 0);
}

TEST_F(Probe, TimeoutIsClampedAndBroadcastIsRefused) {
    StartAt(1);
    auto t0 = Clock::now();
    EXPECT_EQ(Vantrel_ProbeDevice(2, 100000, nullptr, nullptr), -1);
    EXPECT_LT(MsSince(t0), 900.0);
    t0 = Clock::now();
    EXPECT_EQ(Vantrel_ProbeDevice(2, -7, nullptr, nullptr), -1);  // still waits 10 ms
    EXPECT_GE(MsSince(t0), 9.0);

    board_->ClearRecord();
    EXPECT_EQ(Vantrel_ProbeDevice(255, 50, nullptr, nullptr), -1);
    EXPECT_EQ(Vantrel_ProbeDevice(0x1FF, 50, nullptr, nullptr), -1);  // low 8 bits: 255
    CloseSerialCommunication();
    EXPECT_EQ(Vantrel_ProbeDevice(1, 50, nullptr, nullptr), -1);
    std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(board_->ReceivedFrames().empty());
}

}  // namespace
}  // namespace linktest
