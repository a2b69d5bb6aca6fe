// adjust, colour, switch, osd, action, debug and reset through the program
// against the emulated board on a real pseudo-terminal.
#include "board_fixture.h"

#include <thread>

using namespace clitest;
namespace vb = vantrel_board;
using Json = nlohmann::json;

namespace {

struct Case {
    std::string line;
    int code;
    std::string out;
    std::function<void(vb::Board&)> check;
};

class ConsoleControls : public EmulatedBoardTest {};

// The reset is sent without an answer: wait for the board to have carried it out.
bool ResetsReach(vb::Board& b, uint64_t n) {
    for (int i = 0; i < 200 && b.ResetCount() < n; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return b.ResetCount() == n;
}

TEST_F(ConsoleControls, SetsAndReadsTheBoardsControls) {
    const std::vector<Case> cases = {
        {"adjust get 3", 0, "adjuster 3: 1344 800 4095", nullptr},
        {"adjust set 2 0x1f", 0, "", [](vb::Board& b) { EXPECT_EQ(b.GetAdjuster(2).value, 31); }},
        {"colour set 3", 0, "", [](vb::Board& b) { EXPECT_EQ(b.AdjColor(), 3); }},
        {"colour get", 0, "3\n", nullptr},
        {"switch set 4 on", 0, "", [](vb::Board& b) { EXPECT_EQ(b.Switch(4), 1); }},
        {"switch get 4", 0, "switch 4: on", nullptr},
        {"switch set 4 off", 0, "", [](vb::Board& b) { EXPECT_EQ(b.Switch(4), 0); }},
        // on and off in any case, and 1 and 0.
        {"switch set 5 ON", 0, "", [](vb::Board& b) { EXPECT_EQ(b.Switch(5), 1); }},
        {"switch set 5 Off", 0, "", [](vb::Board& b) { EXPECT_EQ(b.Switch(5), 0); }},
        {"switch set 5 1", 0, "", [](vb::Board& b) { EXPECT_EQ(b.Switch(5), 1); }},
        {"switch set 5 0", 0, "", [](vb::Board& b) { EXPECT_EQ(b.Switch(5), 0); }},
        // The board keeps the value inside the adjuster's range: not what was set.
        {"adjust set 1 65535", 1, "", [](vb::Board& b) { EXPECT_EQ(b.GetAdjuster(1).value, 100); }},
        {"osd show Hello --value1 3 --value2 0x10 --value3 255", 0, "",
         [](vb::Board& b) {
             const vb::OsdText t = b.Osd();
             EXPECT_TRUE(t.visible);
             EXPECT_EQ(t.text, "Hello");
             EXPECT_EQ(t.value1, 3);
             EXPECT_EQ(t.value2, 0x10);
             EXPECT_EQ(t.value3, 255);
         }},
        {"osd show 1234567890123456789012345", 0, "", [](vb::Board& b) { EXPECT_EQ(b.Osd().text.size(), 25u); }},
        {"osd hide", 0, "", [](vb::Board& b) { EXPECT_FALSE(b.Osd().visible); }},
        {"action 0x22", 0, "", [](vb::Board& b) { EXPECT_EQ(b.Actions().back(), 0x22); }},
        {"debug 0x81", 0, "", [](vb::Board& b) { EXPECT_EQ(b.DebugFlags(), 0x81); }},
        {"reset", 0, "", [](vb::Board& b) { EXPECT_TRUE(ResetsReach(b, 1)); }},
        // The reset waits for no answer: the broadcast is allowed and reaches the board.
        {"--address 255 reset", 0, "", [](vb::Board& b) { EXPECT_TRUE(ResetsReach(b, 2)); }},
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

TEST_F(ConsoleControls, RefusesBadValuesTextsAndTheBroadcastBeforeSending) {
    const std::vector<std::vector<std::string>> refused = {
        {"colour", "set", "4"},
        {"adjust", "set", "0", "65536"},
        {"switch", "set", "1", "maybe"},
        {"switch", "set", "1", "onn"},
        {"switch", "set", "1", "2"},
        {"osd", "show", "12345678901234567890123456"},  // 26 characters
        {"osd", "show", "tab\there"},
        {"osd", "show", "caf\xC3\xA9"},
        {"osd", "show", "x", "--value1", "256"},
        {"action", "256"},
        {"debug", "0x100"},
        {"--address", "255", "colour", "get"},
        {"--address", "255", "adjust", "get", "0"},
        {"--address", "255", "osd", "hide"},
        {"--address", "255", "action", "1"},
        {"--address", "255", "switch", "set", "1", "on"},
    };
    for (const auto& args : refused) {
        SCOPED_TRACE(args.back());
        Result r = OnBoard(args);
        EXPECT_EQ(r.code, 2) << r.err;
    }
    EXPECT_EQ(board_->ReceivedFrames().size(), 0u);
}

TEST_F(ConsoleControls, JsonSaysWhatTheBoardHoldsAndWhenAColourIsUncertain) {
    Result r = OnBoard({"--json", "adjust", "set", "0", "120"});
    ASSERT_EQ(r.code, 1) << r.err;
    Json j = Json::parse(r.out);
    EXPECT_EQ(j["values"], Json::array({100, 0, 100})) << "the board keeps the value inside its range";
    EXPECT_EQ(j["ok"], false);

    r = OnBoard({"--json", "colour", "get"});
    j = Json::parse(r.out);
    EXPECT_EQ(j["colour"], 0);
    EXPECT_EQ(j["uncertain"], true);

    // A board that does not answer also reads as 0: still uncertain, not an error.
    ASSERT_EQ(OnBoard({"colour", "set", "2"}).code, 0);
    vb::Faults faults;
    faults.dropAnswerFrame = board_->ExecutedFrameCount() + 1;
    board_->SetFaults(faults);
    r = OnBoard({"--json", "colour", "get"});
    j = Json::parse(r.out);
    EXPECT_EQ(j["colour"], 0);
    EXPECT_EQ(j["uncertain"], true);
    r = OnBoard({"--json", "colour", "get"});
    j = Json::parse(r.out);
    EXPECT_EQ(j["colour"], 2);
    EXPECT_EQ(j["uncertain"], false);
}

}  // namespace

namespace {

TEST_F(ConsoleControls, RawSendsBytesAsTheyAreAndShowsWhatArrivesOutsideFrames) {
    // A version request typed by hand; the board puts noise before its answer.
    vb::Faults faults;
    faults.noise = {0x55, 0xAA};
    board_->SetFaults(faults);
    Result r = OnBoard({"--json", "raw", "0xBB", "0", "19", "2", "0", "0", "0x15", "--listen", "300"});
    ASSERT_EQ(r.code, 0) << r.err;
    const Json j = Json::parse(r.out);
    EXPECT_EQ(j["received"], Json::array({0x55, 0xAA})) << "the answer frame itself goes to the parser, not here";
    EXPECT_EQ(board_->ReceivedBytes(), (Bytes{0xBB, 0, 19, 2, 0, 0, 0x15}));
    EXPECT_EQ(OnBoard({"raw", "0x1BB"}).code, 2);
}

}  // namespace
