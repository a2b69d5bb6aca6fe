// A production station's view: the stable names of the serial devices
// (ports --by-path, against a folder of links standing in for /dev/serial)
// and the yield per fixture position over reports that the real program
// wrote for emulated boards, one of them with a weak flash cell, together
// with hand-made lines of other versions and of no report at all.
#include <sys/stat.h>

#include <functional>
#include <map>

#include "board_fixture.h"
#include "cli_process.h"
#include "program/program_job.h"
#include "vantrel.h"
#include "vantrel_board/board.h"

#include <nlohmann/json.hpp>

namespace clitest {
namespace {

using Json = nlohmann::ordered_json;

// ---------------------------------------------------------------------------
// ports --by-path
// ---------------------------------------------------------------------------

class PortsByPath : public TempDirTest {
protected:
    // Fake devices in dev/, links to them in serial/by-path and serial/by-id,
    // relative as udev makes them.
    void MakeLinks() {
        fs::create_directories(dir_ / "dev");
        for (const char* d : {"ttyUSB0", "ttyUSB1", "ttyUSB10", "ttyACM0"}) WriteText(dir_ / "dev" / d, "");
        fs::create_directories(dir_ / "serial" / "by-path");
        fs::create_directories(dir_ / "serial" / "by-id");
        const std::vector<std::pair<std::string, std::string>> links = {
            {"by-path/pci-0000:00:14.0-usb-0:10:1.0-port0", "ttyUSB0"},
            {"by-path/pci-0000:00:14.0-usb-0:2:1.0-port0", "ttyUSB1"},
            {"by-path/pci-0000:00:14.0-usb-0:3:1.0-port0", "ttyUSB10"},
            {"by-id/usb-FTDI_FT232R_A-if00-port0", "ttyUSB0"},
            {"by-id/usb-FTDI_FT232R_B-if00-port0", "ttyUSB1"},
            {"by-id/usb-Arduino_Uno_C-if00", "ttyACM0"},
            {"by-id/usb-FTDI_FT232R_GONE-if00-port0", "ttyUSB9"},  // unplugged: dangling
        };
        for (const auto& [link, device] : links) fs::create_symlink("../../dev/" + device, dir_ / "serial" / link);
    }
    std::string Serial() const { return P("serial"); }
    std::string ByPath(const std::string& socket) const {
        return P("serial/by-path/pci-0000:00:14.0-usb-0:" + socket + ":1.0-port0");
    }
};

TEST_F(PortsByPath, ListsEachDeviceOnceWithItsLinksAndAJobWithOnePositionPerSocket) {
    MakeLinks();
    Result r = Cli({"--json", "ports", "--by-path", "--serial-dir", Serial()});
    ASSERT_EQ(r.code, 0) << r.err;
    const Json j = Json::parse(r.out);
    // By socket in counting order (2, 3, 10), then the adapter with no socket link.
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"ttyUSB1", ByPath("2")},
        {"ttyUSB10", ByPath("3")},
        {"ttyUSB0", ByPath("10")},
        {"ttyACM0", P("serial/by-id/usb-Arduino_Uno_C-if00")}};
    ASSERT_EQ(j["devices"].size(), expected.size()) << r.out;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const Json& d = j["devices"][i];
        const std::string position = "A" + std::to_string(i + 1);
        EXPECT_EQ(d["position"], position);
        EXPECT_EQ(d["device"], fs::canonical(dir_ / "dev" / expected[i].first).string());
        EXPECT_EQ(d["jobDevice"], expected[i].second);
        EXPECT_EQ(j["skeleton"]["lines"][i],
                  Json({{"position", position}, {"device", expected[i].second}, {"addresses", {1}}}));
    }
    EXPECT_EQ(j["devices"][0]["byId"], Json({P("serial/by-id/usb-FTDI_FT232R_B-if00-port0")}));
    EXPECT_EQ(j["devices"][3]["byPath"], Json::array());
    ASSERT_EQ(j["dangling"].size(), 1u);
    EXPECT_EQ(j["dangling"][0]["link"], P("serial/by-id/usb-FTDI_FT232R_GONE-if00-port0"));
    EXPECT_NE(r.err.find("usb-FTDI_FT232R_GONE-if00-port0: a link to ../../dev/ttyUSB9, which is not there"),
              std::string::npos)
        << r.err;

    // The text form ends with the skeleton: a job file as program reads it.
    r = Cli({"ports", "--by-path", "--serial-dir", Serial()});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("A1  " + fs::canonical(dir_ / "dev/ttyUSB1").string() + "\n    by-path  " + ByPath("2") +
                         "\n    by-id    " + P("serial/by-id/usb-FTDI_FT232R_B-if00-port0") + "\n"),
              std::string::npos)
        << r.out;
    const std::size_t brace = r.out.find("{\n");
    ASSERT_NE(brace, std::string::npos) << r.out;
    Json skeleton = Json::parse(r.out.substr(brace));
    EXPECT_EQ(skeleton, j["skeleton"]);
    // program reads the skeleton as it is, positions included.
    WriteText(dir_ / "job.json", skeleton.dump());
    cli::ProgramJob job;
    std::string error;
    ASSERT_TRUE(cli::ReadJobFile(P("job.json"), job, error)) << error;
    ASSERT_EQ(job.lines.size(), expected.size());
    EXPECT_EQ(job.lines[2].device, ByPath("10"));
    EXPECT_EQ(job.lines[2].addresses, std::vector<int>{1});
    for (std::size_t i = 0; i < job.lines.size(); ++i) EXPECT_EQ(job.lines[i].position, "A" + std::to_string(i + 1));
}

TEST_F(PortsByPath, FoldersWithoutDevicesAndWrongOptions) {
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> make;
        std::vector<std::string> args;  // after "ports"; {S} is the serial folder
        int code;
        std::string err;  // part of stderr
    };
    const std::vector<Case> cases = {
        {"empty folders",
         [](const fs::path& s) {
             fs::create_directories(s / "by-path");
             fs::create_directories(s / "by-id");
         },
         {"--by-path", "--serial-dir", "{S}"},
         0,
         "no serial devices with stable names"},
        {"no link folders",
         [](const fs::path& s) { fs::create_directories(s); },
         {"--by-path", "--serial-dir", "{S}"},
         0,
         "/by-id hold no link to a device that is there"},
        {"only a dangling link",
         [](const fs::path& s) {
             fs::create_directories(s / "by-id");
             fs::create_symlink("../../ttyUSB9", s / "by-id" / "usb-x");
         },
         {"--by-path", "--serial-dir", "{S}"},
         0,
         "usb-x: a link to ../../ttyUSB9, which is not there"},
        {"a folder that is not there",
         [](const fs::path&) {},
         {"--by-path", "--serial-dir", "{S}"},
         1,
         ": no such folder"},
        {"--serial-dir without --by-path",
         [](const fs::path& s) { fs::create_directories(s); },
         {"--serial-dir", "{S}"},
         2,
         "--by-path"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path serial = dir_ / c.name;
        c.make(serial);
        for (const bool json : {false, true}) {
            std::vector<std::string> args = {"ports"};
            if (json) args.insert(args.begin(), "--json");
            for (const std::string& a : c.args) args.push_back(a == "{S}" ? serial.string() : a);
            const Result r = Cli(args);
            EXPECT_EQ(r.code, c.code) << r.err;
            EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
            if (c.code != 0) continue;
            if (json) {
                const Json j = Json::parse(r.out);
                EXPECT_EQ(j["devices"], Json::array());
                EXPECT_TRUE(j["skeleton"].is_null());
            } else {
                EXPECT_EQ(r.out, "");  // no skeleton of no lines
            }
        }
    }
}

// ---------------------------------------------------------------------------
// report summary
// ---------------------------------------------------------------------------

// One position's counts as every format gives them: boards, ok, failed at
// open, version, backup, write, verify, reset, scan, interrupted, median ms
// ("" for none, "*" in an expectation for any number).
using Row = std::vector<std::string>;
using Table = std::map<std::string, Row>;

const std::vector<std::string> kColumns = {"open", "version", "backup", "write", "verify", "reset", "scan"};

// The hand-made report: lines of this version, of an older one, and of no report.
const char* const kHandMade =
    R"({"position":"A10","port":"/dev/ttyUSB3","device":"/dev/ttyUSB3","address":1,"result":"ok","step":null,"durationMs":100,"start":"2026-12-08T04:05:06.123Z","station":"line3","job":"ab","continues":null}
{"position":"A10","port":"/dev/ttyUSB3","address":2,"result":"ok","durationMs":201}
{"position":"A2","result":"failed","step":"write","durationMs":300}

{"position":"A2","result":"ok","durationMs":200}
not json {
{"position":"A2","result":"interrupted","step":"write","durationMs":50}
[1,2]
{"port":"/dev/ttyUSB7","address":0,"version":null,"slot":2,"result":"failed","state":"untouched","step":"open","error":"x","verify":"not reached","sha256":null,"durationMs":10,"backups":{},"restore":null}
{"port":"x","durationMs":5}
{"position":"B,\"1\"","result":"failed","step":"scan","address":null}
{"position":"A2","result":"maybe"}
)";

std::vector<std::string> Lines(const std::string& text, const std::string& end = "\n") {
    std::vector<std::string> lines;
    for (std::size_t from = 0; from < text.size();) {
        const std::size_t at = text.find(end, from);
        lines.push_back(text.substr(from, at == std::string::npos ? std::string::npos : at - from));
        from = at == std::string::npos ? text.size() : at + end.size();
    }
    return lines;
}

// The fields of one CSV row (RFC 4180: quoted fields, "" for a quote).
Row CsvFields(const std::string& line) {
    Row fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') fields.back() += line[++i];
        else if (c == '"') quoted = !quoted;
        else if (c == ',' && !quoted) fields.emplace_back();
        else fields.back() += c;
    }
    return fields;
}

Table FromText(const std::string& out) {
    Table t;
    const auto lines = Lines(out);
    EXPECT_EQ(Words(lines.at(0)), Row({"Position", "Boards", "Ok", "Yield", "Open", "Version", "Backup", "Write",
                                       "Verify", "Reset", "Scan", "Interrupted", "Median", "ms"}));
    for (std::size_t i = 1; i < lines.size(); ++i) {
        // The position may hold blanks; the twelve columns after it do not.
        Row w = Words(lines[i]);
        Row row(w.end() - 12, w.end());
        std::string name = lines[i].substr(0, lines[i].find("  "));
        row.erase(row.begin() + 2);  // the yield
        if (row.back() == "-") row.back() = "";
        t[name] = row;
    }
    return t;
}

Row FromJson(const Json& p) {
    Row row = {std::to_string(p["boards"].get<int>()), std::to_string(p["ok"].get<int>())};
    for (const auto& c : kColumns) row.push_back(std::to_string(p["failed"][c].get<int>()));
    row.push_back(std::to_string(p["interrupted"].get<int>()));
    row.push_back(p["medianMs"].is_null() ? "" : std::to_string(p["medianMs"].get<int>()));
    return row;
}

class ReportSummary : public TempDirTest {
protected:
    // Three emulated boards written by the real program, the second with a
    // flash cell in the mode table that stores a wrong byte: it fails verify.
    void RunProgramOnBoards() {
        std::vector<std::unique_ptr<vantrel_board::Board>> boards;
        std::vector<std::string> args = {"program", "--modes", P("m.MOD"), "--verify", "--report", P("r1.jsonl")};
        for (int i = 0; i < 3; ++i) {
            vantrel_board::Options options;
            options.baud = 0;
            if (i == 1) options.faults.corruptStoreAddress = static_cast<int32_t>(VANTREL_MODE_TABLE_BASE + 5);
            boards.push_back(std::make_unique<vantrel_board::Board>(options));
            ASSERT_TRUE(boards.back()->Start()) << boards.back()->LastError();
            args.push_back(boards.back()->SlavePath());
            devices_.push_back(boards.back()->SlavePath());
        }
        ASSERT_EQ(Cli({"--device", devices_[0], "modes", "read", "-o", P("m.MOD")}).code, 0);
        const ProcessResult r = RunProgram(args, dir_.string(), "", 60);
        for (auto& b : boards) b->Stop();
        ASSERT_EQ(r.code, 1) << r.err;
    }
    std::vector<std::string> devices_;
};

TEST_F(ReportSummary, SumsProgramReportsAndHandMadeLinesPerPositionInEveryFormat) {
    ASSERT_NO_FATAL_FAILURE(RunProgramOnBoards());
    fs::create_directories(dir_ / "reports" / "empty");
    WriteText(dir_ / "reports" / "r2.jsonl", kHandMade);
    WriteText(dir_ / "reports" / "notes.txt", "not a report\n");
    ASSERT_EQ(::mkfifo(P("fifo.jsonl").c_str(), 0600), 0);

    //                                     boards ok  open ver back write verify reset scan int median
    const Table all = {{devices_[0], {"1", "1", "0", "0", "0", "0", "0", "0", "0", "0", "*"}},
                       {devices_[1], {"1", "0", "0", "0", "0", "0", "1", "0", "0", "0", "*"}},
                       {devices_[2], {"1", "1", "0", "0", "0", "0", "0", "0", "0", "0", "*"}},
                       {"/dev/ttyUSB7", {"1", "0", "1", "0", "0", "0", "0", "0", "0", "0", "10"}},
                       {"A2", {"3", "1", "0", "0", "0", "1", "0", "0", "0", "1", "200"}},
                       {"A10", {"2", "2", "0", "0", "0", "0", "0", "0", "0", "0", "150"}},
                       {"B,\"1\"", {"1", "0", "0", "0", "0", "0", "0", "0", "1", "0", ""}}};
    const std::vector<std::string> unreadable = {"r2.jsonl, line 6: not JSON", "r2.jsonl, line 8: not a JSON object",
                                                 "r2.jsonl, line 10: no \"result\"",
                                                 "r2.jsonl, line 12: \"result\" is \"maybe\""};
    const auto matches = [](const Table& got, const Table& want) {
        ASSERT_EQ(got.size(), want.size());
        for (const auto& [position, row] : want) {
            ASSERT_TRUE(got.count(position)) << position;
            const Row& g = got.at(position);
            ASSERT_EQ(g.size(), row.size()) << position;
            for (std::size_t i = 0; i < row.size(); ++i)
                if (row[i] != "*") {
                    EXPECT_EQ(g[i], row[i]) << position << " column " << i;
                }
        }
    };

    // Text: positions in counting order, the total last, the unreadable lines named.
    ProcessResult r = RunProgram({"report", "summary", P("r1.jsonl"), P("reports")}, dir_.string());
    EXPECT_EQ(r.code, 1) << r.err;
    Table text = FromText(r.out);
    const auto lines = Lines(r.out);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(Words(lines.back()),
              Row({"Total", "10", "5", "50.0%", "1", "0", "0", "1", "1", "0", "1", "1", Words(lines.back()).back()}));
    text.erase("Total");
    matches(text, all);
    EXPECT_LT(r.out.find("\nA2 "), r.out.find("\nA10 "));
    EXPECT_LT(r.out.find("\nA10 "), r.out.find("\nB,\"1\" "));
    EXPECT_NE(r.out.find("33.3%"), std::string::npos);
    for (const auto& u : unreadable) EXPECT_NE(r.err.find(u), std::string::npos) << u << "\n" << r.err;
    EXPECT_EQ(Lines(r.err).size(), unreadable.size()) << r.err;

    r = RunProgram({"--json", "report", "summary", P("reports"), P("r1.jsonl")}, dir_.string());
    EXPECT_EQ(r.code, 1) << r.err;
    const Json j = Json::parse(r.out);
    Table fromJson;
    for (const Json& p : j["positions"]) fromJson[p["position"].get<std::string>()] = FromJson(p);
    matches(fromJson, all);
    EXPECT_EQ(FromJson(j["total"]).at(0), "10");
    EXPECT_EQ(j["unreadable"], 4);
    EXPECT_EQ(j["reports"], 2);

    r = RunProgram({"report", "summary", "--csv", P("r1.jsonl"), P("reports")}, dir_.string());
    EXPECT_EQ(r.code, 1) << r.err;
    ASSERT_EQ(r.out.substr(r.out.size() - 2), "\r\n");
    const auto rows = Lines(r.out, "\r\n");
    EXPECT_EQ(rows.at(0),
              "position,boards,ok,failed_open,failed_version,failed_backup,failed_write,failed_verify,"
              "failed_reset,failed_scan,interrupted,median_ms");
    EXPECT_EQ(rows.back(), R"("B,""1""",1,0,0,0,0,0,0,0,1,0,)");
    Table fromCsv;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        Row f = CsvFields(rows[i]);
        fromCsv[f[0]] = Row(f.begin() + 1, f.end());
    }
    matches(fromCsv, all);

    // Runs that need no table of their own: what is read, refused or counted once.
    struct Case {
        const char* name;
        std::vector<std::string> args;  // after "report summary"
        int code;
        std::string err;  // part of stderr ("" : none at all)
        int boards;       // of the total (-1: nothing on stdout)
    };
    const std::vector<Case> cases = {
        {"the program's report alone", {P("r1.jsonl")}, 0, "", 3},
        {"a file named twice", {P("r1.jsonl"), P("./r1.jsonl")}, 0, "the same file as", 3},
        {"a folder and a file in it", {P("reports"), P("reports/r2.jsonl")}, 1, "counted once", 7},
        {"a folder without reports", {P("reports/empty")}, 1, "holds no report (*.jsonl)", -1},
        {"a report that is not there", {P("r1.jsonl"), P("gone.jsonl")}, 1, "gone.jsonl", -1},
        {"a FIFO", {P("fifo.jsonl")}, 1, "fifo.jsonl", -1},
        {"a FIFO in a folder", {dir_.string()}, 1, "fifo.jsonl", -1},
        {"--csv with --json", {"--json", "--csv", P("r1.jsonl")}, 2, "--csv and --json", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = {"report", "summary"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        if (c.boards >= 0) args.insert(args.begin(), "--json");
        r = RunProgram(args, dir_.string());
        EXPECT_EQ(r.code, c.code) << r.err;
        if (c.err.empty()) {
            EXPECT_EQ(r.err, "");
        } else {
            EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
        }
        if (c.boards >= 0) {
            EXPECT_EQ(Json::parse(r.out)["total"]["boards"], c.boards) << r.out;
        } else if (c.code != 2) {
            EXPECT_EQ(r.out, "");
        }
    }
}

}  // namespace
}  // namespace clitest
