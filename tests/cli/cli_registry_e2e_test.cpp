// The guarantees of the command-line framework, checked for every registered
// command through the real program and an emulated board. The walk takes the
// commands from the registry and runs each one's own example, so a command
// added later is covered without a test of its own:
//   - every command that reads or writes a file or changes the board has an
//     example; it works, and under --quiet says nothing on standard error;
//   - with file names that are not UTF-8 and --json, standard output is JSON;
//   - an input that is a FIFO is refused at once (no hang), with JSON on failure;
//   - an output, backup or report that is an input under another spelling, or
//     the serial device, is refused and the input is left as it was;
//   - a board command whose output cannot be created sends nothing;
//   - "-o -" is standard output and makes no file named "-".
#include <gtest/gtest.h>

#include <CLI/CLI.hpp>

#include <algorithm>
#include <map>
#include <set>

#include <sys/stat.h>

#include "board_fixture.h"
#include "cli_process.h"
#include "command.h"
#include "tolvane/edid.h"
#include "tolvane/files.h"
#include "tolvane/modes.h"
#include "valid_panel.h"

namespace clitest {
namespace {

using Json = nlohmann::json;

enum class Role { Input, Output, Folder, Device };

// The words that stand for files in the examples of the registry.
const std::map<std::string, Role> kWords = {
    {"PANEL", Role::Input},   {"MODES", Role::Input},      {"GAMMA", Role::Input},  {"JSON", Role::Input},
    {"CSV", Role::Input},     {"BYTES", Role::Input},      {"DUMP", Role::Input},   {"NVDUMP", Role::Input},
    {"JOB", Role::Input},     {"EDID", Role::Input},       {"OUT", Role::Output},   {"BACKUP", Role::Output},
    {"REPORT", Role::Output}, {"BACKUPDIR", Role::Folder}, {"DEVICE", Role::Device}};

struct Walked {
    std::string path;
    std::vector<std::string> words;  // the example
    bool usesBoard = false;
    bool hasOutputOption = false;  // declares -o/--output
    std::size_t declared = 0;      // declared files
    bool hasJob = false;           // a job file, the other way to name the files
    bool changesBoard = false;
};

std::vector<Walked> WalkRegistry() {
    CLI::App app;
    cli::Registry registry(app);
    cli::RegisterAll(registry);
    std::vector<Walked> all;
    for (const auto& c : registry.Commands()) {
        if (c->app->get_group().empty()) continue;  // hidden
        Walked w{c->Path(), Words(c->ExampleWords()), c->Board() != cli::BoardUse::None, false, c->Files().size()};
        w.changesBoard = c->ChangesBoardContent();
        for (const auto& f : c->Files()) {
            w.hasOutputOption |= f.name == "--output";
            w.hasJob |= f.role == cli::FileRole::Job;
        }
        all.push_back(w);
    }
    return all;
}

class Guarantees : public EmulatedBoardTest {
protected:
    void SetUp() override {
        EmulatedBoardTest::SetUp();
        fs::create_directories(dir_ / "in");
        MakeInputs("");
        frames_ = Frames();
    }

    // The input files, each under its word's name with `mark` added.
    void MakeInputs(const std::string& mark) {
        auto at = [&](const std::string& word) { return (dir_ / "in" / (word + mark)).string(); };
        ASSERT_TRUE(WritePanelFile(at("PANEL"), ValidPanel("WALK")));
        ModeTable t{};
        SetModeTableDefaults(t);
        t.entries[0].vStart = 31;
        ASSERT_TRUE(WriteModeFile(at("MODES"), t));
        Bytes gamma(256);
        for (int i = 0; i < 256; ++i) gamma[i] = static_cast<uint8_t>(255 - i);
        WriteBytes(at("GAMMA"), gamma);
        ASSERT_EQ(Cli({"to-json", at("PANEL"), "-o", at("JSON")}).code, 0);
        ASSERT_EQ(Cli({"gamma", "to-csv", at("GAMMA"), "-o", at("CSV")}).code, 0);
        WriteBytes(at("BYTES"), Bytes(40, 0x5A));
        EdidDescription edid;
        edid.timings = {DmtById(0x10)->timing};
        edid.name = "WALK";
        const auto edidBytes = EncodeEdid(edid);
        ASSERT_TRUE(edidBytes.has_value());
        WriteBytes(at("EDID"), *edidBytes);
        WriteBytes(at("DUMP"), board_->Flash(0, 0x10000));
        WriteBytes(at("NVDUMP"), board_->NvRam(0, vantrel_board::kNvRamSize));
        WriteText(at("JOB"), R"({"modes": ")" + at("MODES") + R"(", "lines": [{"device": ")" + board_->SlavePath() +
                                 R"(", "addresses": [0]}]})");
        for (const auto& [word, role] : kWords)
            if (role == Role::Input) inputs_[word + mark] = at(word);
    }

    uint64_t Frames() const {
        uint64_t n = 0;
        for (uint64_t c : board_->CommandCounts()) n += c;
        return n;
    }

    // The example with its words replaced: inputs from in/, outputs and
    // folders in a fresh folder of this run, the device.
    std::vector<std::string> Expand(const Walked& w, const std::map<std::string, std::string>& replace,
                                    const std::string& mark = "") {
        run_ = dir_ / ("run" + std::to_string(++runs_));
        fs::create_directories(run_);
        std::vector<std::string> args;
        bool device = false;
        for (const auto& word : w.words) {
            device |= word == "DEVICE";
            if (replace.count(word)) args.push_back(replace.at(word));
            else if (!kWords.count(word)) args.push_back(word);
            else if (kWords.at(word) == Role::Input) args.push_back(inputs_.at(word + mark));
            else if (kWords.at(word) == Role::Device) args.push_back(board_->SlavePath());
            else args.push_back((run_ / (word + mark)).string());
        }
        if (w.usesBoard && !device) args.insert(args.begin(), {"--device", board_->SlavePath()});
        return args;
    }

    ProcessResult Run(std::vector<std::string> args, const std::vector<std::string>& globals = {}) {
        args.insert(args.begin(), globals.begin(), globals.end());
        return RunProgram(args, run_.string(), "", 60);
    }

    std::map<std::string, std::string> inputs_;
    fs::path run_;
    int runs_ = 0;
    uint64_t frames_ = 0;
};

bool IsJsonOutput(const std::string& out) {
    if (Json::accept(out)) return true;
    // JSON Lines: every line a document.
    std::size_t from = 0;
    bool any = false;
    while (from < out.size()) {
        const auto end = out.find('\n', from);
        const std::string line = out.substr(from, end - from);
        if (!line.empty() && !Json::accept(line)) return false;
        any |= !line.empty();
        from = end == std::string::npos ? out.size() : end + 1;
    }
    return any;
}

TEST_F(Guarantees, EveryCommandThatReadsOrWritesAFileOrTheBoardKeepsThem) {
    const std::vector<Walked> commands = WalkRegistry();
    ASSERT_GT(commands.size(), 30u);
    MakeInputs("\xff");  // the same inputs under names that are not UTF-8
    for (const Walked& w : commands) {
        SCOPED_TRACE(w.path);
        // A command that names files shows them all in its example.
        if (w.declared == 0 && !w.changesBoard && w.words.empty()) continue;
        ASSERT_FALSE(w.words.empty()) << "reads or writes a file or the board but has no example";
        std::set<std::string> shown;
        for (const auto& word : w.words)
            if (kWords.count(word) && kWords.at(word) != Role::Device) shown.insert(word);
        const bool jobShown = std::count(w.words.begin(), w.words.end(), "JOB") > 0;
        EXPECT_EQ(shown.size(), w.declared - (w.hasJob && !jobShown ? 1 : 0))
            << "the example names every declared file once";

        // The example works; under --quiet nothing is said.
        ProcessResult r = Run(Expand(w, {}), {"--quiet"});
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.err, "");
        for (const auto& word : w.words)
            if (kWords.count(word) && kWords.at(word) == Role::Output) {
                EXPECT_TRUE(fs::exists(run_ / word)) << word;
            }

        // Names that are not UTF-8, under --json: JSON, escaped names.
        r = Run(Expand(w, {}, "\xff"), {"--json"});
        // Only a name that must travel as JSON text (program's workers) may be refused.
        if (r.err.find("is not named in UTF-8") == std::string::npos) {
            EXPECT_EQ(r.code, 0) << r.err;
        }
        EXPECT_TRUE(IsJsonOutput(r.out)) << r.out;
        EXPECT_EQ(r.err.find("unexpected"), std::string::npos) << r.err;

        const fs::path fifo = dir_ / "fifo";
        fs::remove(fifo);
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        for (const auto& word : w.words) {
            if (!kWords.count(word)) continue;
            const Role role = kWords.at(word);
            SCOPED_TRACE(word);
            if (role == Role::Input) {
                // A FIFO for an input: refused at once, JSON on failure.
                const uint64_t before = Frames();
                r = Run(Expand(w, {{word, fifo.string()}}), {"--json"});
                EXPECT_TRUE(r.code == 1 || r.code == 2) << r.code << r.err;
                EXPECT_NE(r.err.find("not a regular file"), std::string::npos) << r.err;
                const Json j = Json::parse(r.out, nullptr, false);
                EXPECT_TRUE(j.is_object() && j.value("ok", true) == false) << r.out;
                EXPECT_EQ(Frames(), before);
                continue;
            }
            if (role != Role::Output) continue;
            // An output that is an input under another spelling, or the device.
            for (const auto& other : w.words) {
                if (!kWords.count(other) || kWords.at(other) != Role::Input) continue;
                const std::string input = inputs_.at(other);
                const Bytes content = ReadBytes(input);
                const uint64_t before = Frames();
                const std::string respelt = (dir_ / "in" / ".." / "in" / fs::path(input).filename()).string();
                r = Run(Expand(w, {{word, respelt}}));
                EXPECT_TRUE(r.code == 1 || r.code == 2) << other << ": " << r.err;
                EXPECT_EQ(ReadBytes(input), content) << other;
                EXPECT_EQ(Frames(), before) << other;
            }
            if (!w.usesBoard) continue;
            uint64_t before = Frames();
            r = Run(Expand(w, {{word, board_->SlavePath()}}));
            EXPECT_EQ(r.code, 2) << r.err;
            EXPECT_NE(r.err.find("is the serial device"), std::string::npos) << r.err;
            // An output that cannot be made: nothing is sent.
            r = Run(Expand(w, {{word, (dir_ / "missing" / "x").string()}}));
            EXPECT_EQ(r.code, 2) << r.err;
            EXPECT_NE(r.err.find("no such folder"), std::string::npos) << r.err;
            EXPECT_EQ(Frames(), before);
        }
        fs::remove(fifo);

        if (w.hasOutputOption) {
            // "-o -": standard output, no file named "-".
            r = Run(Expand(w, {{"OUT", "-"}}));
            EXPECT_EQ(r.code, 0) << r.err;
            EXPECT_FALSE(r.out.empty());
            EXPECT_FALSE(fs::exists(run_ / "-"));
        }
    }
}

}  // namespace
}  // namespace clitest
