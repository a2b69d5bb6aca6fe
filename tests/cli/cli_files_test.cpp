// tolvane2-cli on files: lossless JSON round trips, JSON errors that name the
// field, checks on crafted records, diff, merge, gamma CSV and exit codes.
#include "cli_harness.h"

#include <cstring>
#include <random>

#include "tolvane/files.h"
#include "tolvane/modes.h"
#include "tolvane/panel.h"
#include "vantrel_board/board.h"

#include <nlohmann/json.hpp>

using namespace clitest;
using Json = nlohmann::ordered_json;

namespace {

PanelRecord FactoryPanel(int slot) {
    const auto flash = vantrel_board::FactoryFlash();
    PanelImage image{};
    GammaTable gamma{};
    std::memcpy(image.bytes, flash.data() + 0xFB00 + 64 * slot, 64);
    std::memcpy(gamma.level, flash.data() + 0xF700 + 256 * slot, 256);
    PanelRecord r{};
    SetPanelDefaults(r);
    ImageToPanelRecord(image, gamma, r);
    return r;
}

ModeTable FactoryModes() {
    const auto flash = vantrel_board::FactoryFlash();
    ModeTableImage image{};
    std::memcpy(image.bytes, flash.data() + 0xF400, 768);
    ModeTable t{};
    ImageToModeTable(image, t);
    return t;
}

// A panel record that passes every check of the editor and the extra ones.
PanelRecord GoodPanel() {
    PanelRecord r = FactoryPanel(3);  // 640x480, 800 x 525 at up to 75 Hz
    r.maxDisplayClock = 31500;        // exactly what that timing needs
    return r;
}

class CliFiles : public TempDirTest {
protected:
    // to-json then from-json: the bytes must come back unchanged.
    void ExpectRoundTrip(const Bytes& bytes, const std::string& ext) {
        WriteBytes(P("in" + ext), bytes);
        Result toJson = Cli({"to-json", P("in" + ext), "-o", P("form.json")});
        ASSERT_EQ(toJson.code, 0) << toJson.err;
        Result back = Cli({"from-json", P("form.json"), "-o", P("out" + ext)});
        ASSERT_EQ(back.code, 0) << back.err;
        EXPECT_EQ(ReadBytes(P("out" + ext)), bytes) << ReadText(P("form.json"));
    }

    Json PanelJson(const PanelRecord& r) {
        EXPECT_TRUE(WritePanelFile(P("p.PNL"), r));
        Result res = Cli({"to-json", P("p.PNL")});
        EXPECT_EQ(res.code, 0) << res.err;
        return Json::parse(res.out);
    }

    Result FromJson(const Json& j, const std::string& out = "x.PNL") {
        WriteText(P("edited.json"), j.dump(1));
        return Cli({"from-json", P("edited.json"), "-o", P(out)});
    }

    Result CheckPanel(const PanelRecord& r) {
        EXPECT_TRUE(WritePanelFile(P("c.PNL"), r));
        return Cli({"--json", "check", P("c.PNL")});
    }
    Result CheckModes(const ModeTable& t) {
        EXPECT_TRUE(WriteModeFile(P("c.MOD"), t));
        return Cli({"--json", "check", P("c.MOD")});
    }
};

// Findings of a `check --json` run as "severity field message" lines.
std::vector<std::string> Findings(const Result& r) {
    std::vector<std::string> out;
    const Json report = Json::parse(r.out);
    for (const auto& f : report["findings"])
        out.push_back(f["severity"].get<std::string>() + " " + f["field"].get<std::string>() + " " +
                      f["message"].get<std::string>());
    return out;
}

bool HasFinding(const Result& r, const std::string& severity, const std::string& field, const std::string& text) {
    for (const auto& line : Findings(r))
        if (line.rfind(severity + " " + field + " ", 0) == 0 && line.find(text) != std::string::npos) return true;
    return false;
}

}  // namespace

TEST_F(CliFiles, FactoryRecordsAndRandomFilesSurviveJsonByteForByte) {
    for (int slot = 0; slot < 4; ++slot) {
        uint8_t bytes[kPanelFileSize];
        PanelRecordToFileBytes(FactoryPanel(slot), bytes);
        ExpectRoundTrip(Bytes(bytes, bytes + sizeof bytes), ".PNL");
    }
    uint8_t modes[kModeFileSize];
    ModeTableToFileBytes(FactoryModes(), modes);
    ExpectRoundTrip(Bytes(modes, modes + sizeof modes), ".MOD");

    // Random bytes everywhere but the magic (in any letter case) and a count the
    // editor accepts: reserved bytes, name tails, Latin-1 names, spare bits.
    std::mt19937 rng(20261207);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 20; ++round) {
        Bytes panel(kPanelFileSize);
        for (auto& b : panel) b = static_cast<uint8_t>(byte(rng));
        std::memcpy(panel.data(), round % 2 ? "vAnTrL2" : "VANTRL2", 8);
        if (round % 3 == 0) panel[10 + byte(rng) % 16] = 0;  // a name with a tail behind its NUL
        ExpectRoundTrip(panel, ".PNL");

        Bytes table(kModeFileSize);
        for (auto& b : table) b = static_cast<uint8_t>(byte(rng));
        std::memcpy(table.data(), "VANTRL2", 8);
        table[10] = static_cast<uint8_t>(byte(rng) % 39);
        table[11] = 0;
        ExpectRoundTrip(table, ".MOD");

        Bytes gamma(kGammaFileSize);
        for (auto& b : gamma) b = static_cast<uint8_t>(byte(rng));
        ExpectRoundTrip(gamma, ".GAM");
    }
}

TEST_F(CliFiles, JsonFormNamesFieldsAndListTexts) {
    Json j = PanelJson(FactoryPanel(1));
    EXPECT_EQ(j["format"], "tolvane2-panel");
    EXPECT_EQ(j["displayName"], "NL128102AC28-01");
    EXPECT_EQ(j["manufacturerText"], "NEC");
    EXPECT_EQ(j["interfaceText"], " 2x24 Bit ");
    EXPECT_EQ(j["panelFlags"]["useGamma"], true);
    EXPECT_EQ(j["outputDrive"]["controlLinesDriveText"], "4 - 9,7 mA");
    EXPECT_EQ(j["maxDisplayClock"], 135000);
    EXPECT_EQ(j["gammaTable"].size(), 256u);

    // An edited field and its list text: the index decides, the text is only read.
    j["manufacturer"] = 21;
    j["manufacturerText"] = "whatever";
    ASSERT_EQ(FromJson(j).code, 0);
    PanelRecord back{};
    bool wrong = false;
    ASSERT_TRUE(ReadPanelFile(P("x.PNL"), back, wrong));
    EXPECT_EQ(back.manufacturer, 21);
}

TEST_F(CliFiles, JsonErrorsNameThePathOfTheWrongField) {
    const Json good = PanelJson(FactoryPanel(0));
    struct Case {
        std::function<void(Json&)> edit;
        std::string path;
    };
    const std::vector<Case> cases = {
        {[](Json& j) { j["gammaTable"][17] = 300; }, "gammaTable[17]: 300 is out of range 0..255"},
        {[](Json& j) { j["panelFlags"]["useGama"] = true; }, "panelFlags.useGama: is not a field"},
        {[](Json& j) { j["panelFlags"].erase("dualPixel"); }, "panelFlags.dualPixel: is missing"},
        {[](Json& j) { j["hMinTotal"] = -1; }, "hMinTotal: must be a whole number"},
        {[](Json& j) { j["maxDisplayClock"] = "80 MHz"; }, "maxDisplayClock: must be a whole number"},
        {[](Json& j) { j["displayName"] = "seventeen chars!!"; }, "displayName: is longer than 16"},
        {[](Json& j) { j["magic"] = "VANTRL3"; }, "magic: must be \"VANTRL2\""},
        {[](Json& j) { j["reserved78"] = "00"; }, "reserved78: must hold 352 hexadecimal digits"},
    };
    for (const auto& c : cases) {
        Json j = good;
        c.edit(j);
        Result r = FromJson(j, "bad.PNL");
        EXPECT_EQ(r.code, 1) << c.path;
        EXPECT_NE(r.err.find(c.path), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(P("bad.PNL"))) << "a refused form writes nothing";
    }

    ASSERT_TRUE(WriteModeFile(P("m.MOD"), FactoryModes()));
    Json modes = Json::parse(Cli({"to-json", P("m.MOD")}).out);
    modes["entries"][3]["modeFlags"]["scanType"] = 16;
    Result r = FromJson(modes, "bad.MOD");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("entries[3].modeFlags.scanType: 16 is out of range 0..15"), std::string::npos) << r.err;

    WriteText(P("broken.json"), "{\"format\": \"tolvane2-gamma\", ");
    r = Cli({"from-json", P("broken.json"), "-o", P("g.GAM")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("not valid JSON"), std::string::npos) << r.err;
}

TEST_F(CliFiles, CheckReportsTheEditorsPageChecksAndTheEngineersOwn) {
    Result clean = CheckPanel(GoodPanel());
    EXPECT_EQ(clean.code, 0) << clean.out;
    EXPECT_TRUE(Findings(clean).empty()) << clean.out;

    PanelRecord r = GoodPanel();
    r.displayName[0] = '\0';
    r.vFreqMin = 60;             // min == typ
    r.maxDisplayClock = 150001;  // above 150 MHz
    r.hPulseWidth = 257;
    r.powerOffT3 = 251;  // 2510 ms
    r.kesaId = 16;
    SetDataLinesDrive(r, 0);
    Result bad = CheckPanel(r);
    EXPECT_EQ(bad.code, 1);
    EXPECT_TRUE(HasFinding(bad, "error", "displayName", "ERROR: No display name defined !"));
    EXPECT_TRUE(HasFinding(bad, "error", "vFreqTyp", "ERROR: Min value equal or greater Typ value !"));
    EXPECT_TRUE(HasFinding(bad, "error", "maxDisplayClock", "ERROR: Use values between 15 to 150 MHz !"));
    EXPECT_TRUE(HasFinding(bad, "error", "hPulseWidth", "ERROR: Do not use values over 256 !"));
    EXPECT_TRUE(HasFinding(bad, "error", "powerOffT3", "ERROR: Use timing values between 10 to 2500 ms !"));
    EXPECT_TRUE(HasFinding(bad, "error", "kesaId", "no list entry"));
    EXPECT_TRUE(HasFinding(bad, "error", "outputDrive.dataLinesDrive", "no list entry"));

    // Totals shorter than the sum, and a timing that needs more clock than the
    // panel takes: warnings only (the editor accepts both), exit 0.
    r = GoodPanel();
    r.hMinTotal = 783;          // 640 + 96 + 48 = 784
    r.maxDisplayClock = 20000;  // 783 x 525 x 75 Hz = 30.83 MHz
    Result warn = CheckPanel(r);
    EXPECT_EQ(warn.code, 0) << warn.out;
    EXPECT_TRUE(HasFinding(warn, "warning", "hMinTotal", "= 784"));
    EXPECT_TRUE(HasFinding(warn, "warning", "maxDisplayClock", "needs 30.831 MHz"));
    r.hMinTotal = 784;
    EXPECT_FALSE(HasFinding(CheckPanel(r), "warning", "hMinTotal", ""));
}

// A custom resolution is its own display period: with totals exactly
// display period + pulse width + back-porch nothing is short, not for
// `check` and not for `plot` (the class's standard pair would be 1024 x 768).
TEST_F(CliFiles, CustomResolutionWithExactTotalsIsNotShort) {
    PanelRecord r = GoodPanel();
    SetResolutionClass(r, kClassXGA);
    SetCustomResolution(r, true);
    r.hResolution = 1024;
    r.vResolution = 600;
    r.hMinTotal = static_cast<uint16_t>(1024 + r.hPulseWidth + r.hBackPorch);
    r.vMinTotal = static_cast<uint16_t>(600 + r.vPulseWidth + r.vBackPorch);
    r.maxDisplayClock = 150000;
    Result check = CheckPanel(r);
    EXPECT_EQ(check.code, 0) << check.out;
    EXPECT_TRUE(Findings(check).empty()) << check.out;
    Result plot = Cli({"plot", P("c.PNL"), "-o", P("c.svg")});
    ASSERT_EQ(plot.code, 0) << plot.err;
    EXPECT_EQ(ReadText(P("c.svg")).find("class=\"overrun\""), std::string::npos);
}

// A gamma table is known by its 256 bytes, whatever its name.
TEST_F(CliFiles, ShowTakesAnyFileOf256BytesForAGammaTable) {
    Bytes curve(256);
    for (int i = 0; i < 256; ++i) curve[i] = static_cast<uint8_t>(255 - i);
    WriteBytes(P("curve.bin"), curve);
    Result show = Cli({"show", P("curve.bin")});
    EXPECT_EQ(show.code, 0) << show.err;
    EXPECT_NE(show.out.find("Gamma table, corrected"), std::string::npos) << show.out;
}

TEST_F(CliFiles, CheckFindsBadModesOverlapsAndLineRates) {
    EXPECT_EQ(CheckModes(FactoryModes()).code, 0);

    ModeTable t = FactoryModes();
    t.entries[2].activeWidth = 660;  // 141 + 660 > 800
    t.entries[4].modeFlags = 0;      // no input
    t.entries[5] = t.entries[3];     // duplicate of entry 3
    t.entries[6].hFreq = 400;        // 56.2 Hz x 625 lines = 35.1 kHz, not 40.0
    t.entries[7].hFreq = 375;        // within 1.0 kHz of entry 4's 37.5, same vFreq window? no: 60.3 vs 75.0
    t.entries[8].hFreqTol = 40;      // 48.1 +- 4.0 kHz overlaps entry 9 (46.9 kHz) ...
    t.entries[8].vFreq = 750;        // ... at 75.0 Hz ...
    t.entries[8].vTotal = 625;       // ... with 625 lines
    Result r = CheckModes(t);
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(HasFinding(r, "error", "entries[2].hTotal", "ERROR: Width and horiz. start exceed total period !"));
    EXPECT_TRUE(HasFinding(r, "error", "entries[4].modeFlags", "ERROR: No input signal enabled !"));
    EXPECT_TRUE(HasFinding(r, "error", "entries[5]", "duplicates entry 3"));
    EXPECT_TRUE(HasFinding(r, "error", "entries[6].hFreq", "line rate 40.0 kHz does not match"));
    EXPECT_TRUE(HasFinding(r, "error", "entries[9]", "overlaps entry 8"));
    EXPECT_FALSE(HasFinding(r, "error", "entries[7]", "overlaps"));
    // The text mode pair differs only in its scan type: a warning.
    EXPECT_TRUE(HasFinding(r, "warning", "entries[1]", "only the scan type"));

    // Text output: one line per finding, on stdout.
    Result text = Cli({"check", P("c.MOD")});
    EXPECT_EQ(text.code, 1);
    EXPECT_NE(text.out.find("c.MOD: error: entries[4].modeFlags: ERROR: No input signal enabled !"), std::string::npos);
}

TEST_F(CliFiles, ShowDiffMergeAndGammaCsv) {
    ASSERT_TRUE(WritePanelFile(P("a.PNL"), FactoryPanel(0)));
    Result show = Cli({"show", P("a.PNL")});
    EXPECT_EQ(show.code, 0);
    EXPECT_NE(show.out.find("\"SHARP\""), std::string::npos);
    EXPECT_NE(show.out.find("\" 1x18 Bit \""), std::string::npos);
    EXPECT_NE(show.out.find("\"1 -  0.5/3.5 ns\""), std::string::npos);
    EXPECT_NE(show.out.find("min 56 Hz, typ 60 Hz, max 75 Hz"), std::string::npos);
    ASSERT_TRUE(WriteModeFile(P("m.MOD"), FactoryModes()));
    show = Cli({"show", P("m.MOD")});
    EXPECT_NE(show.out.find("Mode table, 21 modes"), std::string::npos);
    EXPECT_NE(show.out.find("Overlapped 720x400"), std::string::npos);

    PanelRecord b = FactoryPanel(0);
    b.hMinTotal = 1200;
    b.gammaTable.level[5] = 9;
    ASSERT_TRUE(WritePanelFile(P("b.PNL"), b));
    Result same = Cli({"diff", P("a.PNL"), P("a.PNL")});
    EXPECT_EQ(same.code, 0);
    EXPECT_EQ(same.out, "no differences\n");
    Result diff = Cli({"diff", P("a.PNL"), P("b.PNL")});
    EXPECT_EQ(diff.code, 1);
    EXPECT_EQ(diff.out, "hMinTotal: 1184 -> 1200\ngammaTable[5]: 5 -> 9\n2 fields differ\n");

    // merge: the gamma file's bytes and useGamma; nothing else changes.
    Bytes gamma(256);
    for (int i = 0; i < 256; ++i) gamma[i] = static_cast<uint8_t>(255 - i);
    WriteBytes(P("inv.GAM"), gamma);
    ASSERT_EQ(Cli({"merge", P("a.PNL"), P("inv.GAM"), "-o", P("merged.PNL")}).code, 0);
    Bytes before = ReadBytes(P("a.PNL")), merged = ReadBytes(P("merged.PNL"));
    ASSERT_EQ(merged.size(), 512u);
    EXPECT_EQ(merged[33], before[33] | 0x10);
    before[33] = merged[33];
    EXPECT_TRUE(std::equal(before.begin(), before.begin() + 256, merged.begin()));
    EXPECT_TRUE(std::equal(gamma.begin(), gamma.end(), merged.begin() + 256));
    WriteBytes(P("short.GAM"), Bytes(255));
    Result refused = Cli({"merge", P("a.PNL"), P("short.GAM"), "-o", P("m2.PNL")});
    EXPECT_EQ(refused.code, 1);
    EXPECT_NE(refused.err.find("ERROR: Wrong format of gamma table !"), std::string::npos);

    // gamma CSV both ways.
    ASSERT_EQ(Cli({"gamma", "to-csv", P("inv.GAM"), "-o", P("g.csv")}).code, 0);
    EXPECT_EQ(ReadText(P("g.csv")).substr(0, 25), "input,output\n0,255\n1,254\n");
    ASSERT_EQ(Cli({"gamma", "from-csv", P("g.csv"), "-o", P("back.GAM")}).code, 0);
    EXPECT_EQ(ReadBytes(P("back.GAM")), gamma);
    std::string csv = ReadText(P("g.csv"));
    csv.replace(csv.find("\n7,248\n"), 7, "\n7,256\n");
    WriteText(P("bad.csv"), csv);
    Result badCsv = Cli({"gamma", "from-csv", P("bad.csv"), "-o", P("bad.GAM")});
    EXPECT_EQ(badCsv.code, 1);
    EXPECT_NE(badCsv.err.find("bad.csv:9: output 256 is not 0..255"), std::string::npos) << badCsv.err;
    EXPECT_FALSE(fs::exists(P("bad.GAM")));
}

TEST_F(CliFiles, ExitCodesTellUsageFromFailure) {
    ASSERT_TRUE(WritePanelFile(P("a.PNL"), FactoryPanel(0)));
    EXPECT_EQ(Cli({"--help"}).code, 0);
    for (const char* sub : {"show", "to-json", "from-json", "diff", "check", "merge", "info"}) {
        Result help = Cli({sub, "--help"});
        EXPECT_EQ(help.code, 0) << sub;
        EXPECT_NE(help.out.find("Usage"), std::string::npos) << sub;
    }
    EXPECT_EQ(Cli({"panel", "write", "--help"}).code, 0);
    EXPECT_EQ(Cli({}).code, 2);
    EXPECT_EQ(Cli({"frobnicate"}).code, 2);
    EXPECT_EQ(Cli({"show"}).code, 2);
    EXPECT_EQ(Cli({"show", P("a.PNL"), "--bogus"}).code, 2);
    EXPECT_EQ(Cli({"--address", "256", "info"}).code, 2);
    EXPECT_EQ(Cli({"panel", "read", "5"}).code, 2);
    EXPECT_EQ(Cli({"--port", "1", "--device", "/dev/null", "info"}).code, 2);
    EXPECT_EQ(Cli({"from-json", P("a.PNL")}).code, 2);  // -o is required

    Result missing = Cli({"show", P("nope.PNL")});
    EXPECT_EQ(missing.code, 1);
    EXPECT_NE(missing.err.find("no such file"), std::string::npos);
    WriteBytes(P("odd.bin"), Bytes(300, 1));
    EXPECT_EQ(Cli({"show", P("odd.bin")}).code, 1);
    Bytes wrongMagic = ReadBytes(P("a.PNL"));
    wrongMagic[6] = 'X';
    WriteBytes(P("w.PNL"), wrongMagic);
    Result wrong = Cli({"show", P("w.PNL")});
    EXPECT_EQ(wrong.code, 1);
    EXPECT_NE(wrong.err.find("ERROR: Wrong format of panel file !"), std::string::npos);
    // Data on stdout, messages on stderr.
    Result json = Cli({"show", "--json", P("a.PNL")});
    EXPECT_EQ(json.code, 0);
    EXPECT_TRUE(Json::accept(json.out));
    EXPECT_EQ(json.err, "");
}

// A field that is one byte in the file takes 0..255 in its JSON form: a
// larger number is refused with its path and range, never cut to its low byte.
TEST_F(CliFiles, OneByteFieldsRefuseNumbersOverTheirByte) {
    ASSERT_TRUE(WriteModeFile(P("m.MOD"), FactoryModes()));
    const Json panel = PanelJson(FactoryPanel(0));
    const Json modes = Json::parse(Cli({"to-json", P("m.MOD")}).out);
    WriteBytes(P("g.GAM"), Bytes(256, 7));
    const Json gamma = Json::parse(Cli({"to-json", P("g.GAM")}).out);
    struct Case {
        const Json* form;
        Json::json_pointer field;
        const char* path;
    };
    const Case cases[] = {
        {&panel, Json::json_pointer("/powerOnT1"), "powerOnT1"},
        {&panel, Json::json_pointer("/powerOnT2"), "powerOnT2"},
        {&panel, Json::json_pointer("/powerOffT3"), "powerOffT3"},
        {&panel, Json::json_pointer("/powerOffT4"), "powerOffT4"},
        {&panel, Json::json_pointer("/gammaTable/0"), "gammaTable[0]"},
        {&modes, Json::json_pointer("/entries/2/hFreqTol"), "entries[2].hFreqTol"},
        {&modes, Json::json_pointer("/entries/2/vFreqTol"), "entries[2].vFreqTol"},
        {&modes, Json::json_pointer("/entries/2/vTotalTol"), "entries[2].vTotalTol"},
        {&gamma, Json::json_pointer("/gammaTable/255"), "gammaTable[255]"},
    };
    for (const Case& c : cases) {
        Json j = *c.form;
        j[c.field] = 255;
        ASSERT_EQ(FromJson(j, "ok.bin").code, 0) << c.path;
        j[c.field] = 300;
        const Result r = FromJson(j, "bad.bin");
        EXPECT_EQ(r.code, 1) << c.path;
        EXPECT_NE(r.err.find(std::string(c.path) + ": 300 is out of range 0..255"), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(P("bad.bin"))) << c.path;
    }
}

// The JSON form is known by its first character, after any white space
// (line breaks and tabs too) and a byte-order mark, whatever the file's name.
TEST_F(CliFiles, JsonIsKnownByItsBraceAfterAnyWhiteSpace) {
    ASSERT_TRUE(WritePanelFile(P("a.PNL"), FactoryPanel(1)));
    const std::string shown = Cli({"show", P("a.PNL")}).out;
    const std::string form = Cli({"to-json", P("a.PNL")}).out;
    for (const std::string lead : {"\n", "\t", "\r\n", " \t\n ", "\n\n\n\t", "\xEF\xBB\xBF\n\t"}) {
        WriteText(P("form.PNL"), lead + form);
        const Result r = Cli({"show", P("form.PNL")});
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.out, shown);
    }
}

// The board keeps each sync width and porch in one byte: 256 passes the
// editor's own check (not over 256) but reaches the board as 0.
TEST_F(CliFiles, CheckWarnsThatASyncValueOf256IsSentAsZero) {
    const struct {
        const char* field;
        uint16_t PanelRecord::*value;
    } fields[] = {{"hPulseWidth", &PanelRecord::hPulseWidth},
                  {"hBackPorch", &PanelRecord::hBackPorch},
                  {"vPulseWidth", &PanelRecord::vPulseWidth},
                  {"vBackPorch", &PanelRecord::vBackPorch}};
    for (const auto& f : fields) {
        PanelRecord r = GoodPanel();
        r.hMinTotal = 2000;  // room for any width: only the byte is in question
        r.vMinTotal = 1000;
        r.maxDisplayClock = 150000;
        r.*f.value = 255;
        EXPECT_FALSE(HasFinding(CheckPanel(r), "warning", f.field, "does not fit")) << f.field;
        r.*f.value = 256;
        const Result check = CheckPanel(r);
        EXPECT_EQ(check.code, 0) << check.out;
        EXPECT_TRUE(HasFinding(check, "warning", f.field, "256 does not fit the board's byte: it is sent as 0"))
            << check.out;
        const Result text = Cli({"check", P("c.PNL")});
        EXPECT_NE(text.out.find(std::string("c.PNL: warning: ") + f.field + ": 256 does not fit"), std::string::npos)
            << text.out;
    }
}
