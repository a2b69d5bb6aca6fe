// tolvane2-cli plot: the SVG follows the file's data, not a fixed drawing.
#include "cli_harness.h"

#include <cstring>

#include <nlohmann/json.hpp>

#include "tolvane/files.h"
#include "tolvane/modes.h"
#include "tolvane/panel.h"

using namespace clitest;

namespace {

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

ModeEntry Mode(uint16_t hFreq, uint16_t vFreq, uint8_t inputs) {
    ModeEntry e{};
    e.hFreq = hFreq;
    e.hFreqTol = 10;
    e.vFreq = vFreq;
    e.vFreqTol = 10;
    e.vTotal = 525;
    e.hTotal = 800;
    e.activeWidth = 640;
    e.activeHeight = 480;
    e.hStart = 141;
    e.vStart = 25;
    e.modeFlags = inputs;
    return e;
}

class CliPlot : public TempDirTest {};

TEST_F(CliPlot, PanelShowsOverrunExactlyWhenTheTotalIsShort) {
    PanelRecord r{};
    SetPanelDefaults(r);
    SetResolutionClass(r, kClassVGA);
    r.hResolution = 640;
    r.vResolution = 480;
    r.hPulseWidth = 96;
    r.hBackPorch = 48;
    r.vPulseWidth = 2;
    r.vBackPorch = 33;
    r.vMinTotal = 525;
    for (uint16_t total : {784, 783}) {
        r.hMinTotal = total;
        ASSERT_TRUE(WritePanelFile(P("p.PNL"), r));
        Result res = Cli({"plot", P("p.PNL"), "-o", P("p.svg")});
        ASSERT_EQ(res.code, 0) << res.err;
        const std::string svg = ReadText(P("p.svg"));
        EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
        EXPECT_NE(svg.find("</svg>"), std::string::npos);
        EXPECT_NE(svg.find("One line, total " + std::to_string(total) + " CLKs"), std::string::npos);
        EXPECT_EQ(Count(svg, "class=\"overrun\""), total == 783 ? 1u : 0u) << "total " << total;
        EXPECT_EQ(svg.find("Over total 1") != std::string::npos, total == 783);
    }
}

TEST_F(CliPlot, GammaCurveMarksEachFallingStep) {
    Bytes gamma(256);
    for (int i = 0; i < 256; ++i) gamma[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
    WriteBytes(P("rising.GAM"), gamma);
    gamma[100] = 90;   // one step down at 100, then back up at 101
    gamma[200] = 150;  // and another at 200
    WriteBytes(P("dips.GAM"), gamma);

    Result res = Cli({"plot", P("rising.GAM")});
    ASSERT_EQ(res.code, 0) << res.err;
    EXPECT_EQ(Count(res.out, "falling-step"), 0u);
    EXPECT_NE(res.out.find("<polyline"), std::string::npos);

    res = Cli({"plot", P("dips.GAM")});
    ASSERT_EQ(res.code, 0) << res.err;
    EXPECT_EQ(Count(res.out, "falling-step"), 2u);
}

TEST_F(CliPlot, ModeMapMarksOnlyModesThatShareAnInputAndOverlap) {
    ModeTable t{};
    SetModeTableDefaults(t);
    t.entries[0] = Mode(315, 600, kEnableAnalog);
    t.entries[1] = Mode(320, 605, kEnableAnalog | kEnableVideo);  // overlaps 0 on Analog
    t.entries[2] = Mode(480, 600, kEnableAnalog);                 // far from both
    t.entries[3] = Mode(315, 600, kEnableDigital);                // same place, other input
    t.modeCount = 4;
    ASSERT_TRUE(WriteModeFile(P("m.MOD"), t));
    Result res = Cli({"plot", P("m.MOD")});
    ASSERT_EQ(res.code, 0) << res.err;
    EXPECT_EQ(Count(res.out, "class=\"overlap\""), 2u);
    EXPECT_EQ(Count(res.out, "class=\"mode\""), 2u);
}

// The map draws in red exactly the pairs that `check` reports as modes the
// board cannot tell apart; windows that only touch count (bounds included).
TEST_F(CliPlot, ModeMapMarksThePairsThatCheckReports) {
    struct Case {
        const char* name;
        ModeEntry second;  // beside Mode(315, 600, Analog): 30.5..32.5 kHz, 59.0..61.0 Hz, 525 lines
        bool overlap;
    };
    ModeEntry otherTotal = Mode(315, 600, kEnableAnalog);
    otherTotal.vTotal = 526;
    ModeEntry touchingTotal = otherTotal;
    touchingTotal.vTotalTol = 1;
    const Case cases[] = {
        {"line windows touch", Mode(335, 600, kEnableAnalog), true},
        {"frame windows touch", Mode(315, 580, kEnableAnalog | kEnableVideo), true},
        {"line windows one apart", Mode(336, 600, kEnableAnalog), false},
        {"windows touch on other inputs", Mode(335, 600, kEnableDigital), false},
        {"same frequencies, other total", otherTotal, false},
        {"same frequencies, totals touch", touchingTotal, true},
    };
    for (const Case& c : cases) {
        ModeTable t{};
        SetModeTableDefaults(t);
        t.entries[0] = Mode(315, 600, kEnableAnalog);
        t.entries[1] = c.second;
        t.modeCount = 2;
        ASSERT_TRUE(WriteModeFile(P("m.MOD"), t));
        const Result plot = Cli({"plot", P("m.MOD")});
        ASSERT_EQ(plot.code, 0) << plot.err;
        EXPECT_EQ(Count(plot.out, "class=\"overlap\""), c.overlap ? 2u : 0u) << c.name;
        const Result check = Cli({"--json", "check", P("m.MOD")});
        const auto report = nlohmann::json::parse(check.out);
        bool reported = false;
        for (const auto& f : report["findings"]) reported |= f["field"] == "entries[1]";
        EXPECT_EQ(reported, c.overlap) << c.name << ": " << check.out;
    }
}

TEST_F(CliPlot, UnreadableFileWritesNothing) {
    WriteText(P("junk.PNL"), "not a panel");
    Result res = Cli({"plot", P("junk.PNL"), "-o", P("out.svg")});
    EXPECT_NE(res.code, 0);
    EXPECT_FALSE(res.err.empty());
    EXPECT_FALSE(fs::exists(P("out.svg")));
}

}  // namespace
