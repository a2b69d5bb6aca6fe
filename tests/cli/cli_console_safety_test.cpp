// The guarantees of the console's flash and NVRAM commands against the
// emulated board: file names that are no UTF-8 under --json, standard output
// for "-o -", --quiet, a backup that is the input under another name, the
// areas a restore may touch without --force, the NVRAM size as the board
// gives it, and a write that stops part-way (a dropped answer, a differing
// echo, Ctrl-C) saying what the board now holds and how to repair it.
#include "board_fixture.h"

#include <cctype>
#include <csignal>
#include <unistd.h>

#include "text_out.h"

using namespace clitest;
namespace vb = vantrel_board;
using Json = nlohmann::json;

namespace {

class ConsoleSafety : public EmulatedBoardTest {
protected:
    std::vector<uint32_t> WriteAddresses(uint8_t command) const {
        std::vector<uint32_t> out;
        for (const auto& f : board_->ReceivedFrames())
            if (f.command == command) out.push_back(uint32_t(f.data[0]) << 8 | f.data[1]);
        return out;
    }
    // Runs a repair line as printed ("tolvane2-cli --device ... flash restore ...").
    Result RunLine(const std::string& line) {
        std::vector<std::string> words = Words(line);
        if (words.empty() || words.front() != "tolvane2-cli") return Result{};
        words.erase(words.begin());
        return Cli(words);
    }
};

// The repair line a failure printed after "run: ".
std::string RepairLine(const std::string& err) {
    const auto at = err.find("run: ");
    if (at == std::string::npos) return "";
    return err.substr(at + 5, err.find('\n', at) - at - 5);
}

TEST_F(ConsoleSafety, JsonShowsFileNamesThatAreNoUtf8) {
    const std::string name = P("x\xff.bin"), dump = P("d\xfe.bin"), nvDump = P("n\xfd.bin");
    WriteBytes(name, Bytes(20, 0x42));
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {name, {"flash", "write", "0x100", name, "--yes"}},
        {name, {"flash", "read", "0", "32", "-o", name}},
        {dump, {"flash", "dump", "-o", dump}},
        {dump, {"flash", "restore", dump, "--yes"}},
        {name, {"nvram", "write", "0", name, "--yes"}},
        {name, {"nvram", "read", "0", "16", "-o", name}},
        {nvDump, {"nvram", "dump", "-o", nvDump}},
        {nvDump, {"nvram", "restore", nvDump, "--yes"}},
    };
    for (const auto& [file, args] : cases) {
        SCOPED_TRACE(args[0] + " " + args[1]);
        std::vector<std::string> line = args;
        line.insert(line.begin(), "--json");
        Result r = OnBoard(line);
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.err.find("unexpected"), std::string::npos) << r.err;
        const Json j = Json::parse(r.out, nullptr, false);
        ASSERT_FALSE(j.is_discarded()) << r.out;
        EXPECT_EQ(j.value("file", ""), cli::ShownPath(file));
    }
}

TEST_F(ConsoleSafety, DashIsStandardOutput) {
    // In the test's folder: a file named "-" would be made here.
    const fs::path before = fs::current_path();
    fs::current_path(dir_);
    const std::vector<std::pair<std::string, Bytes>> cases = {
        {"flash read 0xFB00 64 -o -", board_->Flash(0xFB00, 64)},
        {"nvram read 0x10 20 -o -", board_->NvRam(0x10, 20)},
        {"flash dump -o -", board_->Flash(0, vb::kFlashSize)},
        {"nvram dump -o -", board_->NvRam(0, vb::kNvRamSize)},
    };
    for (const auto& [line, bytes] : cases) {
        SCOPED_TRACE(line);
        Result r = OnBoard(Words(line));
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.out, std::string(bytes.begin(), bytes.end()));
        EXPECT_FALSE(fs::exists("-"));
    }
    // The bytes and a JSON document cannot share standard output.
    board_->ClearRecord();
    Result both = OnBoard({"--json", "flash", "read", "0", "16", "-o", "-"});
    EXPECT_EQ(both.code, 2);
    EXPECT_EQ(Json::parse(both.out).value("ok", true), false) << both.out;
    EXPECT_TRUE(board_->ReceivedFrames().empty());
    fs::current_path(before);
}

TEST_F(ConsoleSafety, QuietLeavesOnlyErrors) {
    WriteBytes(P("d.bin"), Bytes(40, 0x33));
    ASSERT_EQ(OnBoard({"flash", "dump", "-o", P("f.bin")}).code, 0);
    board_->SetFlash(0x2000, Bytes(16, 0x77));
    const std::vector<std::string> quiet = {
        "flash write 0x100 D --yes --verify --backup B",
        "flash restore F --yes --verify --backup B",
        "nvram write 0x40 D --yes --verify",
        "nvram dump -o N",
        "flash read 0 16 -o O",
        "adjust set 2 5",
        "switch set 1 on",
        "reg write 0x100 7",
        "action 3",
    };
    auto expand = [this](const std::string& line) {
        std::vector<std::string> w = Words(line);
        for (auto& x : w)
            if (x.size() == 1 && std::isupper(static_cast<unsigned char>(x[0])))
                x = P(x == "D" ? "d.bin" : x == "F" ? "f.bin" : x + ".out");
        w.insert(w.begin(), "--quiet");
        return w;
    };
    for (const auto& line : quiet) {
        SCOPED_TRACE(line);
        Result r = OnBoard(expand(line));
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.err, "");
    }
    // Errors stay, without the plan.
    Result refused = OnBoard(expand("flash write 0x200 D"));
    EXPECT_EQ(refused.code, 2);
    EXPECT_EQ(refused.err, "tolvane2-cli: nothing was changed; add --yes to go on without a question\n");
}

TEST_F(ConsoleSafety, RestoreWritesEveryDifferingChunkAndNeedsForceOnlyOverRecords) {
    ASSERT_EQ(OnBoard({"flash", "dump", "-o", P("f.bin")}).code, 0);
    const Bytes image = ReadBytes(P("f.bin"));
    struct Case {
        uint32_t address;  // the one byte the board holds differently
        bool needsForce;
        uint32_t chunk;
    };
    const std::vector<Case> cases = {
        {0x000F, false, 0x0000},  // the last byte of the first chunk
        {0xF3FF, false, 0xF3F0},  // the last byte below the mode table
        {0xF400, true, 0xF400},   // the first byte of the mode table
        {0xF7FF, true, 0xF7F0},   // the end of Panel 1's gamma table
        {0xFBFF, true, 0xFBF0},   // the last byte of Panel 4's image
        {0xFC00, false, 0xFC00},  // past the panel images
        {0xFFFF, false, 0xFFF0},  // the last byte of flash
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        board_->SetFlash(c.address, {static_cast<uint8_t>(image[c.address] ^ 0x01)});
        board_->ClearRecord();
        Result r = OnBoard({"flash", "restore", P("f.bin"), "--yes"});
        EXPECT_EQ(r.code, c.needsForce ? 2 : 0) << r.err;
        if (c.needsForce) {
            EXPECT_TRUE(WriteAddresses(vb::kCmdWriteFlash).empty());
            r = OnBoard({"flash", "restore", P("f.bin"), "--yes", "--force"});
            EXPECT_EQ(r.code, 0) << r.err;
        }
        EXPECT_EQ(WriteAddresses(vb::kCmdWriteFlash), std::vector<uint32_t>{c.chunk});
        EXPECT_EQ(board_->Flash(c.address, 1), Bytes{image[c.address]});
    }
}

TEST_F(ConsoleSafety, RefusesABackupThatIsTheInputUnderAnotherName) {
    fs::create_directories(dir_ / "sub");
    WriteBytes(P("in.bin"), Bytes(32, 0x21));
    WriteBytes(P("nv.bin"), Bytes(vb::kNvRamSize, 0x22));
    WriteBytes(P("fl.bin"), Bytes(vb::kFlashSize, 0x23));
    for (const char* input : {"in.bin", "nv.bin", "fl.bin"})
        fs::create_hard_link(dir_ / input, dir_ / (std::string("link-") + input));
    const std::vector<std::vector<std::string>> cases = {
        {"flash", "write", "0x100", P("in.bin"), "--yes", "--backup", P("link-in.bin")},
        {"flash", "write", "0x100", P("in.bin"), "--yes", "--backup", P("sub/../in.bin")},
        {"nvram", "write", "0", P("in.bin"), "--yes", "--backup", P("sub/../in.bin")},
        {"flash", "restore", P("fl.bin"), "--yes", "--force", "--backup", P("link-fl.bin")},
        {"nvram", "restore", P("nv.bin"), "--yes", "--backup", P("link-nv.bin")},
        {"nvram", "restore", P("nv.bin"), "--yes", "--backup", P("sub/../nv.bin")},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(args[0] + " " + args[1] + " " + args.back());
        Result r = OnBoard(args);
        EXPECT_EQ(r.code, 2) << r.err;
        EXPECT_NE(r.err.find("nothing was sent"), std::string::npos) << r.err;
    }
    EXPECT_TRUE(board_->ReceivedFrames().empty());
    EXPECT_EQ(ReadBytes(P("in.bin")), Bytes(32, 0x21));
    EXPECT_EQ(ReadBytes(P("nv.bin")), Bytes(vb::kNvRamSize, 0x22));
    EXPECT_EQ(ReadBytes(P("fl.bin")), Bytes(vb::kFlashSize, 0x23));
}

TEST_F(ConsoleSafety, NvRamRangesEndAtTheSizeTheBoardGives) {
    const std::vector<std::pair<std::string, int>> cases = {
        {"nvram read 8190 4", 2},  // past 0x1FFF
        {"nvram read 8188 4", 0},  // the last four bytes
        {"nvram dump --size 65536 -o N", 2},
        {"nvram dump --size 0x2001 -o N", 2},
        {"nvram dump --size 0x100 -o N", 0},
    };
    for (const auto& [line, code] : cases) {
        SCOPED_TRACE(line);
        board_->ClearRecord();
        std::vector<std::string> w = Words(line);
        if (w.back() == "N") w.back() = P("n.bin");
        Result r = OnBoard(w);
        EXPECT_EQ(r.code, code) << r.err;
        if (code == 2) {
            EXPECT_NE(r.err.find("0x0000..0x1FFF"), std::string::npos) << r.err;
            EXPECT_EQ(FramesOf(vb::kCmdReadNvRam), 0u);
        }
    }

    // A silent board is a failed line, not a missing size.
    vb::Faults faults;
    faults.dropAnswerFrame = board_->ExecutedFrameCount() + 1;
    board_->SetFaults(faults);
    Result silent = OnBoard({"nvram", "dump", "-o", P("s.bin")});
    EXPECT_EQ(silent.code, 1);
    EXPECT_EQ(silent.err.find("does not give"), std::string::npos) << silent.err;
    EXPECT_NE(silent.err.find("no valid answer"), std::string::npos) << silent.err;
    board_->SetFaults({});

    // A board that gives no size: the backup advice is a command that works.
    board_->SetRegister(vb::kNvRamSizeRegister, 0);
    WriteBytes(P("d.bin"), Bytes(16, 1));
    board_->ClearRecord();
    Result backup = OnBoard({"nvram", "write", "0", P("d.bin"), "--yes", "--backup", P("b.bin")});
    EXPECT_EQ(backup.code, 2);
    EXPECT_EQ(backup.err.find("add --size"), std::string::npos) << backup.err;
    EXPECT_NE(backup.err.find("nvram dump --size SIZE -o"), std::string::npos) << backup.err;
    EXPECT_EQ(FramesOf(vb::kCmdWriteNvRam), 0u);
}

TEST_F(ConsoleSafety, FlashWriteCountsAndWritesOnlyWhatDiffers) {
    Bytes data = board_->Flash(0x100, 32);
    WriteBytes(P("same.bin"), data);
    board_->ClearRecord();
    Result same = OnBoard({"flash", "write", "0x100", P("same.bin")});
    EXPECT_EQ(same.code, 0) << same.err;
    EXPECT_NE(same.err.find("already holds"), std::string::npos) << same.err;
    EXPECT_EQ(FramesOf(vb::kCmdWriteFlash), 0u);

    for (int i = 2; i < 12; ++i) data[i] ^= 0x80;
    WriteBytes(P("ten.bin"), data);
    board_->ClearRecord();
    Result ten = OnBoard({"flash", "write", "0x100", P("ten.bin"), "--yes"});
    EXPECT_EQ(ten.code, 0) << ten.err;
    EXPECT_NE(ten.err.find("will change 10 of 32 bytes"), std::string::npos) << ten.err;
    EXPECT_EQ(WriteAddresses(vb::kCmdWriteFlash), std::vector<uint32_t>{0x100});
    EXPECT_EQ(board_->Flash(0x100, 32), data);
}

// Ctrl-C while a test runs: the tool's own watch takes it; without one this
// handler keeps the test process alive so that the test fails instead.
volatile std::sig_atomic_t g_testInterrupts = 0;
extern "C" void CountInterrupt(int) { g_testInterrupts = 1; }

class InterruptCatcher {
public:
    InterruptCatcher() {
        struct sigaction sa {};
        sa.sa_handler = CountInterrupt;
        sigemptyset(&sa.sa_mask);
        sigaction(SIGINT, &sa, &old_);
    }
    ~InterruptCatcher() { sigaction(SIGINT, &old_, nullptr); }

private:
    struct sigaction old_ {};
};

struct PartCase {
    std::string name;
    enum { Drop, Echo, Interrupt } fault;
    bool nvram;
    bool backup;
};

// The board's answers for a case: Ctrl-C after the 36th write chunk, or the
// 37th chunk's answer dropped or echoed with one byte changed.
vb::AnswerHook PartFault(const PartCase& c, int& writes) {
    const uint8_t cmd = c.nvram ? vb::kCmdWriteNvRam : vb::kCmdWriteFlash;
    return [&writes, cmd, fault = c.fault](const vb::Frame& f) -> std::optional<Bytes> {
        if (f.command != cmd) return std::nullopt;
        ++writes;
        if (fault == PartCase::Interrupt && writes == 36) ::kill(::getpid(), SIGINT);
        if (writes != 37 || fault == PartCase::Interrupt) return std::nullopt;
        if (fault == PartCase::Drop) return Bytes{};
        Bytes echo = f.data;
        echo[3] ^= 0xFF;
        return vb::EncodeFrame(f.address, f.command, echo);
    };
}

TEST_F(ConsoleSafety, AWriteThatStopsPartWaySaysWhatIsWrittenAndHowToRepairIt) {
    const InterruptCatcher catcher;
    const std::vector<PartCase> cases = {
        {"restore, Ctrl-C, backup", PartCase::Interrupt, false, true},
        {"restore, dropped answer", PartCase::Drop, false, false},
        {"restore, echo differs, backup", PartCase::Echo, false, true},
        {"nvram write, dropped answer", PartCase::Drop, true, false},
        {"nvram write, Ctrl-C, backup", PartCase::Interrupt, true, true},
    };
    const Bytes oldFlash = board_->Flash(0, vb::kFlashSize), oldNv = board_->NvRam(0, vb::kNvRamSize);
    for (const PartCase& c : cases) {
        SCOPED_TRACE(c.name);
        board_->SetFlash(0, oldFlash);
        board_->SetNvRam(0, oldNv);
        // 100 chunks that differ from the board: 0x1000..0x163F.
        Bytes image = c.nvram ? Bytes(1600, 0x5C) : oldFlash;
        for (uint32_t a = 0x1000; a < 0x1640 && !c.nvram; ++a) image[a] ^= 0xA5;
        WriteBytes(P("img.bin"), image);
        const std::string what = c.nvram ? "nvram write 0x1000 " + P("img.bin") : "flash restore " + P("img.bin");
        std::vector<std::string> args = Words("--json " + what + " --yes");
        if (c.backup) args.insert(args.end(), {"--backup", P("bk.bin")});
        int writes = 0;
        board_->SetAnswerHook(PartFault(c, writes));
        g_testInterrupts = 0;
        Result r = OnBoard(args);
        board_->SetAnswerHook(nullptr);
        EXPECT_EQ(g_testInterrupts, 0) << "the tool did not watch for Ctrl-C";
        EXPECT_EQ(r.code, 1) << r.err;
        EXPECT_EQ(writes, c.fault == PartCase::Interrupt ? 36 : 37);
        const std::string state =
            c.fault == PartCase::Interrupt ? "; not written: 0x1240..0x163F"
            : c.fault == PartCase::Drop
                ? "; the chunk at 0x1240..0x124F got no answer and may be partly written; not written: 0x1250..0x163F"
                : "; the chunk at 0x1240..0x124F was echoed differently and may hold other bytes; not written: "
                  "0x1250..0x163F";
        EXPECT_NE(r.err.find("is now incomplete: the " + Words(what)[1] +
                             " stopped after 36 of its 100 chunks; written: 0x1000..0x123F"),
                  std::string::npos)
            << r.err;
        EXPECT_NE(r.err.find(state), std::string::npos) << r.err;
        const std::string expected = "tolvane2-cli --device " + board_->SlavePath() + " " +
                                     (c.backup ? Words(what)[0] + " restore " + P("bk.bin") : what) + " --yes --verify";
        EXPECT_EQ(RepairLine(r.err), expected);
        const Json j = Json::parse(r.out, nullptr, false);
        EXPECT_EQ(j.value("ok", true), false) << r.out;
        EXPECT_EQ(j.value("incomplete", false), true);
        EXPECT_EQ(j.value("repairCommand", ""), expected);

        // The line printed repairs the board.
        Result fixed = RunLine(RepairLine(r.err));
        EXPECT_EQ(fixed.code, 0) << fixed.err;
        EXPECT_EQ(board_->Flash(0, vb::kFlashSize), c.backup || c.nvram ? oldFlash : image);
        if (c.nvram) {
            EXPECT_EQ(board_->NvRam(0x1000, 1600),
                      c.backup ? Bytes(oldNv.begin() + 0x1000, oldNv.begin() + 0x1640) : image);
        }
    }
}

}  // namespace
