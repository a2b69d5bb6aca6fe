// The program command end to end: the built tolvane2-cli as a subprocess,
// eight emulated boards on eight pseudo-terminals, two of them faulty, and
// Ctrl-C (or a SIGTERM to the parent alone) in the middle of a job.
#include "cli_harness.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <set>
#include <csignal>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "program/program_job.h"
#include "sha256.h"
#include "files/record_files.h"

using cli::RecordFile;
#include "tolvane/modes.h"
#include "tolvane/panel.h"
#include "vantrel_board/board.h"

#include <nlohmann/json.hpp>

extern char** environ;

using namespace clitest;
using Json = nlohmann::ordered_json;
using vantrel_board::Board;

namespace {

constexpr uint32_t kSlot2Image = 0xFB40;
constexpr uint32_t kSlot2Gamma = 0xF800;
constexpr int kBoards = 8;

// The program started in the background with its output in files.
struct Child {
    pid_t pid = -1;
    int Wait() const {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
};

// In a process group of its own, as a shell runs a job: Ctrl-C reaches the group.
Child Start(const std::vector<std::string>& args, const fs::path& out, const fs::path& err) {
    std::vector<std::string> all = {TOLVANE2_CLI};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&fa, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    Child c;
    EXPECT_EQ(posix_spawn(&c.pid, TOLVANE2_CLI, &fa, &attr, argv.data(), environ), 0);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&fa);
    return c;
}

constexpr auto ReadReport = &ReadJsonLines<Json>;

std::string Sha(const Bytes& b) { return cli::Sha256Hex(b.data(), b.size()); }

class ProgramTest : public TempDirTest {
protected:
    void StartBoards(const std::vector<vantrel_board::Faults>& faults) {
        for (int i = 0; i < kBoards; ++i) {
            vantrel_board::Options options;
            options.baud = 0;
            options.faults = faults[static_cast<std::size_t>(i)];
            boards_.push_back(std::make_unique<Board>(options));
            ASSERT_TRUE(boards_.back()->Start()) << boards_.back()->LastError();
            devices_.push_back(boards_.back()->SlavePath());
        }
        factory_ = boards_[0]->Flash(0, vantrel_board::kFlashSize);
    }
    void TearDown() override {
        for (auto& b : boards_) b->Stop();
        TempDirTest::TearDown();
    }

    // A panel that uses its gamma table, read from a board whose slot 1 was changed.
    void MakeFiles() {
        vantrel_board::Options options;
        options.baud = 0;
        Board b(options);
        ASSERT_TRUE(b.Start());
        Bytes image = b.Flash(0xFB00, 64);
        image[0] = 'Q';
        image[0x3A] |= 0x10;
        b.SetFlash(0xFB00, image);
        Bytes gamma(256);
        for (int i = 0; i < 256; ++i) gamma[static_cast<std::size_t>(i)] = static_cast<uint8_t>(255 - i);
        b.SetFlash(0xF700, gamma);
        ASSERT_EQ(Cli({"--device", b.SlavePath(), "panel", "read", "1", "-o", P("p.PNL")}).code, 0);
        ASSERT_EQ(Cli({"--device", b.SlavePath(), "modes", "read", "-o", P("m.MOD")}).code, 0);
        b.Stop();
        gamma_ = gamma;
    }

    std::vector<std::unique_ptr<Board>> boards_;
    std::vector<std::string> devices_;
    Bytes factory_, gamma_;
};

Bytes Slice(const Bytes& b, uint32_t at, std::size_t n) { return Bytes(b.begin() + at, b.begin() + at + n); }

TEST_F(ProgramTest, EightPortsTwoFaultyBoardsFailAloneAndKeepTheirBackups) {
    MakeFiles();
    std::vector<vantrel_board::Faults> faults(kBoards);
    // Frame 1 is the version, 2..69 the backup (image, gamma, modes), 70 on the
    // write: frame 75 is the gamma table's second chunk.
    faults[2].dropAnswerFrame = 75;
    faults[5].corruptStoreAddress = static_cast<int32_t>(kSlot2Gamma + 5);
    StartBoards(faults);
    std::vector<std::string> args = {"program",  "--panel",  P("p.PNL"),     "--slot",     "2",        "--modes",
                                     P("m.MOD"), "--verify", "--backup-dir", P("backups"), "--report", P("r.jsonl")};
    args.insert(args.end(), devices_.begin(), devices_.end());
    const Child c = Start(args, P("out"), P("err"));
    ASSERT_EQ(c.Wait(), 1) << ReadText(P("err"));

    const auto report = ReadReport(P("r.jsonl"));
    ASSERT_EQ(report.size(), static_cast<std::size_t>(kBoards));
    for (int i = 0; i < kBoards; ++i) {
        SCOPED_TRACE("board " + std::to_string(i));
        const Json& r = report[static_cast<std::size_t>(i)];
        const Board& b = *boards_[static_cast<std::size_t>(i)];
        EXPECT_EQ(r["port"], devices_[static_cast<std::size_t>(i)]);
        EXPECT_EQ(r["address"], 0);
        EXPECT_EQ(r["version"], "2.1");
        EXPECT_EQ(r["slot"], 2);
        const Bytes image = b.Flash(kSlot2Image, 64), gamma = b.Flash(kSlot2Gamma, 256);
        // Every board's old slot 2 and mode table are in its own backup files.
        RecordFile backup;
        std::string error;
        ASSERT_TRUE(
            cli::LoadRecordFile(r["backups"]["panel"].get<std::string>(), cli::FileKindId::Panel, backup, error))
            << error;
        PanelImage oldImage{};
        GammaTable oldGamma{};
        PanelRecordToImage(backup.panel, oldImage, oldGamma);
        EXPECT_EQ(Bytes(oldImage.bytes, oldImage.bytes + 64), Slice(factory_, kSlot2Image, 64));
        ASSERT_TRUE(fs::exists(r["backups"]["modes"].get<std::string>()));
        if (i == 2) {
            EXPECT_EQ(r["result"], "failed");
            EXPECT_EQ(r["step"], "write");
            EXPECT_EQ(r["state"], "half-written");
            EXPECT_EQ(r["verify"], "not reached");
        } else if (i == 5) {
            EXPECT_EQ(r["result"], "failed");
            EXPECT_EQ(r["step"], "verify");
            EXPECT_EQ(r["state"], "written");
            EXPECT_EQ(r["verify"], "failed");
            EXPECT_NE(r["error"].get<std::string>().find("0xF805"), std::string::npos) << r["error"];
        } else {
            EXPECT_EQ(r["result"], "ok");
            EXPECT_EQ(r["verify"], "ok");
            EXPECT_TRUE(r["error"].is_null());
            EXPECT_EQ(gamma, gamma_);
            EXPECT_EQ(r["sha256"]["panelImage"], Sha(image));
            EXPECT_EQ(r["sha256"]["gammaTable"], Sha(gamma));
            EXPECT_EQ(r["sha256"]["modeTable"], Sha(b.Flash(0xF400, 768)));
            EXPECT_EQ(b.ResetCount(), 1u);
        }
    }
    EXPECT_NE(ReadText(P("out")).find("6 of 8 boards ok"), std::string::npos) << ReadText(P("out"));

    // The exit lines name a restore command that puts the old slot back.
    boards_[5]->SetFaults({});
    const std::string err = ReadText(P("err"));
    for (int i : {2, 5}) {
        const std::string restore = report[static_cast<std::size_t>(i)]["restore"].get<std::string>();
        EXPECT_NE(err.find(restore), std::string::npos) << err;
        std::string command = "exec 2>/dev/null; " + restore;
        for (std::size_t at = 0; (at = command.find("tolvane2-cli ", at)) != std::string::npos;)
            command.replace(at, 12, TOLVANE2_CLI), at += std::strlen(TOLVANE2_CLI);
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        EXPECT_EQ(boards_[static_cast<std::size_t>(i)]->Flash(kSlot2Image, 64), Slice(factory_, kSlot2Image, 64));
        EXPECT_EQ(boards_[static_cast<std::size_t>(i)]->Flash(kSlot2Gamma, 256), Slice(factory_, kSlot2Gamma, 256));
    }
}

// Ctrl-C on the terminal reaches the parent and every worker; a SIGTERM to
// the parent alone reaches the workers only through the parent's stop line.
struct StopCase {
    const char* name;
    bool wholeGroup;
    int signal;
    uint64_t framesAfter;  // transactions a worker may still begin
};

void PrintTo(const StopCase& c, std::ostream* os) { *os << c.name; }

class ProgramStopTest : public ProgramTest, public ::testing::WithParamInterface<StopCase> {
protected:
    // The test's name holds the parameter's after a '/': its folder is one
    // level down, and the level above goes too.
    void TearDown() override {
        ProgramTest::TearDown();
        std::error_code ec;
        if (dir_.parent_path().filename().string().rfind("tolvane_cli_", 0) == 0) fs::remove(dir_.parent_path(), ec);
    }
};

TEST_P(ProgramStopTest, EveryLineStopsAfterItsTransactionAndReportsEachBoard) {
    const StopCase& sc = GetParam();
    MakeFiles();
    std::vector<vantrel_board::Faults> faults(kBoards);
    for (auto& f : faults) f.delayMs = 4;  // about 0.6 s a board
    StartBoards(faults);
    // The same job from a job file, with the devices relative to it.
    Json job = {{"panel", "p.PNL"}, {"slot", 3}, {"modes", "m.MOD"}, {"verify", true}, {"report", "r.jsonl"}};
    for (const auto& d : devices_) job["lines"].push_back({{"device", d}, {"address", 0}});
    WriteText(P("job.json"), job.dump(2));
    const Child c = Start({"program", "--job", P("job.json")}, P("out"), P("err"));
    // Into the write of board 0 (frames 2..69), then the signal.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (boards_[0]->ExecutedFrameCount() < 5 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_EQ(kill(sc.wholeGroup ? -c.pid : c.pid, sc.signal), 0);
    // A worker that got the signal itself stops at once; one that did not
    // stops once the parent's stop line is in its input, which the parent
    // says right after writing it. How soon the parent runs after a signal is
    // the machine's business (a loaded machine takes longer): the frames are
    // counted from there.
    while (!sc.wholeGroup && ReadText(P("err")).find("Stopping:") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const uint64_t atStop = boards_[0]->ExecutedFrameCount();
    EXPECT_TRUE(sc.wholeGroup || ReadText(P("err")).find("Stopping:") != std::string::npos);
    ASSERT_EQ(c.Wait(), 1) << ReadText(P("err"));
    // At most the transaction on the wire is finished.
    EXPECT_LE(boards_[0]->ExecutedFrameCount(), atStop + sc.framesAfter) << "board 0 went on after the stop";

    const auto report = ReadReport(P("r.jsonl"));
    ASSERT_EQ(report.size(), static_cast<std::size_t>(kBoards));
    for (int i = 0; i < kBoards; ++i) {
        const Json& r = report[static_cast<std::size_t>(i)];
        SCOPED_TRACE(r.dump());
        EXPECT_EQ(r["result"], "interrupted");
        const Bytes image = boards_[static_cast<std::size_t>(i)]->Flash(0xFB80, 64);
        // The state the report names is the state the board is in.
        if (image == Slice(factory_, 0xFB80, 64)) {
            EXPECT_NE(r["state"], "written");
        } else {
            EXPECT_NE(r["state"], "untouched");
        }
        if (r["state"] == "untouched") {
            EXPECT_TRUE(r["sha256"].is_null());
        }
        EXPECT_EQ(boards_[static_cast<std::size_t>(i)]->ResetCount(), 0u);
    }
    EXPECT_EQ(report[0]["state"], "half-written");
}

INSTANTIATE_TEST_SUITE_P(Signals, ProgramStopTest,
                         ::testing::Values(StopCase{"CtrlCOnTheTerminal", true, SIGINT, 1},
                                           StopCase{"SigtermToTheParentAlone", false, SIGTERM, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

// A bus of three boards: one after the other, a failure in the middle stops neither neighbour.
TEST_F(ProgramTest, AddressesOnOneBusRunInTurnAndFailAlone) {
    MakeFiles();
    vantrel_board::Options options;
    options.baud = 0;
    options.address = 1;
    options.moreAddresses = {2, 3};
    // Frames count the requests of every board on the line: address 1 takes
    // 1..70 (version, 68 write chunks, reset), address 2 writes from 72.
    options.faults.dropAnswerFrame = 80;
    Board bus(options);
    ASSERT_TRUE(bus.Start());
    const Child c = Start({"program", "--modes", P("m.MOD"), "--panel", P("p.PNL"), "--slot", "4", "--addresses",
                           "1,2,3", "--report", P("r.jsonl"), bus.SlavePath()},
                          P("out"), P("err"));
    EXPECT_EQ(c.Wait(), 1) << ReadText(P("err"));
    bus.Stop();
    const auto report = ReadReport(P("r.jsonl"));
    ASSERT_EQ(report.size(), 3u);
    const char* results[] = {"ok", "failed", "ok"};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(report[i]["address"], i + 1);
        EXPECT_EQ(report[i]["result"], results[i]) << report[i].dump();
        EXPECT_EQ(report[i]["verify"], "off");
        EXPECT_EQ(bus.Device(static_cast<uint8_t>(i + 1))->ResetCount(), i == 1 ? 0u : 1u);
    }
    EXPECT_EQ(report[1]["state"], "half-written");
    // No backup was taken: the exit line says so instead of naming a restore.
    EXPECT_NE(ReadText(P("err")).find("no backup was taken"), std::string::npos);
}

// Backup names never replace a file: files already there under the names of
// the coming seconds (device without /dev/ and / made _, address, UTC time)
// stay as they were, and each run gets names of its own.
TEST_F(ProgramTest, BackupsNeverOverwriteEarlierOnes) {
    MakeFiles();
    StartBoards(std::vector<vantrel_board::Faults>(kBoards));
    fs::create_directories(P("bk"));
    std::string device = devices_[0].substr(5);
    std::replace(device.begin(), device.end(), '/', '_');
    std::vector<std::string> decoys;
    const std::time_t now = std::time(nullptr);
    for (std::time_t t = now - 1; t < now + 30; ++t) {
        std::tm tm{};
        gmtime_r(&t, &tm);
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &tm);
        for (const char* what : {"_panel2.PNL", "_modes.MOD"}) {
            decoys.push_back(P("bk/" + device + "_addr0_" + stamp + what));
            WriteText(decoys.back(), "earlier backup");
        }
    }
    const std::vector<std::string> args = {"program", "--panel",  P("p.PNL"),   "--slot",
                                           "2",       "--modes",  P("m.MOD"),   "--backup-dir",
                                           P("bk"),   "--report", P("r.jsonl"), devices_[0]};
    std::set<std::string> names;
    for (int run = 0; run < 2; ++run) {
        ASSERT_EQ(Start(args, P("out"), P("err")).Wait(), 0) << ReadText(P("err"));
        const Json backups = ReadReport(P("r.jsonl")).at(0)["backups"];
        for (const char* what : {"panel", "modes"}) {
            const std::string name = backups[what].get<std::string>();
            EXPECT_TRUE(names.insert(name).second) << name;
            EXPECT_NE(ReadText(name), "earlier backup");
        }
    }
    for (const std::string& d : decoys) EXPECT_EQ(ReadText(d), "earlier backup") << d;
}

// The job file and the command line together.
TEST_F(ProgramTest, CommandLineOptionsWinOverTheJobFile) {
    fs::create_directories(dir_ / "jobs");
    WriteText(P("jobs/job.json"), R"({"panel": "p.PNL", "slot": 1, "backupDir": "bk", "report": "r.jsonl",
        "lines": [{"device": "/dev/ttyUSB0", "addresses": [1, 5]}, {"device": "COM2", "scan": true}]})");
    struct Case {
        std::vector<std::string> extra;  // command line besides --job
        int slot;
        std::vector<std::string> devices;
        std::vector<std::vector<int>> addresses;
        bool scanFirst;
    };
    const std::vector<Case> cases = {
        {{}, 1, {"/dev/ttyUSB0", P("jobs/COM2")}, {{1, 5}, {}}, false},
        {{"--slot", "3"}, 3, {"/dev/ttyUSB0", P("jobs/COM2")}, {{1, 5}, {}}, false},
        {{"--addresses", "7"}, 1, {"/dev/ttyUSB0", P("jobs/COM2")}, {{7}, {7}}, false},
        {{"--scan"}, 1, {"/dev/ttyUSB0", P("jobs/COM2")}, {{}, {}}, true},
        {{"/dev/ttyACM0"}, 1, {"/dev/ttyACM0"}, {{0}}, false},
    };
    for (const Case& k : cases) {
        cli::ProgramArgs args;
        args.jobFile = P("jobs/job.json");
        for (std::size_t i = 0; i < k.extra.size(); ++i) {
            if (k.extra[i] == "--slot") args.slot = std::stoi(k.extra[++i]);
            else if (k.extra[i] == "--addresses") args.addresses = k.extra[++i];
            else if (k.extra[i] == "--scan") args.scan = true;
            else args.devices.push_back(k.extra[i]);
        }
        cli::ProgramJob job;
        std::string error;
        ASSERT_TRUE(cli::BuildJob(args, job, error)) << error;
        EXPECT_EQ(job.panelFile, P("jobs/p.PNL"));
        EXPECT_EQ(job.backupDir, P("jobs/bk"));
        EXPECT_EQ(job.slot, k.slot);
        ASSERT_EQ(job.lines.size(), k.devices.size());
        for (std::size_t i = 0; i < job.lines.size(); ++i) {
            EXPECT_EQ(job.lines[i].device, k.devices[i]);
            EXPECT_EQ(job.lines[i].addresses, k.addresses[i]);
        }
        EXPECT_EQ(job.lines[0].scan, k.scanFirst);
    }
}

// Jobs that cannot run are refused before any board is touched.
TEST_F(ProgramTest, BadJobsAreRefusedWithAMessage) {
    MakeFiles();
    WriteText(P("bad.json"),
              R"({"panel": "p.PNL", "slot": 1, "lines": [{"device": "/dev/null", "addresses": [255]}]})");
    WriteText(P("typo.json"), R"({"panel": "p.PNL", "slott": 1})");
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"program", "--panel", P("p.PNL"), "--slot", "1", "--addresses", "1,255", "/dev/x"}, "broadcast"},
        {{"--address", "255", "program", "--modes", P("m.MOD"), "/dev/x"}, "broadcast"},
        {{"program", "--panel", P("p.PNL"), "/dev/x"}, "--slot 1..4"},
        {{"program", "--modes", P("m.MOD"), "/dev/x", "/dev/x"}, "named twice"},
        {{"program", "/dev/x"}, "nothing to write"},
        {{"program", "--modes", P("m.MOD")}, "no serial line"},
        {{"program", "--job", P("bad.json")}, "broadcast"},
        {{"program", "--job", P("typo.json")}, "unknown key \"slott\""},
        {{"program", "--modes", P("m.MOD"), "--report", P("no/such/r.jsonl"), "/dev/x"}, "no such folder"},
        // Device and folder names go to the workers as JSON text.
        {{"program", "--modes", P("m.MOD"), "/dev/x", "/dev/no-such-\xff"}, "/dev/no-such-\\xFF is not named in UTF-8"},
        {{"program", "--modes", P("m.MOD"), "--backup-dir", P("b\xfe"), "/dev/x"}, "is not named in UTF-8"},
    };
    for (const auto& [args, message] : cases) {
        const Result r = Cli(args);
        EXPECT_EQ(r.code, 2) << args.back();
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    }
}

TEST(ProgramSha256, KnownAnswers) {
    const std::string abc = "abc";
    EXPECT_EQ(cli::Sha256Hex(reinterpret_cast<const uint8_t*>(abc.data()), 3),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    const std::string two = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";  // two blocks of padding
    EXPECT_EQ(cli::Sha256Hex(reinterpret_cast<const uint8_t*>(two.data()), two.size()),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    const Bytes block(64, 0x61);  // exactly one block: the padding takes a second
    EXPECT_EQ(cli::Sha256Hex(block.data(), block.size()),
              "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb");
}

}  // namespace
