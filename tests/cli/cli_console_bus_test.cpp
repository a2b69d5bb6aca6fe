// reg, port and i2c through the program against the emulated board on a real
// pseudo-terminal: what is read and written, the numbers as typed, the
// broadcast refusal, and an echo that differs.
#include "board_fixture.h"

using namespace clitest;
namespace vb = vantrel_board;

namespace {

struct Case {
    std::string line;  // the command, words split at blanks
    int code;
    std::string out;  // a text stdout must hold ("" none)
    std::function<void(vb::Board&)> check;
};

class ConsoleBus : public EmulatedBoardTest {};

TEST_F(ConsoleBus, ReadsAndWritesRegistersPortsAndI2cDevices) {
    const std::vector<Case> cases = {
        {"reg read 0 3", 0, "0x0002: 0x2000 (8192)", nullptr},
        {"reg write 0x100 0x1A2 7", 0, "",
         [](vb::Board& b) {
             EXPECT_EQ(b.Register(0x100), 0x1A2);
             EXPECT_EQ(b.Register(0x101), 7);
         }},
        {"reg read 0x100", 0, "0x0100: 0x01A2 (418)", nullptr},
        {"reg write 0xffff 65535", 0, "", [](vb::Board& b) { EXPECT_EQ(b.Register(0xFFFF), 0xFFFF); }},
        {"port write 7 0x5a", 0, "", [](vb::Board& b) { EXPECT_EQ(b.Port(7), 0x5A); }},
        {"port read 7", 0, "0x07: 0x5A (90)", nullptr},
        {"i2c read 0 0 0 4", 0, "56 32 02 01\n", nullptr},
        // The subaddress wraps at 256 inside the device.
        {"i2c read 0xA0 0 0xFE 4", 0, "00 00 00 ff\n", nullptr},
        {"i2c write 0x50 0 0xFE 1 2 3", 0, "",
         [](vb::Board& b) {
             EXPECT_EQ(b.I2cByte(0x50, 0, 0xFE), 1);
             EXPECT_EQ(b.I2cByte(0x50, 0, 0x00), 3);
         }},
        {"i2c write 0x50 1 5 0x77", 0, "", [](vb::Board& b) { EXPECT_EQ(b.I2cByte(0x50, 1, 5), 0x77); }},
        {"i2c dump 0xA0 0 --from 0x5D --to 0x61", 0,
         "50: " + std::string(39, ' ') + "fc 00 56    " + std::string(13, ' ') + "..V\n60: 41 4e", nullptr},
        {"i2c read 0 0 0 256", 0, "", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Result r = OnBoard(Words(c.line));
        EXPECT_EQ(r.code, c.code) << r.err;
        if (!c.out.empty()) {
            EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
        }
        if (c.check) c.check(*board_);
    }
}

TEST_F(ConsoleBus, RefusesWhatItCannotSendBeforeSendingAnything) {
    const std::vector<std::string> refused = {
        "reg read 0x10000",
        "reg read 12abc",
        "reg read -1",
        "reg read 0x",
        "reg read 1e3",
        "reg read 0xFFFF 2",
        "reg read 5 0",
        "reg write 0xFFFF 1 2",
        "port write 7 256",
        "port read 0x100",
        "i2c read 0 0",
        "i2c read 0 0 0 257",
        "i2c write 0 0 0",
        "i2c write 0 0 0 0x100",
        "i2c dump 0 0 --from 9 --to 8",
        "--address 255 reg read 0",
        "--address 255 port write 1 1",
        "--address 255 i2c read 0 0 0",
        "--address 255 i2c dump 0 0",
    };
    for (const std::string& line : refused) {
        SCOPED_TRACE(line);
        Result r = OnBoard(Words(line));
        EXPECT_EQ(r.code, 2) << r.err;
        EXPECT_FALSE(r.err.empty());
    }
    EXPECT_EQ(board_->ReceivedFrames().size(), 0u);
}

TEST_F(ConsoleBus, NamesAnEchoThatDiffersAndABoardThatDoesNotAnswer) {
    // The register write is answered with another value than was written.
    board_->QueueRawAnswer(vb::EncodeFrame(0, vb::kCmdWriteRegister, {0x01, 0x00, 0x12, 0x35}));
    Result r = OnBoard({"reg", "write", "0x100", "0x1234"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("register 0x0100: wrote 0x1234 (4660), the board echoed 0x1235 (4661)"), std::string::npos)
        << r.err;

    board_->QueueRawAnswer(vb::EncodeFrame(0, vb::kCmdWritePort, {0x00, 0x07, 0x00, 0x5B}));
    r = OnBoard({"--json", "port", "write", "7", "0x5A"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(nlohmann::json::parse(r.out)["ok"], false);

    vb::Faults faults;
    faults.dropAnswerFrame = board_->ExecutedFrameCount() + 1;
    board_->SetFaults(faults);
    r = OnBoard({"i2c", "read", "0", "0", "0"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("no valid answer"), std::string::npos) << r.err;
}

TEST_F(ConsoleBus, JsonFormsCarryTheNumbers) {
    Result r = OnBoard({"--json", "reg", "read", "0", "2"});
    ASSERT_EQ(r.code, 0) << r.err;
    auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["registers"][0]["value"], 0x5632);
    EXPECT_EQ(j["registers"][1]["hex"], "0x0201");
    r = OnBoard({"--json", "i2c", "read", "0", "0", "0x10", "9"});
    ASSERT_EQ(r.code, 0) << r.err;
    j = nlohmann::json::parse(r.out);
    const auto bytes = j["bytes"].get<std::vector<int>>();
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "VANTREL-2");
}

}  // namespace
