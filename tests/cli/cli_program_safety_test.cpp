// What the program command promises, through the real program and emulated
// boards: jobs refused before any board is touched, the state and backups the
// report names when a board fails or its worker dies, restore lines that work
// from the shell, and the output conventions (--json, --quiet, the table).
#include "board_fixture.h"

#define TOLVANE2_CLI_PROGRAM TOLVANE2_CLI
#include "cli_process.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

#include <fcntl.h>
#include <glob.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "program/program_job.h"
#include "tolvane/files.h"
#include "tolvane/modes.h"
#include "valid_panel.h"
#include "vantrel.h"

using namespace clitest;
using Json = nlohmann::ordered_json;

namespace {

constexpr uint32_t kSlot2Image = VANTREL_PANEL_IMAGE_BASE + VANTREL_PANEL_IMAGE_SIZE;
constexpr uint32_t kSlot2Gamma = VANTREL_GAMMA_BASE + VANTREL_GAMMA_SIZE;
constexpr uint32_t kRecords = VANTREL_MODE_TABLE_BASE;  // the record areas, up to VANTREL_RECORD_AREAS_END

// A program (by default the built tolvane2-cli) in a process group of its
// own, as a shell starts a job.
pid_t Spawn(std::vector<std::string> all, const fs::path& cwd, const fs::path& out, const fs::path& err) {
    if (all.front()[0] != '/') all.insert(all.begin(), TOLVANE2_CLI);
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        const int in = ::open("/dev/null", O_RDONLY);
        const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || o < 0 || e < 0 || ::dup2(in, 0) < 0 || ::dup2(o, 1) < 0 || ::dup2(e, 2) < 0 ||
            ::chdir(cwd.c_str()) != 0)
            ::_exit(126);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

int Wait(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// The first process whose parent is `parent` (a worker of the program).
pid_t ChildOf(pid_t parent) {
    for (const auto& e : fs::directory_iterator("/proc")) {
        if (e.path().filename().string().find_first_not_of("0123456789") != std::string::npos) continue;
        const std::string stat = ReadText(e.path() / "stat");
        const auto close = stat.rfind(')');
        int ppid = 0;
        if (close != std::string::npos && std::sscanf(stat.c_str() + close + 1, " %*c %d", &ppid) == 1 &&
            ppid == parent)
            return static_cast<pid_t>(std::stoi(e.path().filename().string()));
    }
    return -1;
}

template <typename Done>
bool WaitFor(Done done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return done();
}

// Runs a restore line through the shell from another folder, with the
// program's name replaced by the built one.
int RunRestore(std::string line) {
    for (std::size_t at = 0; (at = line.find("tolvane2-cli ", at)) != std::string::npos;) {
        if (at != 0 && line.compare(at - 3, 3, "&& ") != 0) {
            ++at;
            continue;
        }
        line.replace(at, 12, TOLVANE2_CLI);
        at += std::strlen(TOLVANE2_CLI);
    }
    return std::system(("exec >/dev/null 2>&1; cd / && " + line).c_str());
}

std::size_t CodePoints(const std::string& s) {
    std::size_t n = 0;
    for (unsigned char c : s) n += (c & 0xC0) != 0x80;
    return n;
}

class ProgramSafety : public EmulatedBoardTest {
protected:
    void SetUp() override {
        EmulatedBoardTest::SetUp();
        PanelRecord panel = ValidPanel("NEW");
        panel.panelFlags |= kUseGamma;
        for (int i = 0; i < 256; ++i) panel.gammaTable.level[i] = static_cast<uint8_t>(255 - i);
        ASSERT_TRUE(WritePanelFile(P("p.PNL"), panel));
        ModeTable modes{};
        SetModeTableDefaults(modes);
        ASSERT_TRUE(WriteModeFile(P("m.MOD"), modes));
        modes.modeCount = 0;  // a mode file the checks reject
        ASSERT_TRUE(WriteModeFile(P("none.MOD"), modes));
        // Slot 2 holds a panel that uses no gamma table, over a table of its own.
        Bytes image = board_->Flash(kSlot2Image, 64);
        image[0x3A] &= static_cast<uint8_t>(~0x10);
        board_->SetFlash(kSlot2Image, image);
        board_->SetFlash(kSlot2Gamma, Bytes(256, 0x5A));
        before_ = Records();
        dev_ = board_->SlavePath();
    }
    Bytes Records() const { return board_->Flash(kRecords, VANTREL_RECORD_AREAS_END - kRecords); }
    ProcessResult Program(std::vector<std::string> args) {
        args.insert(args.begin(), "program");
        return RunProgram(args, dir_.string(), "", 60);
    }
    Json Report(std::size_t i = 0) {
        std::istringstream in(ReadText(P("r.jsonl")));
        std::string line;
        for (std::size_t k = 0; k <= i; ++k) std::getline(in, line);
        return Json::parse(line, nullptr, false);
    }
    Bytes before_;
    std::string dev_;
};

TEST_F(ProgramSafety, JobsThatCannotRunAreRefusedBeforeAnyBoardIsTouched) {
    PanelRecord low = ValidPanel("LOW");
    low.vFreqMin = 80;  // over vFreqMax
    ASSERT_TRUE(WritePanelFile(P("low.PNL"), low));
    fs::create_symlink(P("m.MOD"), P("link.MOD"));
    ASSERT_EQ(::mkfifo(P("fifo").c_str(), 0600), 0);
    const std::string lines = R"("lines": [{"device": ")" + dev_ + "\"}]}";
    const std::string modes = R"({"modes": "m.MOD", )";
    const struct {
        std::string job;  // the job file, when there is one
        std::vector<std::string> args;
        std::string inErr;
    } cases[] = {
        {"", {"--modes", "m.MOD", "--report", "./link.MOD", dev_}, "is the input file"},
        {R"({"panel": "p.PNL", "slot": 2, "report": "p.PNL", )" + lines, {}, "is the input file"},
        {modes + R"("report": "link.MOD", )" + lines, {}, "is the input file"},
        {modes + R"("report": "./job.json", )" + lines, {}, "is the job file"},
        {modes + R"("report": "/proc/r.jsonl", )" + lines, {}, "cannot write the report"},
        {modes + R"("report": "/tmp", )" + lines, {}, "cannot write the report: is a folder"},
        {modes + R"("report": ")" + dev_ + "\", " + lines, {}, "is the serial device"},
        {modes + R"("backupDir": "m.MOD/bk", )" + lines, {}, "cannot make the backup folder"},
        {"", {"--modes", "m.MOD", "--backup-dir", "m.MOD/bk", dev_}, "cannot make the backup folder"},
        {R"({"panel": "fifo", "slot": 1, )" + lines, {}, "fifo: not a regular file"},
        {modes + R"("lines": [{"device": ")" + dev_ + R"(", "addresses": []}]})", {}, "\"addresses\" is empty"},
        {"", {"--modes", "m.MOD", "--addresses", "", dev_}, "--addresses is empty"},
        {modes + R"("modes": "none.MOD", )" + lines, {}, "the key \"modes\" is given twice"},
        {R"({"lines": [{"device": "x", "device": "y"}], "modes": "m.MOD"})", {}, "\"device\" is given twice"},
        {"", {"--modes", "none.MOD", dev_}, "none.MOD has 1 error; nothing was sent (--force"},
        {"", {"--panel", "low.PNL", "--slot", "2", dev_}, "low.PNL: error: vFreqTyp"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        if (!c.job.empty()) {
            WriteText(P("job.json"), c.job);
            args = {"--job", "job.json"};
        }
        const Bytes panel = ReadBytes(P("p.PNL")), mod = ReadBytes(P("m.MOD")), job = ReadBytes(P("job.json"));
        const ProcessResult r = Program(args);
        EXPECT_EQ(r.code, 2) << c.job << r.err;
        EXPECT_NE(r.err.find(c.inErr), std::string::npos) << c.inErr << "\n" << r.err;
        EXPECT_EQ(ReadBytes(P("p.PNL")), panel);
        EXPECT_EQ(ReadBytes(P("m.MOD")), mod);
        EXPECT_EQ(ReadBytes(P("job.json")), job);
    }
    EXPECT_EQ(board_->ExecutedFrameCount(), 0u);
    EXPECT_FALSE(fs::exists(P("m.MOD/bk")));
}

TEST_F(ProgramSafety, ForceWritesWhatTheChecksReject) {
    WriteText(P("job.json"), R"({"modes": "none.MOD", "force": true, "lines": [{"device": ")" + dev_ + "\"}]}");
    for (const auto& args : {std::vector<std::string>{"--modes", "none.MOD", "--force", dev_}, {"--job", "job.json"}}) {
        const std::size_t writes = WriteFrames();
        const ProcessResult r = Program(args);
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_NE(r.err.find("despite 1 error (--force)"), std::string::npos) << r.err;
        EXPECT_EQ(WriteFrames(), writes + VANTREL_MODE_TABLE_SIZE / VANTREL_FLASH_CHUNK);
    }
}

TEST(ProgramAddresses, TakenAsTheConsoleTakesNumbers) {
    std::vector<int> out;
    std::string error;
    const std::pair<const char*, std::vector<int>> taken[] = {{"0x05", {5}}, {"1,0x0A,0XfE", {1, 10, 254}}, {"7", {7}}};
    for (const auto& [text, want] : taken) {
        EXPECT_TRUE(cli::ParseAddressList(text, out, error)) << text << error;
        EXPECT_EQ(out, want) << text;
    }
    for (const char* text : {"", "1,,2", "0x", "0xff", "255", "-1", "1e3", "5 "}) {
        error.clear();
        EXPECT_FALSE(cli::ParseAddressList(text, out, error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
}

TEST_F(ProgramSafety, VerifyFindsABlockThatDiffersOnlyInItsLastByte) {
    for (uint32_t last : {kSlot2Image + 63, kSlot2Gamma + 255, VANTREL_MODE_TABLE_BASE + 767}) {
        vantrel_board::Faults weak;
        weak.corruptStoreAddress = static_cast<int32_t>(last);
        board_->SetFaults(weak);
        const ProcessResult r =
            Program({"--panel", "p.PNL", "--slot", "2", "--modes", "m.MOD", "--verify", "--report", "r.jsonl", dev_});
        EXPECT_EQ(r.code, 1) << r.err;
        const Json j = Report();
        EXPECT_EQ(j["verify"], "failed");
        EXPECT_EQ(j["state"], "written");
        char at[16];
        std::snprintf(at, sizeof at, "0x%04X", last);
        EXPECT_NE(cli::DumpJsonLine(j["error"]).find(at), std::string::npos) << j["error"];
    }
}

// Frame 1 is the version, frame 2 the first chunk of the panel image. A chunk
// whose answer is lost or wrong was carried out by the board.
TEST_F(ProgramSafety, ABoardWhoseFirstWriteChunkFailsIsHalfWritten) {
    vantrel_board::Faults lost, altered, silent;
    lost.dropAnswerFrame = 2;
    altered.alterEchoFrame = 2;
    silent.dropAnswerFrame = 1;
    const struct {
        vantrel_board::Faults faults;
        const char* step;
        const char* state;
    } cases[] = {{lost, "write", "half-written"}, {altered, "write", "half-written"}, {silent, "version", "untouched"}};
    for (const auto& c : cases) {
        board_->SetFlash(kRecords, before_);
        const std::uint64_t frames = board_->ExecutedFrameCount();
        vantrel_board::Faults f = c.faults;  // frames count from the board's start
        f.dropAnswerFrame += f.dropAnswerFrame ? frames : 0;
        f.alterEchoFrame += f.alterEchoFrame ? frames : 0;
        board_->SetFaults(f);
        const ProcessResult r = Program({"--panel", "p.PNL", "--slot", "2", "--report", "r.jsonl", dev_});
        board_->SetFaults({});
        EXPECT_EQ(r.code, 1) << r.err;
        const Json j = Report();
        EXPECT_EQ(j["step"], c.step) << j.dump();
        EXPECT_EQ(j["state"], c.state) << j.dump();
        EXPECT_EQ(Records() != before_, j["state"] != "untouched") << j.dump();
        EXPECT_EQ(board_->ExecutedFrameCount() - frames, std::string(c.step) == "write" ? 2u : 1u);
    }
}

TEST_F(ProgramSafety, AWorkerKilledMidWriteLeavesItsBackupsInTheReport) {
    vantrel_board::Faults slow;
    slow.delayMs = 4;
    board_->SetFaults(slow);
    const pid_t pid = Spawn({"program", "--panel", "p.PNL", "--slot", "2", "--modes", "m.MOD", "--backup-dir", "bk",
                             "--report", "r.jsonl", dev_},
                            dir_, P("out"), P("err"));
    // Frame 1 is the version, 2..69 the backup (image, gamma table, modes), 70..137 the write.
    ASSERT_TRUE(WaitFor([&] { return board_->ExecutedFrameCount() >= 90; }));
    const pid_t worker = ChildOf(pid);
    ASSERT_GT(worker, 0);
    ASSERT_EQ(::kill(worker, SIGKILL), 0);
    ASSERT_EQ(Wait(pid), 1) << ReadText(P("err"));
    board_->SetFaults({});
    const Json j = Report();
    EXPECT_EQ(j["state"], "half-written") << j.dump();
    EXPECT_NE(j["error"].get<std::string>().find("killed by signal 9"), std::string::npos) << j.dump();
    for (const char* what : {"panel", "gamma", "modes"}) EXPECT_TRUE(fs::exists(j["backups"].value(what, "?"))) << what;
    ASSERT_TRUE(j["restore"].is_string()) << j.dump();
    EXPECT_NE(ReadText(P("err")).find("restore it with: " + j["restore"].get<std::string>()), std::string::npos);
    EXPECT_EQ(RunRestore(j["restore"]), 0) << j["restore"];
    EXPECT_EQ(Records(), before_);
}

// The device as typed (relative to where the program ran), backup folders
// with a blank or an apostrophe: the line works from another folder and puts
// back the slot, its gamma table and the mode table.
TEST_F(ProgramSafety, RestoreLinesRunThroughTheShellFromAnyFolder) {
    fs::create_symlink(dev_, P("line 1"));
    for (const char* folder : {"back ups", "it's", "a 'b' \"c\""}) {
        board_->SetFlash(kRecords, before_);
        vantrel_board::Faults weak;
        weak.corruptStoreAddress = VANTREL_MODE_TABLE_BASE + 767;
        board_->SetFaults(weak);
        const ProcessResult r = Program({"--panel", "p.PNL", "--slot", "2", "--modes", "m.MOD", "--verify",
                                         "--backup-dir", folder, "--report", "r.jsonl", "line 1"});
        board_->SetFaults({});
        ASSERT_EQ(r.code, 1) << r.err;
        const std::string restore = Report().value("restore", "");
        EXPECT_NE(restore.find(P("line 1")), std::string::npos) << restore;
        EXPECT_NE(restore.find("--verify"), std::string::npos) << restore;
        EXPECT_NE(Records(), before_);
        EXPECT_EQ(RunRestore(restore), 0) << restore;
        EXPECT_EQ(Records(), before_) << restore;
    }
}

TEST_F(ProgramSafety, CtrlCDuringAScanIsSaidInTheReport) {
    const pid_t pid =
        Spawn({"program", "--modes", "m.MOD", "--scan", "--report", "r.jsonl", dev_}, dir_, P("out"), P("err"));
    // Address 0 answers at once; every other address is waited for.
    ASSERT_TRUE(WaitFor([&] { return board_->ExecutedFrameCount() >= 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ASSERT_EQ(::kill(-pid, SIGINT), 0);
    ASSERT_EQ(Wait(pid), 1) << ReadText(P("err"));
    const Json scan = Report();
    EXPECT_TRUE(scan["address"].is_null()) << scan.dump();
    EXPECT_EQ(scan["result"], "interrupted");
    EXPECT_EQ(scan["step"], "scan");
    EXPECT_NE(scan["error"].get<std::string>().find("scan was stopped"), std::string::npos) << scan.dump();
    EXPECT_EQ(Report(1)["address"], 0);
    EXPECT_EQ(Report(1)["state"], "untouched");
}

TEST_F(ProgramSafety, TheSummaryLinesUpNamesThatAreNotAscii) {
    vantrel_board::Options options;
    options.baud = 0;
    vantrel_board::Board second(options);
    ASSERT_TRUE(second.Start());
    fs::create_symlink(dev_, P("l\xC3\xADnea-\xC3\xBC"));
    fs::create_symlink(second.SlavePath(), P("line-2"));
    const ProcessResult r = Program({"--modes", "m.MOD", "l\xC3\xADnea-\xC3\xBC", "line-2", P("line-2") + "x"});
    second.Stop();
    EXPECT_EQ(r.code, 1) << r.err;
    std::istringstream in(r.out);
    std::vector<std::size_t> widths;
    for (std::string line; std::getline(in, line) && line.find(" of ") == std::string::npos;)
        widths.push_back(CodePoints(line));
    ASSERT_EQ(widths.size(), 4u) << r.out;
    for (std::size_t w : widths) EXPECT_EQ(w, widths[0]) << r.out;
}

TEST_F(ProgramSafety, JsonLinesOnStdoutAndQuietHidesAllButErrors) {
    for (const bool json : {false, true})
        for (const bool quiet : {false, true}) {
            std::vector<std::string> args = {"--modes", "m.MOD", "--report", "r.jsonl", dev_, P("none")};
            if (json) args.push_back("--json");
            if (quiet) args.push_back("--quiet");
            const ProcessResult r = Program(args);
            EXPECT_EQ(r.code, 1) << r.err;
            EXPECT_EQ(r.err.find(": write") != std::string::npos, !quiet) << r.err;
            EXPECT_EQ(r.err.find("Report written to") != std::string::npos, !quiet) << r.err;
            EXPECT_NE(r.err.find("tolvane2-cli: " + P("none") + " address 0: FAILED at open"), std::string::npos);
            if (!json) {
                EXPECT_NE(r.out.find("1 of 2 boards ok"), std::string::npos) << r.out;
                continue;
            }
            std::istringstream in(r.out);
            std::vector<Json> lines;
            for (std::string line; std::getline(in, line);) lines.push_back(Json::parse(line, nullptr, false));
            ASSERT_EQ(lines.size(), 3u) << r.out;
            EXPECT_EQ(lines[0], Report(0));
            EXPECT_EQ(lines[1], Report(1));
            EXPECT_EQ(lines[2]["ok"], false);
            EXPECT_EQ(lines[2]["exitCode"], 1);
            EXPECT_EQ(lines[2]["boards"], 2);
            EXPECT_EQ(lines[2]["boardsOk"], 1);
        }
}

#ifdef VANTREL_BOARD_PROGRAM
// The script's own example: `program ... DIR/board*` names the boards and
// nothing else, also once the boards keep their flash in files.
TEST_F(ProgramSafety, TheEmulatedLineExampleGlobMatchesOnlyTheBoards) {
    ::setenv("VANTREL_BOARD", VANTREL_BOARD_PROGRAM, 1);
    const pid_t pid = Spawn({"/bin/bash", EMULATED_LINE_SCRIPT, "2", P("line")}, dir_, P("out"), P("err"));
    ASSERT_TRUE(WaitFor([&] { return ReadText(P("out")).find("board2\n") != std::string::npos; }))
        << ReadText(P("err"));
    EXPECT_EQ(Program({"--modes", "m.MOD", P("line/board1"), P("line/board2")}).code, 0);
    auto files = [&] {
        std::size_t n = 0;
        for (const auto& e : fs::recursive_directory_iterator(P("line"))) n += e.is_regular_file() && !e.is_symlink();
        return n;
    };
    EXPECT_TRUE(WaitFor([&] { return files() == 2; }));
    glob_t g{};
    ASSERT_EQ(::glob((P("line") + "/board*").c_str(), 0, nullptr, &g), 0);
    EXPECT_EQ(g.gl_pathc, 2u);
    for (std::size_t i = 0; i < g.gl_pathc; ++i) EXPECT_TRUE(fs::is_character_file(g.gl_pathv[i])) << g.gl_pathv[i];
    ::globfree(&g);
    ::kill(-pid, SIGTERM);
    Wait(pid);
}
#endif

}  // namespace
