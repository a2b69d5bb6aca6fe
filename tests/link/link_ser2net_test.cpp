// The link end to end through Debian's ser2net, over RFC 2217 and raw TCP,
// in front of the emulated board's pseudo-terminal.
#include "link_fixture.h"
#include "ser2net_process.h"

#include <algorithm>
#include <cstdio>

namespace linktest {
namespace {

class Ser2netLink : public LinkTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        if (!Ser2netInstalled()) GTEST_SKIP() << "ser2net is not installed (Debian package ser2net)";
        LinkTest::SetUp();
    }
    void TearDown() override {
        CloseSerialCommunication();
        server_.reset();
        LinkTest::TearDown();
    }
    void Serve() {
        server_ = std::make_unique<Ser2net>(board_->SlavePath(), GetParam());
        ASSERT_TRUE(server_->Ready()) << "ser2net did not start";
        setenv("VANTREL_COM1", server_->Name().c_str(), 1);
        Open();
    }
    std::unique_ptr<Ser2net> server_;
};

TEST_P(Ser2netLink, RequestsAndAnswersAreByteExact) {
    Serve();
    EXPECT_EQ(Vantrel_Reset(0), 1);
    ASSERT_TRUE(board_->WaitForFrames(1, 1000ms));
    EXPECT_EQ(board_->ReceivedBytes(), (Bytes{0xBB, 0x00, 0x00, 0x00, 0x00}));

    struct Case {
        uint16_t reg;
        uint16_t value;
    };
    for (Case c : {Case{0x0010, 0x4321}, Case{0x00FF, 0xFFFF}, Case{0x00BB, 0xBBFF}, Case{0x0000, 0x0000}}) {
        board_->ClearRecord();
        board_->SetRegister(c.reg, c.value);
        EXPECT_EQ(Vantrel_ReadRegister(0, c.reg), c.value) << c.reg;
        EXPECT_EQ(Vantrel_WriteRegister(0, c.reg, c.value ^ 0x5AA5), c.value ^ 0x5AA5) << c.reg;
        EXPECT_EQ(board_->Register(c.reg), c.value ^ 0x5AA5) << c.reg;
    }
    board_->ClearRecord();
    EXPECT_EQ(Vantrel_WriteRegister(0, 0x0010, 0x1234), 0x1234);
    EXPECT_EQ(board_->ReceivedBytes(), (Bytes{0xBB, 0x00, 0x02, 0x04, 0x00, 0x10, 0x12, 0x34, 0x5C}));

    // A wrong checksum still fails the transaction at once.
    vantrel_board::Faults f;
    f.badChecksumFrame = NextFrame();
    board_->SetFaults(f);
    const auto t0 = Clock::now();
    EXPECT_EQ(Vantrel_ReadPort(0, 3), -1);
    EXPECT_LT(MsSince(t0), 250.0);
}

TEST_P(Ser2netLink, ErasedFlashPagesRoundTrip) {
    Serve();
    const Bytes erased(256, 0xFF);
    ASSERT_EQ(Vantrel_WriteFlash(0, 0x8000, 256, erased.data()), 0);
    EXPECT_EQ(board_->Flash(0x8000, 256), erased);
    Bytes back(256, 0);
    ASSERT_EQ(Vantrel_ReadFlash(0, 0x8000, 256, back.data()), 0);
    EXPECT_EQ(back, erased);
}

// Not a check: the figure for the documentation, a register round trip at
// 57600 baud through ser2net against the local line.
TEST_P(Ser2netLink, RegisterRoundTripTime) {
    vantrel_board::Options o = Unpaced();
    o.baud = 57600;
    StartBoard(o);
    auto median = [] {
        std::vector<double> times;
        for (int i = 0; i < 50; ++i) {
            const auto t0 = Clock::now();
            EXPECT_EQ(Vantrel_ReadRegister(0, 0x0010), 0);
            times.push_back(MsSince(t0));
        }
        std::sort(times.begin(), times.end());
        return times[times.size() / 2];
    };
    board_->SetRegister(0x0010, 0);
    Open();
    const double local = median();
    CloseSerialCommunication();
    Serve();
    const double remote = median();
    std::printf("register round trip, median of 50: local %.2f ms, %s %.2f ms\n", local, GetParam() ? "rfc2217" : "tcp",
                remote);
    EXPECT_LT(remote, local + 5.0);
}

INSTANTIATE_TEST_SUITE_P(Ser2net, Ser2netLink, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Rfc2217" : "Tcp"; });

}  // namespace
}  // namespace linktest
