// A production station end to end: a job of four fixture positions on
// emulated boards, the report's who/what/when/where of each board, and the
// retry of the boards that failed; refused retries send nothing.
#include "cli_harness.h"
#include "cli_process.h"

#include <chrono>
#include <regex>

#include <unistd.h>

#include <nlohmann/json.hpp>

#include "program/program_job.h"
#include "sha256.h"
#include "version.h"
#include "vantrel.h"
#include "vantrel_board/board.h"

using namespace clitest;
using Json = nlohmann::ordered_json;
using vantrel_board::Board;

namespace {

constexpr uint32_t kSlot2Image = VANTREL_PANEL_IMAGE_BASE + VANTREL_PANEL_IMAGE_SIZE;
constexpr uint32_t kSlot2Gamma = VANTREL_GAMMA_BASE + VANTREL_GAMMA_SIZE;

constexpr auto ReadReport = &ReadJsonLines<Json>;

std::string Sha(const Bytes& b) { return cli::Sha256Hex(b.data(), b.size()); }

class StationTest : public TempDirTest {
protected:
    void TearDown() override {
        for (auto& b : boards_) b->Stop();
        TempDirTest::TearDown();
    }

    // A panel file whose image uses its gamma table, named by its first letter,
    // and the board's mode table.
    void MakeFiles(char name) {
        vantrel_board::Options options;
        options.baud = 0;
        Board b(options);
        ASSERT_TRUE(b.Start());
        Bytes image = b.Flash(VANTREL_PANEL_IMAGE_BASE, 64);
        image[0] = static_cast<uint8_t>(name);
        image[0x3A] |= 0x10;
        b.SetFlash(VANTREL_PANEL_IMAGE_BASE, image);
        ASSERT_EQ(Cli({"--device", b.SlavePath(), "panel", "read", "1", "-o", P("p.PNL")}).code, 0);
        ASSERT_EQ(Cli({"--device", b.SlavePath(), "modes", "read", "-o", P("m.MOD")}).code, 0);
        b.Stop();
    }

    std::vector<uint64_t> Frames() const {
        std::vector<uint64_t> n;
        for (const auto& b : boards_) n.push_back(b->ExecutedFrameCount());
        return n;
    }

    ProcessResult Program(std::vector<std::string> extra) {
        extra.insert(extra.begin(), {"program", "--job", P("job.json")});
        return RunProgram(extra, dir_.string(), "", 60);
    }

    struct Scenario {
        std::string first, second;  // the reports of the job and of its retry
        ProcessResult run, retry;
        std::chrono::system_clock::time_point began, ended;  // around the first run
        std::vector<uint64_t> framesBefore, framesAfter;     // around the retry
    };

    // Positions A1..A4, each a link in the test folder to its board: A2's
    // board stores a byte of the image wrongly (verify fails), A3's drops
    // the answer to a write. The job file names r1.jsonl as its report;
    // the retry of it, with both faults gone, writes r2.jsonl.
    Scenario FailThenRetry() {
        Scenario s;
        MakeFiles('Q');
        Json job = {{"panel", "p.PNL"}, {"slot", 2},         {"modes", "m.MOD"},
                    {"verify", true},   {"backupDir", "bk"}, {"report", "r1.jsonl"}};
        for (int i = 0; i < 4; ++i) {
            vantrel_board::Options options;
            options.baud = 0;
            // Frame 1 is the version, 2..69 the backup, 70 on the write.
            if (i == 1) options.faults.corruptStoreAddress = static_cast<int32_t>(kSlot2Image + 5);
            if (i == 2) options.faults.dropAnswerFrame = 75;
            boards_.push_back(std::make_unique<Board>(options));
            if (!boards_.back()->Start()) return s;
            const std::string position = "A" + std::to_string(i + 1);
            fs::create_symlink(boards_.back()->SlavePath(), P(position));
            job["lines"].push_back({{"position", position}, {"device", position}});
        }
        factory_ = boards_[0]->Flash(0, vantrel_board::kFlashSize);
        WriteText(P("job.json"), job.dump(2));
        s.began = std::chrono::system_clock::now();
        s.run = Program({});
        s.ended = std::chrono::system_clock::now();
        for (auto& b : boards_) b->SetFaults({});
        s.framesBefore = Frames();
        s.retry = Program({"--retry-failed", "r1.jsonl", "--report", "r2.jsonl"});
        s.framesAfter = Frames();
        s.first = P("r1.jsonl");
        s.second = P("r2.jsonl");
        return s;
    }

    std::vector<std::unique_ptr<Board>> boards_;
    Bytes factory_;
};

TEST_F(StationTest, ReportSaysWhoWhatWhenWhereAndTheRetryWritesOnlyTheFailed) {
    const Scenario s = FailThenRetry();
    ASSERT_EQ(s.run.code, 1) << s.run.err;
    const auto r1 = ReadReport(s.first);
    ASSERT_EQ(r1.size(), 4u);
    char host[256] = "";
    ::gethostname(host, sizeof host - 1);
    const std::regex iso(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)");
    const std::string began = cli::IsoUtc(s.began - std::chrono::milliseconds(1)), ended = cli::IsoUtc(s.ended);
    const char* results[] = {"ok", "failed", "failed", "ok"};
    const char* steps[] = {"", "verify", "write", ""};
    for (std::size_t i = 0; i < 4; ++i) {
        const Json& r = r1[i];
        SCOPED_TRACE(r.dump());
        EXPECT_EQ(r["position"], "A" + std::to_string(i + 1));
        EXPECT_EQ(r["port"], P(r["position"]));
        EXPECT_EQ(r["device"], boards_[i]->SlavePath());
        EXPECT_EQ(r["result"], results[i]);
        EXPECT_EQ(r["step"], *steps[i] ? Json(steps[i]) : Json(nullptr));
        // What the backup read: the board's slot 2 and mode table as they were.
        EXPECT_EQ(r["sha256Before"], Json({{"panel", Sha(Bytes(&factory_[kSlot2Image], &factory_[kSlot2Image + 64]))},
                                           {"gamma", Sha(Bytes(&factory_[kSlot2Gamma], &factory_[kSlot2Gamma + 256]))},
                                           {"modes", Sha(Bytes(&factory_[VANTREL_MODE_TABLE_BASE],
                                                               &factory_[VANTREL_MODE_TABLE_BASE + 768]))}}));
        // The times of the board's own run, within the command's.
        ASSERT_TRUE(r["start"].is_string() && r["end"].is_string());
        const std::string start = r["start"], end = r["end"];
        EXPECT_TRUE(std::regex_match(start, iso) && std::regex_match(end, iso));
        EXPECT_TRUE(began <= start && start <= end && end <= ended) << began << " " << ended;
        EXPECT_EQ(r["station"], host);
        EXPECT_EQ(r["toolVersion"], cli::kToolVersion);
        EXPECT_EQ(r["job"], r1[0]["job"]);
        EXPECT_TRUE(r["continues"].is_null());
    }
    EXPECT_TRUE(std::regex_match(r1[0]["job"].get<std::string>(), std::regex("[0-9a-f]{64}")));
    // The table and the failure lines name the position beside the device.
    EXPECT_NE(s.run.out.find("POSITION"), std::string::npos) << s.run.out;
    EXPECT_NE(s.run.out.find("\nA2 "), std::string::npos) << s.run.out;
    EXPECT_NE(s.run.err.find("A2 (" + P("A2") + ") address 0: FAILED at verify"), std::string::npos) << s.run.err;

    // The retry: A2 and A3 again, A1 and A4 not a frame.
    ASSERT_EQ(s.retry.code, 0) << s.retry.err;
    const auto r2 = ReadReport(s.second);
    ASSERT_EQ(r2.size(), 2u);
    for (std::size_t k = 0; k < 2; ++k) {
        EXPECT_EQ(r2[k]["position"], k == 0 ? "A2" : "A3");
        EXPECT_EQ(r2[k]["result"], "ok");
        EXPECT_EQ(r2[k]["continues"], s.first);
        EXPECT_EQ(r2[k]["job"], r1[0]["job"]);
        EXPECT_EQ(boards_[k + 1]->Flash(kSlot2Image, 64), boards_[0]->Flash(kSlot2Image, 64));
    }
    for (std::size_t i : {0u, 3u}) EXPECT_EQ(s.framesAfter[i], s.framesBefore[i]) << "board A" << i + 1;
    for (std::size_t i : {1u, 2u}) EXPECT_GT(s.framesAfter[i], s.framesBefore[i]) << "board A" << i + 1;

    // A report of an earlier version (no new keys) is retried when the
    // blocks its boards were given are the job's; its boards are found by port.
    std::string old;
    for (Json r : r1) {
        for (const char* key :
             {"position", "device", "sha256Before", "start", "end", "station", "toolVersion", "job", "continues"})
            r.erase(key);
        old += r.dump() + "\n";
    }
    WriteText(P("old.jsonl"), old);
    auto frames = Frames();
    const ProcessResult fromOld = Program({"--retry-failed", "old.jsonl", "--report", "r4.jsonl"});
    ASSERT_EQ(fromOld.code, 0) << fromOld.err;
    EXPECT_EQ(ReadReport(P("r4.jsonl")).size(), 2u);
    EXPECT_EQ(Frames()[0], frames[0]);

    // Refused retries send nothing and write no report.
    struct Refusal {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Refusal> refusals = {
        // The job file's own report would be the new one.
        {{"--retry-failed", "r1.jsonl"}, "r1.jsonl"},
        {{"--retry-failed", "r1.jsonl", "--report", "r3.jsonl", "--slot", "3"}, "panel slot 3"},
        {{"--retry-failed", "no-such.jsonl", "--report", "r3.jsonl"}, "no-such.jsonl"},
    };
    frames = Frames();
    for (const Refusal& k : refusals) {
        const ProcessResult r = Program(k.args);
        EXPECT_EQ(r.code, 2) << k.args[1];
        EXPECT_NE(r.err.find(k.message), std::string::npos) << r.err;
    }
    // A changed panel file: another job.
    MakeFiles('R');
    const ProcessResult changed = Program({"--retry-failed", "r1.jsonl", "--report", "r3.jsonl"});
    EXPECT_EQ(changed.code, 2);
    EXPECT_NE(changed.err.find("its \"job\" differs"), std::string::npos) << changed.err;
    EXPECT_FALSE(fs::exists(P("r3.jsonl")));
    EXPECT_EQ(Frames(), frames);
}

// Jobs and reports refused before any worker starts (devices that do not exist
// are never opened), and a report with nothing to retry.
TEST_F(StationTest, BadPositionsAndReportsAreRefusedBeforeAnythingIsSent) {
    MakeFiles('Q');
    std::string id, error;
    cli::ProgramJob files;
    files.panelFile = P("p.PNL");
    files.modesFile = P("m.MOD");
    ASSERT_TRUE(cli::JobIdentity(files, id, error)) << error;
    const Json line = {{"position", "A1"}, {"port", "/dev/x1"}, {"address", 0}, {"slot", 2}, {"job", id}};
    auto record = [&](Json changes) {
        Json r = line;
        r.update(changes);
        return r.dump() + "\n";
    };
    WriteText(P("ok.jsonl"), record({{"result", "ok"}}));
    WriteText(P("bad.jsonl"), record({{"result", "failed"}}) + "{\"port\": 3}\n");
    WriteText(P("empty.jsonl"), "\n");
    WriteText(P("other.jsonl"), record({{"result", "failed"}, {"port", "/dev/x9"}}));
    WriteText(P("ghost.jsonl"), record({{"result", "failed"}, {"address", 7}}));
    // An earlier version's report in which no board was written.
    WriteText(P("old.jsonl"), R"({"port": "/dev/x1", "address": 0, "slot": 2, "result": "failed", "sha256": null})");
    const std::string lines = R"(, "lines": [{"position": "A1", "device": "/dev/x1"},)";
    WriteText(P("job.json"), R"({"panel": "p.PNL", "slot": 2, "modes": "m.MOD")" + lines +
                                 R"( {"position": "A2", "device": "/dev/x2"}]})");
    WriteText(P("twice.json"),
              R"({"panel": "p.PNL", "slot": 2)" + lines + R"( {"position": "A1", "device": "/dev/x2"}]})");
    WriteText(P("blank.json"), R"({"panel": "p.PNL", "slot": 2, "lines": [{"position": "", "device": "/dev/x1"}]})");
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--job", P("twice.json")}, "\"lines\" entry 2 (/dev/x2): the position \"A1\" is already entry 1's"},
        {{"--job", P("blank.json")}, "\"lines\" entry 1: a line's \"position\" must be a name"},
        {{"--job", P("job.json"), "--retry-failed", P("bad.jsonl")}, "bad.jsonl line 2 is not a board"},
        {{"--job", P("job.json"), "--retry-failed", P("empty.jsonl")}, "names no board"},
        {{"--job", P("job.json"), "--retry-failed", P("other.jsonl")}, "names A1 (/dev/x9) address 0, which this job"},
        {{"--job", P("job.json"), "--retry-failed", P("ghost.jsonl")}, "A1 (/dev/x1) address 7, which this job"},
        {{"--job", P("job.json"), "--retry-failed", P("old.jsonl")}, "does not say which files"},
        {{"--job", P("job.json"), "--retry-failed", P("ok.jsonl")}, "nothing to retry: every board in"},
    };
    for (const auto& [args, message] : cases) {
        std::vector<std::string> all = {"program", "--report", P("new.jsonl")};
        all.insert(all.end(), args.begin(), args.end());
        // The real program: a job that went past its checks would start
        // workers, which the test binary cannot be.
        const ProcessResult r = RunProgram(all, dir_.string(), "", 60);
        EXPECT_EQ(r.code, message.rfind("nothing", 0) == 0 ? 0 : 2) << args.back();
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(P("new.jsonl")));
    }
}

// The job's identity follows the files' bytes, not their names.
TEST_F(StationTest, JobIdentityFollowsTheBytesNotTheNames) {
    WriteText(P("a"), "panel bytes");
    WriteText(P("b"), "panel bytes");
    WriteText(P("c"), "panel bytez");
    auto id = [&](const std::string& panel, const std::string& modes) {
        cli::ProgramJob job;
        job.panelFile = panel.empty() ? "" : P(panel);
        job.modesFile = modes.empty() ? "" : P(modes);
        std::string out, error;
        EXPECT_TRUE(cli::JobIdentity(job, out, error)) << error;
        return out;
    };
    EXPECT_EQ(id("a", ""), id("b", ""));
    EXPECT_NE(id("a", ""), id("c", ""));
    EXPECT_NE(id("a", ""), id("", "a"));
    EXPECT_NE(id("a", "b"), id("b", ""));
}

// A network line in a job file is a name, not a path beside the job file.
TEST_F(StationTest, NetworkLinesOfAJobFileStayAsWritten) {
    WriteText(P("job.json"), R"({"lines": [{"device": "tcp://10.0.0.5:4001"}, {"device": "RFC2217://h:7"}]})");
    cli::ProgramJob job;
    std::string error;
    ASSERT_TRUE(cli::ReadJobFile(P("job.json"), job, error)) << error;
    ASSERT_EQ(job.lines.size(), 2u);
    EXPECT_EQ(job.lines[0].device, "tcp://10.0.0.5:4001");
    EXPECT_EQ(job.lines[1].device, "RFC2217://h:7");
}

TEST(StationTime, IsoUtcKnownAnswers) {
    const std::pair<int64_t, const char*> cases[] = {{0, "1970-01-01T00:00:00.000Z"},
                                                     {951782400123, "2000-02-29T00:00:00.123Z"},
                                                     {-1, "1969-12-31T23:59:59.999Z"},
                                                     {4102444799999, "2099-12-31T23:59:59.999Z"}};
    for (const auto& [ms, text] : cases)
        EXPECT_EQ(cli::IsoUtc(std::chrono::system_clock::time_point(std::chrono::milliseconds(ms))), text);
}

}  // namespace

// The yield over the job's report and its retry's: A2 failed verify and A3
// failed write once each, then both were ok; A1 and A4 ran once.
TEST_F(StationTest, ReportSummaryOfAJobAndItsRetryGivesTheYieldPerPosition) {
    const Scenario s = FailThenRetry();
    ASSERT_EQ(s.run.code, 1) << s.run.err;
    ASSERT_EQ(s.retry.code, 0) << s.retry.err;
    const ProcessResult r = RunProgram({"--json", "report", "summary", s.first, s.second}, dir_.string(), "", 30);
    ASSERT_EQ(r.code, 0) << r.err;
    const Json j = Json::parse(r.out);
    const std::vector<std::tuple<std::string, int, int, std::string>> want = {
        {"A1", 1, 1, ""}, {"A2", 2, 1, "verify"}, {"A3", 2, 1, "write"}, {"A4", 1, 1, ""}};
    ASSERT_EQ(j["positions"].size(), want.size()) << r.out;
    for (std::size_t i = 0; i < want.size(); ++i) {
        const auto& [position, boards, ok, failedAt] = want[i];
        const Json& p = j["positions"][i];
        SCOPED_TRACE(p.dump());
        EXPECT_EQ(p["position"], position);
        EXPECT_EQ(p["boards"], boards);
        EXPECT_EQ(p["ok"], ok);
        for (const auto& [step, count] : p["failed"].items()) EXPECT_EQ(count, step == failedAt ? 1 : 0) << step;
        EXPECT_GT(p["medianMs"].get<int>(), 0);
    }
    EXPECT_EQ(j["total"]["boards"], 6);
    EXPECT_EQ(j["total"]["ok"], 4);
    EXPECT_EQ(j["total"]["failed"]["verify"], 1);
    EXPECT_EQ(j["total"]["failed"]["write"], 1);
    EXPECT_EQ(j["reports"], 2);
    EXPECT_EQ(j["unreadable"], 0);
}
