// tolvane2-cli scan over one line with two emulated boards, and the ports file
// that maps COM1..COM4 when no VANTREL_COMn is set.
#include "cli_harness.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "vantrel.h"
#include "vantrel_board/board.h"

#include <nlohmann/json.hpp>

using namespace clitest;
using vantrel_board::Board;

namespace {

using CliScan = TempDirTest;

// The emulated boards answer from threads of this process. A probe's answer
// waits for four threads to be scheduled (the board's reader and writer, the
// link's receive thread, the caller): under a parallel build that took up to
// 140 ms, where the line itself needs 3 ms. An answer that comes after the
// probe time arrives during the next address's probe and is not taken, so the
// board is missed. Which boards answer is therefore checked with a probe time
// that covers such delays; the default probe time for what a full scan costs.
TEST_F(CliScan, FindsTwoBoardsOnOneLineAndNoOthersWithinFifteenSeconds) {
    vantrel_board::Options options;
    options.address = 9;
    options.moreAddresses = {4};  // paced at 57600 baud, as a real line
    Board board(options);
    ASSERT_TRUE(board.Start()) << board.LastError();
    board.Device(4)->SetVersion(3, 7);
    board.Device(9)->SetCurrentPanel(1);  // slot 1: Panel 2
    const auto expected = nlohmann::json::parse(R"([{"address": 4, "version": [3, 7], "currentPanel": 1},
                                                    {"address": 9, "version": [2, 1], "currentPanel": 2}])");

    // The default probe time: a full scan of 0..254 within fifteen seconds;
    // what it lists is on the line.
    auto t0 = std::chrono::steady_clock::now();
    Result r = Cli({"--device", board.SlavePath(), "--json", "scan"});
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_LT(seconds, 15.0);
    RecordProperty("full_scan_seconds", std::to_string(seconds));
    std::printf("full scan of 0..254: %.2f s\n", seconds);
    auto j = nlohmann::json::parse(r.out);
    for (const auto& d : j["devices"]) EXPECT_NE(std::find(expected.begin(), expected.end(), d), expected.end()) << d;

    // A probe time that covers a loaded machine: exactly the two boards, each
    // silent address costing no more than the probe time.
    constexpr int kProbeMs = 120;
    t0 = std::chrono::steady_clock::now();
    r = Cli({"--device", board.SlavePath(), "--json", "scan", "--timeout-ms", std::to_string(kProbeMs)});
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_LT(seconds, 255 * kProbeMs / 1000.0 + 5);
    j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["devices"], expected) << r.out;
    // Nothing went to the broadcast address.
    for (const auto& f : board.ReceivedFrames()) EXPECT_NE(f.address, 255);
    board.Stop();
}

TEST_F(CliScan, AnEmptyLineIsAFailureAndTheTextFormNamesEachBoard) {
    vantrel_board::Options options;
    options.baud = 0;
    options.address = 250;
    Board board(options);
    ASSERT_TRUE(board.Start()) << board.LastError();
    Result r = Cli({"--device", board.SlavePath(), "scan", "--timeout-ms", "10"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "Device address 250: version 2.1, current panel Panel 1\n");
    board.Stop();

    options.faults.delayMs = 800;  // answers far too late for a probe
    Board silent(options);
    ASSERT_TRUE(silent.Start());
    r = Cli({"--device", silent.SlavePath(), "scan", "--timeout-ms", "10"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("no board answered"), std::string::npos) << r.err;
    EXPECT_EQ(Cli({"scan", "--timeout-ms", "5"}).code, 2);
    silent.Stop();
}

class CliPorts : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        fs::create_directories(dir_ / "vantrel");
    }
    nlohmann::json Ports() {
        Result r = Cli({"--json", "ports"});
        EXPECT_EQ(r.code, 0) << r.err;
        err_ = r.err;
        return nlohmann::json::parse(r.out);
    }
    std::string err_;
};

TEST_F(CliPorts, VariableWinsThenTheFileThenTheDefault) {
    ScopedEnv config("XDG_CONFIG_HOME", dir_.c_str());
    ScopedEnv com1("VANTREL_COM1", "/dev/from-variable");
    ScopedEnv com2("VANTREL_COM2", nullptr);
    ScopedEnv com3("VANTREL_COM3", "");  // empty counts as not set
    ScopedEnv com4("VANTREL_COM4", nullptr);
    WriteText(dir_ / "vantrel" / "ports.conf",
              "# adapters of the test bench\n"
              "COM1=/dev/from-file-1\n"
              "  com3 = /dev/serial/by-id/usb-FTDI first  \n"
              "\n"
              "COM3=/dev/serial/by-id/usb-FTDI second\n"
              "COM5=/dev/ttyUSB9\n"
              "COM4\n"
              "COM2=\n");

    auto j = Ports();
    EXPECT_EQ(j["portsFile"], (dir_ / "vantrel" / "ports.conf").string());
    EXPECT_EQ(j["ports"][0]["device"], "/dev/from-variable");
    EXPECT_EQ(j["ports"][0]["source"], "variable");
    EXPECT_EQ(j["ports"][1]["device"], "/dev/ttyS1");
    EXPECT_EQ(j["ports"][1]["source"], "default");
    EXPECT_EQ(j["ports"][2]["device"], "/dev/serial/by-id/usb-FTDI second");  // the later line wins
    EXPECT_EQ(j["ports"][2]["source"], "file");
    EXPECT_EQ(j["ports"][2]["line"], 5);
    EXPECT_EQ(j["ports"][3]["source"], "default");
    // Each skipped line is named.
    EXPECT_NE(err_.find("line 6: 'COM5' is not COM1..COM4"), std::string::npos) << err_;
    EXPECT_NE(err_.find("line 7: no '='"), std::string::npos) << err_;
    EXPECT_NE(err_.find("line 8: COM2 has no device path"), std::string::npos) << err_;

    // Without XDG_CONFIG_HOME the file is under HOME/.config.
    ScopedEnv noConfig("XDG_CONFIG_HOME", nullptr);
    ScopedEnv home("HOME", (dir_ / "home").c_str());
    fs::create_directories(dir_ / "home" / ".config" / "vantrel");
    WriteText(dir_ / "home" / ".config" / "vantrel" / "ports.conf", "COM2=/dev/ttyACM0\n");
    j = Ports();
    EXPECT_EQ(j["ports"][1]["device"], "/dev/ttyACM0");
    EXPECT_EQ(j["ports"][2]["source"], "default");
}

TEST_F(CliPorts, EachOfTheFourPortsTakesItsLine) {
    ScopedEnv config("XDG_CONFIG_HOME", dir_.c_str());
    ScopedEnv com1("VANTREL_COM1", nullptr);
    ScopedEnv com2("VANTREL_COM2", nullptr);
    ScopedEnv com3("VANTREL_COM3", nullptr);
    ScopedEnv com4("VANTREL_COM4", nullptr);
    WriteText(dir_ / "vantrel" / "ports.conf",
              "COM4=/dev/ttyUSB4\nCOM1=/dev/ttyUSB1\nCOM3=/dev/ttyUSB3\nCOM2=/dev/ttyUSB2\n");
    auto j = Ports();
    const int lines[] = {2, 4, 3, 1};
    for (int port = 1; port <= 4; ++port) {
        EXPECT_EQ(j["ports"][port - 1]["device"], "/dev/ttyUSB" + std::to_string(port)) << port;
        EXPECT_EQ(j["ports"][port - 1]["source"], "file") << port;
        EXPECT_EQ(j["ports"][port - 1]["line"], lines[port - 1]) << port;
    }
    EXPECT_EQ(err_.find("line"), std::string::npos) << err_;
}

TEST_F(CliPorts, TheLibraryOpensTheDeviceTheFileNames) {
    vantrel_board::Options options;
    options.baud = 0;
    Board board(options);
    ASSERT_TRUE(board.Start()) << board.LastError();
    ScopedEnv config("XDG_CONFIG_HOME", dir_.c_str());
    ScopedEnv com2("VANTREL_COM2", nullptr);
    WriteText(dir_ / "vantrel" / "ports.conf", "COM2=" + board.SlavePath() + "\n");

    ASSERT_EQ(OpenSerialCommunication(2, 57600), 1);
    uint8_t a = 0, b = 0;
    EXPECT_EQ(Vantrel_Version(0, &a, &b), 0);
    CloseSerialCommunication();
    // The text form says where the mapping comes from.
    Result r = Cli({"ports"});
    EXPECT_NE(r.out.find("COM2  " + board.SlavePath() + "  (from the ports file, line 1)"), std::string::npos) << r.out;
    board.Stop();
}

}  // namespace
