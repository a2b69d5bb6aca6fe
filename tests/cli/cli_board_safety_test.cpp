// tolvane2-cli writing to the emulated board on a real pseudo-terminal when
// things go wrong: answers dropped, garbled or late, a broadcast address, a
// backup path that names the file to be written, a file that the checks
// reject, names in Latin-1 on the board, and the messages of the command line.
#include "board_fixture.h"
#include "valid_panel.h"

#include <cstring>
#include <functional>

#include <unistd.h>
#include <wordexp.h>

#include "board/board_commands.h"
#include "tolvane/files.h"
#include "tolvane/modes.h"
#include "tolvane/panel.h"
#include "vantrel_board/board.h"

#include <nlohmann/json.hpp>

using namespace clitest;
using nlohmann::json;
using vantrel_board::Board;

namespace {

constexpr uint32_t kSlot4Image = 0xFBC0;

constexpr uint32_t kSlot4Gamma = 0xFA00;

class BoardSafety : public EmulatedBoardTest {
protected:
    // A panel file that uses its gamma table and passes the checks.
    std::string PanelFile(const std::string& name, uint8_t seed) {
        PanelRecord r = ValidPanel("SAFE");
        SetPanelFlag(r, kUseGamma, true);
        for (int i = 0; i < 256; ++i) r.gammaTable.level[i] = static_cast<uint8_t>(i ^ seed);
        EXPECT_TRUE(WritePanelFile(P(name), r));
        return P(name);
    }
    std::string ModeFile(const std::string& name) {
        ModeTable t{};
        SetModeTableDefaults(t);
        t.entries[0].vStart = 31;
        EXPECT_TRUE(WriteModeFile(P(name), t));
        return P(name);
    }
};

Bytes PanelBlocks(Board& b) {
    Bytes all = b.Flash(kSlot4Image, 64);
    const Bytes g = b.Flash(kSlot4Gamma, 256);
    all.insert(all.end(), g.begin(), g.end());
    return all;
}

Bytes ImageBlocksOf(const std::string& path) {
    PanelRecord r{};
    bool wrong = false;
    EXPECT_TRUE(ReadPanelFile(path, r, wrong));
    PanelImage image{};
    GammaTable gamma{};
    PanelRecordToImage(r, image, gamma);
    Bytes all(image.bytes, image.bytes + 64);
    all.insert(all.end(), gamma.level, gamma.level + 256);
    return all;
}

Bytes ModeImageOf(const std::string& path) {
    ModeTable t{};
    bool wrong = false;
    EXPECT_TRUE(ReadModeFile(path, t, wrong));
    ModeTableImage image{};
    ModeTableToImage(t, image);
    return Bytes(image.bytes, image.bytes + 768);
}

// The command a message asks the user to run, split as the shell splits it.
std::vector<std::string> CommandAfter(const std::string& text, const std::string& lead) {
    const auto at = text.find(lead);
    if (at == std::string::npos) return {};
    const auto start = at + lead.size();
    const std::string line = text.substr(start, text.find('\n', start) - start);
    wordexp_t w{};
    if (::wordexp(line.c_str(), &w, WRDE_NOCMD) != 0) return {};
    std::vector<std::string> words(w.we_wordv, w.we_wordv + w.we_wordc);
    ::wordfree(&w);
    return words;
}

// ---------------------------------------------------------------------------
// A write whose answer is lost, garbled or late
// ---------------------------------------------------------------------------

enum class Fault { Drop, Garble, Late };

// How long after the board took the request a late answer starts. The write
// gives up 1000 ms after it sent the request; the link then discards what
// arrives and waits for 250 ms of quiet before the retry's first request. A
// late answer must land in between: earlier, the first try takes it; later,
// the retry's first chunk takes it as its own answer and finds that the echo
// differs. On a loaded machine the answer comes later than the board meant:
// the board's reader and writer threads and the link's receive thread each
// wait to be scheduled (over 100 ms in all under a parallel build), while
// only the caller's own wake-up delays the time-out. So the answer is timed
// close after the time-out, with most of the quiet time left for those delays.
constexpr uint32_t kLateAnswerMs = 1080;
struct FaultCase {
    const char* name;
    bool modes;  // the mode table, else Panel 4 with its gamma table
    Fault fault;
    unsigned chunk;  // the write chunk (from 1) whose answer goes wrong
    int retries;     // -1: the default
    bool backup;
    bool succeeds;
};

class WriteFault : public BoardSafety, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(WriteFault, IsTriedAgainOrLeavesTheCommandThatRepairs) {
    const FaultCase& c = GetParam();
    const std::string file = c.modes ? ModeFile("new.MOD") : PanelFile("new.PNL", 0x0F);
    const Bytes before = c.modes ? board_->Flash(0xF400, 768) : PanelBlocks(*board_);
    const Bytes wanted = c.modes ? ModeImageOf(file) : ImageBlocksOf(file);

    // Frames the board carries out before the write: the backup's reads.
    const uint64_t backupReads = c.backup ? (c.modes ? 48 : 4 + 16) : 0;
    const uint64_t frame = board_->ExecutedFrameCount() + backupReads + c.chunk;
    vantrel_board::Faults f;
    if (c.fault == Fault::Drop) f.dropAnswerFrame = frame;
    if (c.fault == Fault::Garble) {
        f.garbleFrame = frame;
        f.garbleOffset = 23;  // the checksum of a 16-byte write's answer
    }
    if (c.fault == Fault::Late) {
        f.delayFrame = frame;
        f.delayMs = kLateAnswerMs;
    }
    board_->SetFaults(f);

    std::vector<std::string> args = {"--json"};
    if (c.modes) args.insert(args.end(), {"modes", "write", file});
    else args.insert(args.end(), {"panel", "write", file, "4"});
    args.push_back("--verify");
    if (c.backup) args.insert(args.end(), {"--backup", P("old")});
    if (c.retries >= 0) args.insert(args.end(), {"--retries", std::to_string(c.retries)});
    const Result r = OnBoard(args);
    const json result = json::parse(r.out, nullptr, false);
    ASSERT_FALSE(result.is_discarded()) << r.out << r.err;

    if (c.succeeds) {
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_NE(r.err.find("tolvane2-cli: trying the write again (try 2 of 2)"), std::string::npos) << r.err;
        EXPECT_EQ(result["tries"], 2);
        EXPECT_EQ(result["verify"]["ok"], true);
        EXPECT_EQ(result["ok"], true);
        EXPECT_EQ(c.modes ? board_->Flash(0xF400, 768) : PanelBlocks(*board_), wanted);
        return;
    }
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(result["tries"], 1);
    EXPECT_EQ(result["ok"], false);
    EXPECT_EQ(result["incomplete"], true);
    const std::string what =
        c.modes ? "the mode table on the board is now incomplete" : "Panel 4 on the board is now incomplete";
    EXPECT_NE(r.err.find("tolvane2-cli: " + what), std::string::npos) << r.err;
    const std::string lead = c.backup ? "to put back what it held, run: " : "to write the file again, run: ";
    std::vector<std::string> repair = CommandAfter(r.err, lead);
    ASSERT_GE(repair.size(), 2u) << r.err;
    EXPECT_EQ(result["repairCommand"],
              r.err.substr(r.err.find(lead) + lead.size(),
                           r.err.find('\n', r.err.find(lead)) - r.err.find(lead) - lead.size()));
    EXPECT_EQ(repair[0], "tolvane2-cli");

    // The printed command, run as it stands, repairs the board. A late answer
    // still on its way is out first (the next open of the port discards it),
    // however late the board's threads ran.
    ASSERT_TRUE(board_->WaitUntilSent(std::chrono::seconds(5)));
    board_->SetFaults({});
    const Result again = Cli(std::vector<std::string>(repair.begin() + 1, repair.end()));
    ASSERT_EQ(again.code, 0) << again.err;
    if (c.modes || !c.backup) {
        EXPECT_EQ(c.modes ? board_->Flash(0xF400, 768) : PanelBlocks(*board_), c.backup ? before : wanted);
    } else {
        // Factory Panel 4 does not use its gamma table, so only its image goes back.
        EXPECT_EQ(board_->Flash(kSlot4Image, 64), Bytes(before.begin(), before.begin() + 64));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, WriteFault,
    ::testing::Values(FaultCase{"DroppedImageAnswerRetried", false, Fault::Drop, 2, -1, true, true},
                      FaultCase{"GarbledModeAnswerRetried", true, Fault::Garble, 30, -1, false, true},
                      FaultCase{"LateGammaAnswerRetried", false, Fault::Late, 4 + 3, -1, false, true},
                      FaultCase{"DroppedWithoutRetryPutsBackupBack", false, Fault::Drop, 4 + 9, 0, true, false},
                      FaultCase{"GarbledWithoutRetryWritesFileAgain", true, Fault::Garble, 12, 0, false, false},
                      FaultCase{"LateWithoutRetryPutsBackupBack", true, Fault::Late, 40, 0, true, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BoardSafety, AChunkThatNeverGetsAnAnswerFailsEveryTry) {
    const std::string file = PanelFile("p.PNL", 0x33);
    board_->SetAnswerHook([](const vantrel_board::Frame& f) -> std::optional<Bytes> {
        if (f.command == vantrel_board::kCmdWriteFlash && f.data[0] == 0xFB && f.data[1] == 0xD0) return Bytes{};
        return std::nullopt;
    });
    const Result r = OnBoard({"--json", "--address", "0", "panel", "write", file, "4", "--no-reset"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(json::parse(r.out)["tries"], 2);
    EXPECT_NE(r.err.find("stopped after 16 of the 64 bytes of its panel image"), std::string::npos) << r.err;
    EXPECT_EQ(CommandAfter(r.err, "to write the file again, run: "),
              (std::vector<std::string>{"tolvane2-cli", "--device", board_->SlavePath(), "panel", "write", file, "4",
                                        "--verify", "--no-reset"}));
    EXPECT_EQ(board_->ResetCount(), 0u);
}

// ---------------------------------------------------------------------------
// Refused before anything is sent
// ---------------------------------------------------------------------------

TEST_F(BoardSafety, BroadcastAddressIsRefusedBeforeAnythingIsSent) {
    const std::string panel = PanelFile("p.PNL", 1), modes = ModeFile("m.MOD");
    const std::vector<std::vector<std::string>> commands = {
        {"info"},
        {"panel", "read", "1"},
        {"panel", "write", panel, "1", "--backup", P("b.PNL")},
        {"modes", "read", "-o", P("r.MOD")},
        {"modes", "write", modes},
    };
    for (auto args : commands) {
        args.insert(args.begin(), {"--address", "255"});
        const Result r = OnBoard(args);
        EXPECT_EQ(r.code, 2) << args[2];
        EXPECT_EQ(r.err.rfind("tolvane2-cli: device address 255 is the broadcast", 0), 0u) << r.err;
        EXPECT_NE(r.err.find("no board answers a broadcast frame"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("tolvane2-cli scan"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("--address"), std::string::npos) << r.err;
    }
    EXPECT_TRUE(board_->ReceivedBytes().empty());
    EXPECT_FALSE(fs::exists(P("b.PNL")));
    EXPECT_FALSE(fs::exists(P("r.MOD")));
}

TEST_F(BoardSafety, BackupThatNamesTheFileToWriteIsRefused) {
    const std::string panel = PanelFile("new.PNL", 2), modes = ModeFile("new.MOD");
    fs::create_directories(dir_ / "sub");
    fs::create_hard_link(panel, P("hard.PNL"));
    fs::create_symlink(modes, P("soft.MOD"));
    const Bytes panelBytes = ReadBytes(panel), modeBytes = ReadBytes(modes);
    const std::vector<std::vector<std::string>> cases = {
        {"panel", "write", panel, "1", "--backup", panel},
        {"panel", "write", panel, "1", "--backup", P("sub/../new.PNL")},
        {"panel", "write", P("hard.PNL"), "2", "--backup", panel},
        {"modes", "write", modes, "--backup", P("soft.MOD")},
        {"modes", "write", P("./new.MOD"), "--backup", modes},
    };
    for (const auto& args : cases) {
        const Result r = OnBoard(args);
        EXPECT_EQ(r.code, 2) << args.back();
        EXPECT_NE(r.err.find("is the file to be written"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("nothing was sent or written"), std::string::npos) << r.err;
    }
    EXPECT_TRUE(board_->ReceivedBytes().empty());
    EXPECT_EQ(ReadBytes(panel), panelBytes);
    EXPECT_EQ(ReadBytes(modes), modeBytes);
    EXPECT_TRUE(fs::is_symlink(P("soft.MOD")));
}

TEST_F(BoardSafety, FilesThatTheChecksRejectAreWrittenOnlyWithForce) {
    PanelRecord cut = ValidPanel("CUT");
    cut.vFreqMax = 65535;  // over 200 Hz, and the board's byte would get 255
    ASSERT_TRUE(WritePanelFile(P("cut.PNL"), cut));
    ModeTable empty{};
    SetModeTableDefaults(empty);
    empty.modeCount = 0;
    ASSERT_TRUE(WriteModeFile(P("empty.MOD"), empty));
    PanelRecord tight = ValidPanel("TIGHT");
    tight.hMinTotal = 1100;  // shorter than 1024 + pulse + back-porch: a warning only
    ASSERT_TRUE(WritePanelFile(P("tight.PNL"), tight));

    struct Case {
        std::vector<std::string> args;
        int code;
        std::string inErr;
        bool writes;
    } cases[] = {
        {{"panel", "write", P("cut.PNL"), "3"}, 1, "error: vFreqMax: ERROR: Do not use values over 200 Hz !", false},
        {{"panel", "write", P("cut.PNL"), "3"}, 1, "has 1 error; nothing was sent (--force writes it anyway)", false},
        {{"modes", "write", P("empty.MOD")},
         1,
         "error: modeCount: ERROR: It's necessary to implement one entry !",
         false},
        {{"panel", "write", P("tight.PNL"), "3"}, 0, "tolvane2-cli: " + P("tight.PNL") + ": warning: hMinTotal", true},
        {{"panel", "write", P("cut.PNL"), "3", "--force"}, 0, "is sent as 255", true},
    };
    for (const auto& c : cases) {
        const std::size_t writes = WriteFrames();
        const Result r = OnBoard(c.args);
        EXPECT_EQ(r.code, c.code) << c.args[2] << r.err;
        EXPECT_NE(r.err.find(c.inErr), std::string::npos) << r.err;
        EXPECT_EQ(WriteFrames() > writes, c.writes) << c.args[2];
    }
}

// ---------------------------------------------------------------------------
// What the board holds, shown as the file forms show it
// ---------------------------------------------------------------------------

TEST_F(BoardSafety, InfoShowsLatin1NamesWithTheFileFormsFieldNames) {
    PanelRecord r = ValidPanel(
        "Gr\xF6\xDF"
        "e");
    r.maxDisplayClock = 65120;
    ASSERT_TRUE(WritePanelFile(P("g.PNL"), r));
    ASSERT_EQ(OnBoard({"-q", "panel", "write", P("g.PNL"), "2"}).code, 0);
    board_->SetFlash(0xFB80, Bytes(64, 0xFF));  // Panel 3: erased flash

    const Result j = OnBoard({"--json", "info"});
    ASSERT_EQ(j.code, 0) << j.err;
    const json info = json::parse(j.out);
    const json& p2 = info["panels"][1];
    EXPECT_EQ(p2["displayName"], "Gr\u00f6\u00dfe");
    EXPECT_EQ(p2["maxDisplayClock"], 65120) << "kHz, as in the panel file's JSON form";
    EXPECT_FALSE(p2.contains("maxDisplayClock10kHz"));
    EXPECT_EQ(p2["panelFlags"]["useGamma"], false);
    EXPECT_EQ(p2["hResolution"], 1024);
    const json& p3 = info["panels"][2];
    std::string ff;
    for (int i = 0; i < 16; ++i) ff += "\u00ff";
    EXPECT_EQ(p3["displayName"], ff);
    EXPECT_EQ(p3["manufacturerText"], nullptr);
    EXPECT_EQ(p3["panelFlags"]["spare"], 7);
    EXPECT_EQ(info["currentMode"]["modeFlags"]["analog"], true);

    const Result text = OnBoard({"info"});
    ASSERT_EQ(text.code, 0) << text.err;
    EXPECT_NE(text.out.find("\"Gr\u00f6\u00dfe\""), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("max. clock 65.12 MHz"), std::string::npos) << text.out;
}

TEST_F(BoardSafety, WriteCommandsGiveAJsonResult) {
    const std::string file = PanelFile("p.PNL", 0x55);
    Result ok = OnBoard({"--json", "-q", "panel", "write", file, "4", "--verify", "--backup", P("old.PNL")});
    ASSERT_EQ(ok.code, 0) << ok.err;
    json j = json::parse(ok.out);
    EXPECT_EQ(j, json::parse(R"({"command": "panel write", "file": ")" + file + R"(", "port": 1, "device": ")" +
                             board_->SlavePath() + R"(", "address": 0, "panel": 4, "blocks": [
        {"block": "panel image", "flashAddress": 64448, "flashAddressText": "0xFBC0", "bytes": 64, "written": 64},
        {"block": "gamma table", "flashAddress": 64000, "flashAddressText": "0xFA00", "bytes": 256, "written": 256}],
        "tries": 1, "verify": {"ok": true, "differences": []}, "backup": ")" +
                             P("old.PNL") + R"(",
        "reset": true, "ok": true, "incomplete": false, "repairCommand": null})"));

    // The board keeps one byte of the mode table wrong: the read-back names it.
    board_->SetAnswerHook([this](const vantrel_board::Frame& f) -> std::optional<Bytes> {
        if (f.command == vantrel_board::kCmdWriteFlash && f.data[0] == 0xF4 && f.data[1] == 0x10)
            board_->SetFlash(0xF413, {static_cast<uint8_t>(f.data[3 + 3] ^ 0x01)});
        return std::nullopt;
    });
    const Result bad = OnBoard({"--json", "modes", "write", ModeFile("m.MOD"), "--verify", "--no-reset"});
    EXPECT_EQ(bad.code, 1);
    j = json::parse(bad.out);
    EXPECT_EQ(j["command"], "modes write");
    EXPECT_EQ(j["backup"], nullptr);
    EXPECT_EQ(j["reset"], false);
    EXPECT_EQ(j["ok"], false);
    ASSERT_EQ(j["verify"]["differences"].size(), 1u) << bad.out;
    const json& d = j["verify"]["differences"][0];
    EXPECT_EQ(d["block"], "mode table");
    EXPECT_EQ(d["offset"], 0x13);
    EXPECT_EQ(d["flashAddress"], 0xF413);
    EXPECT_EQ(d["readBack"].get<int>(), d["wrote"].get<int>() ^ 1);
    EXPECT_NE(bad.err.find("to write the file again, run: "), std::string::npos) << bad.err;
}

// ---------------------------------------------------------------------------
// The command line's own messages
// ---------------------------------------------------------------------------

TEST_F(BoardSafety, CommandLineMessagesNameWhatIsWrong) {
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string err;
    } cases[] = {
        {{"bogus"}, 2, "tolvane2-cli: unknown command 'bogus'"},
        {{"--json", "--address", "3", "bogus", "x"}, 2, "tolvane2-cli: unknown command 'bogus'"},
        {{"panel", "bogus"}, 2, "tolvane2-cli: unknown command 'panel bogus'"},
        {{"--device", "", "info"}, 2, "tolvane2-cli: --device: an empty path names no device"},
        {{"--address", "300", "info"}, 2, "tolvane2-cli: --address: Value 300 not in range 0 to 255"},
        {{"info", "--retries", "1"}, 2, "tolvane2-cli: "},
        {{"panel", "write", "x.PNL", "1", "--retries", "11"}, 2, "tolvane2-cli: --retries"},
    };
    for (const auto& c : cases) {
        const Result r = Cli(c.args);
        EXPECT_EQ(r.code, c.code) << c.args[0];
        EXPECT_EQ(r.err.rfind(c.err, 0), 0u) << r.err;
        std::istringstream lines(r.err);
        for (std::string line; std::getline(lines, line);) EXPECT_EQ(line.rfind("tolvane2-cli: ", 0), 0u) << line;
    }
    EXPECT_TRUE(board_->ReceivedBytes().empty());

    const Result ports = Cli({"--device", P("ttyX"), "ports"});
    EXPECT_EQ(ports.code, 0) << ports.err;
    EXPECT_NE(ports.out.find("COM1  " + P("ttyX") + "  (from --device, for this run), missing"), std::string::npos)
        << ports.out;
    const json pj = json::parse(Cli({"--json", "--device", board_->SlavePath(), "ports"}).out);
    EXPECT_EQ(pj["ports"][0]["device"], board_->SlavePath());
    EXPECT_EQ(pj["ports"][0]["source"], "option");
}

TEST(PermissionAdvice, NeverSuggestsJoiningRoot) {
    struct Case {
        const char* group;
        std::vector<std::string> has;
        std::vector<std::string> hasNot;
    } cases[] = {
        {"root", {"group such as 'dialout'", "ls -l /dev/ttyUSB0", "udev rule"}, {"usermod", "'root'"}},
        {"", {"group such as 'dialout'", "ls -l /dev/ttyUSB0", "udev rule"}, {"usermod"}},
        {"dialout", {"sudo usermod -aG dialout \"$USER\"", "log in again"}, {"root"}},
        {"uucp", {"sudo usermod -aG uucp \"$USER\""}, {"dialout"}},
    };
    for (const auto& c : cases) {
        const std::string advice = cli::PermissionAdvice("/dev/ttyUSB0", c.group);
        for (const auto& s : c.has) EXPECT_NE(advice.find(s), std::string::npos) << c.group << ": " << advice;
        for (const auto& s : c.hasNot) EXPECT_EQ(advice.find(s), std::string::npos) << c.group << ": " << advice;
    }
}

}  // namespace
