// tolvane2-cli on files, run as a program: nothing ends it with an exception,
// no input file is overwritten, every failed write (stdout included) is an
// exit 1 with the system's reason, and files are read by content first.
#include "cli_harness.h"
#include "cli_process.h"

#include <sys/stat.h>

#include <cstring>
#include <sstream>

#include "files/record_files.h"
#include "tolvane/files.h"
#include "tolvane/modes.h"
#include "tolvane/panel.h"

using namespace clitest;

namespace {

struct Case {
    std::vector<std::string> args;
    int code;
    std::string errHas;          // stderr holds this ("" : anything)
    std::string outHas = "";     // stdout holds this ("" : anything)
    std::string stdoutTo = "";   // see RunProgram
    std::string unchanged = "";  // this file's bytes (or absence) stay as they were
    long outSize = -1;           // exact stdout size (-1: any)
};

class CliProgram : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        PanelRecord panel{};
        SetPanelDefaults(panel);
        std::memcpy(panel.displayName,
                    "Gr\xF6\xDF"
                    "e",
                    5);  // Latin-1 "Größe"
        ASSERT_TRUE(WritePanelFile(P("n.PNL"), panel));
        ASSERT_TRUE(WritePanelFile(P("x\xFF.PNL"), panel));
        std::memcpy(panel.displayName, "Plain", 6);
        ASSERT_TRUE(WritePanelFile(P("p.PNL"), panel));
        for (int i = 10; i <= 20; ++i) panel.gammaTable.level[i] = static_cast<uint8_t>(panel.gammaTable.level[i] + 1);
        panel.hMinTotal = static_cast<uint16_t>(panel.hMinTotal + 1);
        ASSERT_TRUE(WritePanelFile(P("q.PNL"), panel));
        ModeTable modes{};
        SetModeTableDefaults(modes);
        ASSERT_TRUE(WriteModeFile(P("m.MOD"), modes));
        GammaTable gamma{};
        for (int i = 0; i < 256; ++i) gamma.level[i] = static_cast<uint8_t>(i);
        ASSERT_TRUE(WriteGammaFile(P("g.GAM"), gamma));

        cli::RecordFile file;
        std::string error;
        ASSERT_TRUE(cli::LoadRecordFile(P("p.PNL"), std::nullopt, file, error)) << error;
        WriteText(P("p.json"), cli::RecordToJson(file).dump(2));
        ASSERT_TRUE(cli::LoadRecordFile(P("g.GAM"), std::nullopt, file, error)) << error;
        WriteText(P("g.json"), cli::RecordToJson(file).dump(2));
        std::string csv = "input,output\n";
        for (int i = 0; i < 256; ++i) csv += std::to_string(i) + "," + std::to_string(255 - i) + "\n";
        WriteText(P("g.csv"), csv);

        fs::create_directory(P("sub"));
        fs::create_hard_link(P("p.PNL"), P("link.PNL"));
        ASSERT_EQ(::mkfifo(P("fifo").c_str(), 0600), 0);
        WriteText(P("big.csv"), std::string(2 * 1024 * 1024, '#'));

        Bytes b = ReadBytes(P("p.PNL"));
        b.push_back(0);
        WriteBytes(P("long.PNL"), b);  // 513 bytes
        b = ReadBytes(P("m.MOD"));
        b.push_back(0);
        WriteBytes(P("long.MOD"), b);  // 2117 bytes
        b = ReadBytes(P("p.PNL"));
        WriteBytes(P("short.PNL"), Bytes(b.begin(), b.begin() + 100));
        std::memcpy(b.data(), "PANEL\0\0\0", 8);
        WriteBytes(P("magic.PNL"), b);
        b = ReadBytes(P("m.MOD"));
        b[10] = 45;
        WriteBytes(P("count.MOD"), b);
        // Broken JSON the size of a gamma table and of a panel file.
        std::string broken = "{\n  \"format\": \"tolvane2-gamma\",\n  \"gammaTable\": [0, 1,, 2]";
        WriteText(P("broken256.json"), broken + std::string(256 - broken.size(), ' '));
        WriteText(P("overflow.json"), "{\"format\": \"tolvane2-gamma\",\n \"gammaTable\": [1e999]}");
        WriteText(P("broken512.PNL"), "\xEF\xBB\xBF" + broken + std::string(512 - 3 - broken.size(), '\n'));
    }

    void Run(const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            std::string line;
            for (const auto& a : c.args) line += a + " ";
            SCOPED_TRACE(line + (c.stdoutTo.empty() ? "" : "> " + c.stdoutTo));
            const bool existed = !c.unchanged.empty() && fs::exists(c.unchanged);
            const Bytes before = existed ? ReadBytes(c.unchanged) : Bytes();
            const ProcessResult r = RunProgram(c.args, dir_.string(), c.stdoutTo);
            EXPECT_EQ(r.code, c.code) << r.err;
            EXPECT_NE(r.err.find(c.errHas), std::string::npos) << r.err;
            EXPECT_NE(r.out.find(c.outHas), std::string::npos) << r.out;
            if (c.outSize >= 0) {
                EXPECT_EQ(static_cast<long>(r.out.size()), c.outSize);
            }
            EXPECT_EQ(r.err.find("terminate called"), std::string::npos) << r.err;
            std::istringstream lines(r.err);
            for (std::string message; std::getline(lines, message);)
                EXPECT_EQ(message.rfind("tolvane2-cli:", 0), 0u) << "every message is the tool's:\n" << r.err;
            if (!c.unchanged.empty()) {
                EXPECT_EQ(fs::exists(c.unchanged), existed) << c.unchanged;
                if (existed) {
                    EXPECT_EQ(ReadBytes(c.unchanged), before) << c.unchanged;
                }
            }
        }
    }
};

TEST_F(CliProgram, NamesAndFileNamesAreShownAsUtf8AndStdoutFailuresAreReported) {
    Run({
        {{"show", P("n.PNL")},
         0,
         "",
         "Panel \"Gr\xC3\xB6\xC3\x9F"
         "e\""},
        {{"--json", "show", P("n.PNL")},
         0,
         "",
         "\"displayName\": \"Gr\xC3\xB6\xC3\x9F"
         "e\""},
        {{"--json", "check", P("x\xFF.PNL")}, 1, "", "x\\\\xFF.PNL\""},
        {{"check", P("x\xFF.PNL")}, 1, "", "x\\xFF.PNL: error: "},
        {{"show", "x\xFF.PNL", "--kind", "modes"}, 1, "tolvane2-cli: x\\xFF.PNL: is a panel file", ""},
        {{"to-json", P("m.MOD")},
         1,
         "tolvane2-cli: cannot write to standard output: No space left on device",
         "",
         "/dev/full"},
        {{"show", P("p.PNL")},
         1,
         "tolvane2-cli: cannot write to standard output: No space left on device",
         "",
         "/dev/full"},
        {{"--json", "check", P("p.PNL")},
         1,
         "cannot write to standard output: No space left on device",
         "",
         "/dev/full"},
        {{"gamma", "to-csv", P("g.GAM"), "-o", "-"}, 1, "cannot write to standard output", "", "/dev/full"},
    });
}

TEST_F(CliProgram, NoOutputOverwritesAnInputAndEveryFailedWriteSaysWhy) {
    const std::string bin = P("out.bin");
    Run({
        {{"to-json", P("p.PNL"), "-o", P("link.PNL")}, 1, "link.PNL: is the input file", "", "", P("p.PNL")},
        {{"to-json", P("p.PNL"), "-o", P("sub/../p.PNL")}, 1, "is the input file", "", "", P("p.PNL")},
        {{"from-json", "p.json", "-o", "./p.json"}, 1, "is the input file", "", "", P("p.json")},
        {{"merge", P("p.PNL"), P("g.GAM"), "-o", P("g.GAM")}, 1, "is the input file", "", "", P("g.GAM")},
        {{"merge", P("p.PNL"), P("g.GAM"), "-o", P("link.PNL")}, 1, "is the input file", "", "", P("p.PNL")},
        {{"gamma", "to-csv", P("g.GAM"), "-o", P("g.GAM")}, 1, "is the input file", "", "", P("g.GAM")},
        {{"gamma", "from-csv", P("g.csv"), "-o", P("g.csv")}, 1, "is the input file", "", "", P("g.csv")},
        {{"plot", P("p.PNL"), "-o", P("link.PNL")}, 1, "is the input file", "", "", P("p.PNL")},
        {{"to-json", P("p.PNL"), "-o", P("nodir/p.json")}, 1, "nodir/p.json: cannot write the file: no such folder"},
        {{"to-json", P("p.PNL"), "-o", P("sub")}, 1, "sub: cannot write the file: is a folder"},
        {{"from-json", P("p.json"), "-o", "/dev/full"},
         1,
         "/dev/full: ERROR: Can't write panel data !: not a regular file"},
        {{"gamma", "from-csv", P("g.csv"), "-o", P("nodir/g.GAM")},
         1,
         "cannot write the gamma table file: no such folder"},
        // Readers take regular files only and read a bounded amount.
        {{"gamma", "from-csv", "/dev/zero", "-o", bin}, 1, "/dev/zero: not a regular file", "", "", bin},
        {{"gamma", "from-csv", P("fifo"), "-o", bin}, 1, "fifo: not a regular file", "", "", bin},
        {{"gamma", "from-csv", P("big.csv"), "-o", bin}, 1, "big.csv: is 2097152 bytes; at most", "", "", bin},
    });
}

TEST_F(CliProgram, AFolderThatRefusesTheFileIsNamedWithTheReason) {
    // Permissions do not bind root: root runs the program as nobody.
    const long user = ::geteuid() == 0 ? 65534 : -1;
    fs::create_directory(P("ro"));
    ::chmod(P("ro").c_str(), 0555);
    ::chmod(dir_.c_str(), 0755);
    const ProcessResult r = RunProgram({"to-json", P("p.PNL"), "-o", P("ro/p.json")}, dir_.string(), "", 20, user);
    ::chmod(P("ro").c_str(), 0755);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("ro/p.json: cannot write the file: Permission denied"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(P("ro/p.json")));
}

TEST_F(CliProgram, DashIsStandardOutputForEveryWritingCommand) {
    const std::string dash = P("-");
    Run({
        {{"from-json", "p.json", "-o", "-"}, 0, "Panel file written to standard output", "", "", dash, 512},
        {{"merge", "p.PNL", "g.json", "-o", "-"}, 0, "", "", "", dash, 512},
        {{"gamma", "from-csv", "g.csv", "-o", "-"}, 0, "", "", "", dash, 256},
        {{"to-json", "p.PNL", "-o", "-"}, 0, "", "\"format\": \"tolvane2-panel\"", "", dash},
        {{"from-json", "p.json", "-o", "-"}, 1, "not written to a terminal", "", ":pty", dash},
    });
}

TEST_F(CliProgram, KindByContentAndMessagesThatSayWhatWasExpected) {
    Run({
        {{"check", "broken256.json"}, 1, "broken256.json: not valid JSON: line 3, column 23: syntax error"},
        {{"show", "broken512.PNL"}, 1, "broken512.PNL: not valid JSON: line 3, column 23"},
        {{"show", "overflow.json"}, 1, "overflow.json: not valid JSON: line 2, column 21: number overflow"},
        {{"merge", "p.json", "g.json", "-o", "merged.PNL"}, 0, "Merged panel written to merged.PNL"},
        {{"merge", "nope.PNL", "g.GAM", "-o", "merged2.PNL"}, 1, "nope.PNL: no such file", "", "", P("merged2.PNL")},
        {{"merge", "p.PNL", "nope.GAM", "-o", "merged2.PNL"}, 1, "nope.GAM: no such file", "", "", P("merged2.PNL")},
        {{"show", "long.PNL"},
         0,
         "long.PNL: warning: the 1 byte after the first 512 (panel) are ignored",
         "Panel \"Plain\""},
        {{"to-json", "long.MOD"}, 0, "long.MOD: warning: the 1 byte after the first 2116 (mode table) are ignored"},
        {{"show", "short.PNL"}, 1, "ERROR: Can't load panel data ! (a panel file is 512 bytes, this one is 100)"},
        {{"show", "magic.PNL"},
         1,
         "ERROR: Wrong format of panel file ! (a panel file begins with \"VANTRL2\\x00\", this one with "
         "\"PANEL\\x00\\x00\\x00\")"},
        {{"check", "count.MOD"}, 1, "ERROR: Wrong format of mode file ! (its mode count is 45, at most 38)"},
        {{"diff", "p.PNL", "q.PNL"}, 1, "", "\ngammaTable[10..20]: 11 entries differ\n12 fields differ\n"},
        {{"diff", "p.PNL", "link.PNL"}, 0, "", "no differences\n"},
    });
}

}  // namespace
