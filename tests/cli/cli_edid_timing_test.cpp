// The EDID and timing commands through the command line: the standard
// timings, decoding EDIDs (good and broken), and importing a timing into a
// panel file or a mode file, with the refusals that keep wrong data out.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli_harness.h"
#include "tolvane/edid.h"
#include "tolvane/files.h"
#include "tolvane/modes.h"

namespace clitest {
namespace {

using Json = nlohmann::json;

struct Case {
    const char* name;
    std::vector<std::string> args;  // "@x" stands for the file x in the test's folder
    int code;
    std::string expect;  // in standard output or standard error
    std::string made;    // a file the command must write ("": none); "!x": x must not exist
};

class EdidTimingCommands : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        EdidDescription d;
        d.vendor = "VLB";
        d.name = "XGA PANEL";
        d.bitsPerColor = 6;
        d.timings = {DmtById(0x10)->timing};
        const auto good = EncodeEdid(d);
        ASSERT_TRUE(good.has_value());
        WriteBytes(P("good.bin"), *good);
        Bytes broken = *good;
        broken[0x7F] ^= 0x01;  // checksum
        WriteBytes(P("broken.bin"), broken);
        WriteBytes(P("noedid.bin"), Bytes(128, 0x5A));
        ModeTable t{};
        SetModeTableDefaults(t);
        ASSERT_TRUE(WriteModeFile(P("modes.MOD"), t));
        t.modeCount = 38;
        for (auto& e : t.entries) e = t.entries[0];
        ASSERT_TRUE(WriteModeFile(P("full.MOD"), t));
    }

    std::vector<std::string> Expand(const std::vector<std::string>& args) const {
        std::vector<std::string> out;
        for (const auto& a : args) out.push_back(a[0] == '@' ? P(a.substr(1)) : a);
        return out;
    }
};

TEST_F(EdidTimingCommands, CommandsGiveTheirResultsAndRefuseWhatTheyCannotUse) {
    const std::vector<Case> cases = {
        {"cvt", {"timing", "cvt", "1024", "768", "60", "--json"}, 0, R"("pixelClockKHz": 63500)", ""},
        {"cvt rb1", {"timing", "cvt", "1920", "1080", "60", "--rb", "1", "--json"}, 0, R"("hTotal": 2080)", ""},
        {"cvt text", {"timing", "cvt", "1024", "768", "60"}, 0, "front porch 48, sync 104, back porch 152", ""},
        {"gtf", {"timing", "gtf", "1024", "768", "60", "--json"}, 0, R"("hTotal": 1344)", ""},
        {"dmt id", {"timing", "dmt", "0x10", "--json"}, 0, R"("vTotal": 806)", ""},
        {"dmt size", {"timing", "dmt", "1024x768@60"}, 0, "1024x768", ""},
        {"dmt list", {"timing", "dmt", "--list"}, 0, "DMT 0x52", ""},
        {"cvt too small", {"timing", "cvt", "10", "10", "60"}, 1, "", ""},
        {"cvt bad rate", {"timing", "cvt", "1024", "768", "6x"}, 1, "rate \"6x\"", ""},
        {"dmt unknown id", {"timing", "dmt", "0x99"}, 1, "no DMT ID", ""},
        {"dmt unknown size", {"timing", "dmt", "1024x768@61.5"}, 1, "has no 1024x768@61.5", ""},
        {"dmt list and id", {"timing", "dmt", "0x10", "--list"}, 1, "--list takes no MODE", ""},
        {"decode", {"edid", "decode", "@good.bin"}, 0, "name \"XGA PANEL\"", ""},
        {"decode broken", {"edid", "decode", "@broken.bin"}, 1, "checksum WRONG", ""},
        {"decode no edid", {"edid", "decode", "@noedid.bin"}, 1, "", ""},
        {"from-edid", {"panel", "from-edid", "@good.bin", "-o", "@p.PNL"}, 0, "", "p.PNL"},
        {"from-edid json", {"panel", "from-edid", "@good.bin", "-o", "@p.json"}, 0, "", "p.json"},
        {"from-edid broken", {"panel", "from-edid", "@broken.bin", "-o", "@b.PNL"}, 1, "--force", "!b.PNL"},
        {"from-edid forced", {"panel", "from-edid", "@broken.bin", "--force", "-o", "@f.PNL"}, 0, "", "f.PNL"},
        {"from-edid no timing 2",
         {"panel", "from-edid", "@good.bin", "--timing", "2", "-o", "@t.PNL"},
         1,
         "timings 1..1",
         "!t.PNL"},
        {"from-timing",
         {"panel", "from-timing", "cvt", "1280", "800", "60", "--rb", "1", "-o", "@c.PNL"},
         0,
         "",
         "c.PNL"},
        {"from-timing interlaced",
         {"panel", "from-timing", "cvt", "1920", "1080", "60", "--interlaced", "-o", "@i.PNL"},
         1,
         "",
         "!i.PNL"},
        {"modes add", {"modes", "add", "@modes.MOD", "dmt", "0x10", "-o", "@m2.MOD"}, 0, "", "m2.MOD"},
        {"modes add overlap",
         {"modes", "add", "@modes.MOD", "dmt", "0x04", "-o", "@m3.MOD"},
         1,
         "overlaps entry 1",
         "!m3.MOD"},
        {"modes add full", {"modes", "add", "@full.MOD", "dmt", "0x10", "-o", "@m4.MOD"}, 1, "full", "!m4.MOD"},
        {"modes check", {"modes", "check", "--standards", "@modes.MOD"}, 0, "DMT 0x04", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Result r = Cli(Expand(c.args));
        EXPECT_EQ(r.code, c.code) << r.err;
        EXPECT_NE((r.out + r.err).find(c.expect), std::string::npos) << r.out << r.err;
        if (c.made.empty()) continue;
        if (c.made[0] == '!') EXPECT_FALSE(fs::exists(P(c.made.substr(1))));
        else EXPECT_EQ(Cli({"check", P(c.made)}).code, 0) << Cli({"check", P(c.made)}).out;
    }
}

TEST_F(EdidTimingCommands, DecodeJsonHasTheListedKeysAndTheImportTakesTheTiming) {
    const Result r = Cli({"--json", "edid", "decode", P("good.bin")});
    ASSERT_EQ(r.code, 0) << r.err;
    const Json j = Json::parse(r.out);
    for (const char* key : {"vendor", "product", "serial", "name", "year", "sizeMm", "rangeLimits", "checksumOk",
                            "extensions", "detailedTimings"})
        EXPECT_TRUE(j.contains(key)) << key;
    EXPECT_EQ(j["vendor"], "VLB");
    ASSERT_EQ(j["detailedTimings"].size(), 1u);
    const Json& t = j["detailedTimings"][0];
    EXPECT_EQ(t.size(), 16u);
    EXPECT_EQ(t["pixelClockKHz"], 65000);
    EXPECT_EQ(t["hSyncPositive"], false);
    EXPECT_NEAR(t["vFreqHz"].get<double>(), 60.004, 0.001);

    // The broken EDID is still shown, with its checksum reported.
    const Result broken = Cli({"--json", "edid", "decode", P("broken.bin")});
    EXPECT_EQ(broken.code, 1);
    EXPECT_EQ(Json::parse(broken.out)["checksumOk"], false);

    // The panel has the timing's values and says which fields kept their defaults.
    const Result made = Cli({"--json", "panel", "from-edid", P("good.bin"), "-o", P("p.json")});
    ASSERT_EQ(made.code, 0) << made.err;
    const Json report = Json::parse(made.out);
    EXPECT_FALSE(report["defaulted"].empty());
    const Json panel = Json::parse(ReadText(P("p.json")));
    EXPECT_NE(panel.dump().find(R"("hMinTotal":1344)"), std::string::npos) << panel.dump();
    EXPECT_NE(panel.dump().find(R"("displayName":"XGA PANEL")"), std::string::npos);

    // The added mode is named after its standard.
    ASSERT_EQ(Cli({"modes", "add", P("modes.MOD"), "cvt", "1920", "1200", "60", "--rb", "1"}).code, 0);
    const Result check = Cli({"modes", "check", "--standards", P("modes.MOD")});
    EXPECT_NE(check.out.find("entry 2 (1920x1200): DMT 0x44"), std::string::npos) << check.out;
}

}  // namespace
}  // namespace clitest
