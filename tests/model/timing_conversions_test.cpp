#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "tolvane/modes.h"
#include "tolvane/panel_checks.h"
#include "tolvane/timing_conversions.h"

namespace {

std::vector<std::string> Texts(const std::vector<CheckFinding>& findings) {
    std::vector<std::string> out;
    for (const auto& f : findings) out.push_back(f.field + ": " + f.message);
    return out;
}

bool Has(const std::vector<std::string>& list, const char* item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

}  // namespace

TEST(PanelFromTiming, XgaTimingGivesTheDefaultsXgaPanel) {
    const PanelConversion c = PanelFromTiming(DmtById(0x10)->timing);
    ASSERT_TRUE(c.ok());
    const PanelRecord& r = c.record;
    EXPECT_EQ(r.panelFlags, 0x0C04);  // XGA, both syncs negative: inverted
    EXPECT_EQ(std::make_tuple(r.hResolution, r.vResolution, r.maxDisplayClock, r.hMinTotal, r.vMinTotal),
              std::make_tuple(1024, 768, 65000u, 1344, 806));
    EXPECT_EQ(std::make_tuple(r.hPulseWidth, r.hBackPorch, r.vPulseWidth, r.vBackPorch),
              std::make_tuple(136, 160, 6, 29));
    // Without range limits the narrowest window the page accepts around the rate.
    EXPECT_EQ(std::make_tuple(r.vFreqMin, r.vFreqTyp, r.vFreqMax), std::make_tuple(59, 60, 61));
    EXPECT_STREQ(r.displayName, "1024x768@60");
    EXPECT_TRUE(Has(c.taken, "maxDisplayClock") && Has(c.defaulted, "powerOnT1") && Has(c.defaulted, "colorDepth"));
    EXPECT_FALSE(HasCheckError(CheckPanelRecord(r)));
    // Positive syncs are not inverted; 1366x768 is " Other " with the class of its width.
    const PanelRecord other = PanelFromTiming(DmtById(0x51)->timing).record;
    EXPECT_EQ(other.panelFlags, kClassUXGA);
    EXPECT_TRUE(IsCustomResolution(other));
    EXPECT_EQ(other.resolutionCodeA, 204);
}

TEST(PanelFromTiming, ValuesTheBoardCannotHoldAreRefusedWithThePageMessage) {
    const std::string under45 = "vFreqMin: ERROR: Do not use values under 45 Hz !";
    const struct {
        DetailedTiming t;
        std::vector<std::string> refused;
    } cases[] = {
        {DmtById(0x4C)->timing,
         {"hResolution: ERROR: Unvalid horizontal resolution !",
          "maxDisplayClock: ERROR: Use values between 15 to 150 MHz !"}},
        {{100000, 1024, 24, 256, 100, 768, 3, 6, 29},
         {"hPulseWidth: ERROR: Do not use values over 256 !"}},  // sent as 0
        {{150000, 1024, 2000, 100, 1000, 768, 3, 6, 29},
         {under45, "hMinTotal: ERROR: Use values between 160 to 4096 CLKs !",
          "hBackPorch: ERROR: Do not use values over 256 !"}},
        {{150000, 1024, 24, 136, 160, 1200, 900, 6, 29}, {"vMinTotal: ERROR: Use values between 120 to 2048 lines !"}},
        {DmtById(0x0F)->timing, {"timing: an interlaced timing cannot drive a panel"}},
        {*Cvt(1024, 768, 45), {under45}},  // no minimum below the typical rate
        {*Cvt(640, 480, 240, CvtBlanking::Reduced), {"vFreqMax: ERROR: Do not use values over 200 Hz !"}},
        {{0, 1024, 24, 136, 160, 768, 3, 6, 29},
         {"timing: pixel clock is 0", under45, "maxDisplayClock: ERROR: Use values between 15 to 150 MHz !"}},
    };
    for (const auto& c : cases) EXPECT_EQ(Texts(PanelFromTiming(c.t).refusals), c.refused) << DescribeTiming(c.t);
    EXPECT_TRUE(PanelFromTiming({100000, 1024, 24, 255, 255, 768, 3, 255, 255}).ok());  // the byte's largest
    // Whatever converts without refusal passes the editor's checks.
    for (const DmtMode& m : DmtList()) {
        const PanelConversion p = PanelFromTiming(m.timing);
        EXPECT_TRUE(!p.ok() || !HasCheckError(CheckPanelRecord(p.record))) << DmtName(m);
    }
}

TEST(PanelFromTiming, EdidGivesNameDepthAndRange) {
    const struct {
        std::optional<EdidRangeLimits> range;
        uint8_t bits;
        int min, max, depth;
        bool noted;
    } cases[] = {
        {EdidRangeLimits{50, 75, 30, 80, 0}, 8, 50, 75, 8, false},
        {EdidRangeLimits{60, 60, 30, 80, 0}, 6, 59, 61, 6, true},    // the page wants min < typ < max
        {EdidRangeLimits{24, 240, 30, 80, 0}, 0, 45, 200, 6, true},  // into the board's 45..200 Hz
        {std::nullopt, 10, 59, 61, 6, true},                         // 10 bits: the arrangement stays open
    };
    for (const auto& c : cases) {
        EdidInfo edid;
        edid.name = "LQ150X1DG11";
        edid.rangeLimits = c.range;
        edid.bitsPerColor = c.bits;
        const PanelConversion p = PanelFromTiming(DmtById(0x10)->timing, &edid);
        ASSERT_TRUE(p.ok());
        EXPECT_EQ(std::make_tuple(p.record.vFreqMin, p.record.vFreqMax, p.record.colorDepth),
                  std::make_tuple(c.min, c.max, c.depth));
        EXPECT_EQ(Has(p.taken, "colorDepth"), c.bits == 6 || c.bits == 8);
        EXPECT_EQ(!p.notes.empty(), c.noted);
        EXPECT_STREQ(p.record.displayName, "LQ150X1DG11");
        EXPECT_FALSE(HasCheckError(CheckPanelRecord(p.record)));
    }
}

TEST(ModeEntryFromTiming, FollowsTheBoardsFactoryTable) {
    // The emulated board's factory entries: hFreq, vFreq, vTotal, hTotal,
    // width, height, hStart, vStart, scan type; the first and last are not DMT.
    const DetailedTiming vgaText{28322, 720, 18, 108, 54, 400, 12, 2, 35, false, true, false};
    const DetailedTiming ntsc{13500, 720, 19, 62, 57, 480, 4, 3, 15, false, false, true};
    const struct {
        DetailedTiming t;
        unsigned f[9];
    } rows[] = {
        {vgaText, {315, 701, 449, 900, 720, 400, 162, 37, 1}},
        {DmtById(0x05)->timing, {379, 728, 520, 832, 640, 480, 168, 31, 0}},
        {DmtById(0x08)->timing, {351, 562, 625, 1024, 800, 600, 200, 24, 0}},
        {DmtById(0x0A)->timing, {481, 722, 666, 1040, 800, 600, 184, 29, 0}},
        {DmtById(0x10)->timing, {484, 600, 806, 1344, 1024, 768, 296, 35, 0}},
        {DmtById(0x15)->timing, {675, 750, 900, 1600, 1152, 864, 384, 35, 0}},
        {DmtById(0x25)->timing, {911, 850, 1072, 1728, 1280, 1024, 384, 47, 0}},
        // 122 counts from the sync's half-amplitude point; we count 62 + 57.
        {ntsc, {157, 599, 525, 858, 720, 480, 119, 36, 3}},
    };
    for (const auto& row : rows) {
        const ModeConversion c = ModeEntryFromTiming(row.t);
        ASSERT_TRUE(c.ok()) << DescribeTiming(row.t);
        const ModeEntry& e = c.entry;
        const unsigned* f = row.f;
        // The factory rounds its rates; we truncate as the mode editor does.
        EXPECT_TRUE(f[0] - e.hFreq <= 1u && f[1] - e.vFreq <= 1u) << DescribeTiming(row.t);
        std::vector<unsigned> want(f + 2, f + 9);
        want.push_back(kEnableAnalog | kEnableDigital);
        EXPECT_EQ(std::vector<unsigned>({e.vTotal, e.hTotal, e.activeWidth, e.activeHeight, e.hStart, e.vStart,
                                         ScanType(e), unsigned(e.modeFlags & kEnableMask)}),
                  want)
            << DescribeTiming(row.t);
    }
    // Truncated like a typed value: 43.269 kHz is 43.2, 31.469 kHz 31.4 (the
    // start-up table's hand-set 640x480@60 entry has 31.5 and starts 141/25).
    EXPECT_EQ(+ModeEntryFromTiming(DmtById(0x07)->timing).entry.hFreq, 432);
    EXPECT_EQ(+ModeEntryFromTiming(DmtById(0x04)->timing).entry.hFreq, 314);
}

TEST(ModeEntryFromTiming, TolerancesTellNeighbouringStandardModesApart) {
    std::vector<std::pair<const DmtMode*, ModeConversion>> entries;
    for (const DmtMode& m : DmtList())
        if (ModeConversion c = ModeEntryFromTiming(m.timing); c.ok()) entries.emplace_back(&m, c);
    EXPECT_EQ(entries.size(), 85u);
    // Two entries overlap (as the table check finds it) only where the
    // conversion names the other mode as one no tolerance tells apart.
    for (std::size_t i = 0; i < entries.size(); ++i) {
        for (std::size_t j = i + 1; j < entries.size(); ++j) {
            ModeTable table{};
            SetModeTableDefaults(table);
            table.modeCount = 2;
            table.entries[0] = entries[i].second.entry;
            table.entries[1] = entries[j].second.entry;
            bool noted = false;
            for (const auto& n : entries[i].second.notes) noted |= n.message.find(DmtName(*entries[j].first)) == 0;
            EXPECT_TRUE(noted || !HasCheckError(CheckModeTable(table)))
                << DmtName(*entries[i].first) << " and " << DmtName(*entries[j].first);
        }
    }
    // 1360x768 and 1366x768 at 60 Hz share their line rate: the total tells them apart.
    const ModeEntry e = ModeEntryFromTiming(DmtById(0x27)->timing).entry;
    EXPECT_EQ(std::make_tuple(e.hFreqTol, e.vFreqTol, e.vTotalTol), std::make_tuple(10, 10, 1));
    EXPECT_TRUE(DmtModesTakenBy(e) == std::vector<const DmtMode*>{DmtById(0x27)});
    // 1400x1050 and 1680x1050 at 60 Hz differ by less than 0.1 kHz: named, not hidden.
    EXPECT_EQ(ModeEntryFromTiming(DmtById(0x2A)->timing).notes.at(0).message.find("DMT 0x3A 1680x1050@60 has"), 0u);
    ModeTable defaults{};
    SetModeTableDefaults(defaults);
    EXPECT_TRUE(DmtModesTakenBy(defaults.entries[0]) == std::vector<const DmtMode*>{DmtById(0x04)});
}

TEST(ModeEntryFromTiming, RefusedEntriesAreNotCut) {
    ModeConversion c = ModeEntryFromTiming(DmtById(0x57)->timing);  // 4096x2160
    EXPECT_EQ(Texts(c.refusals), (std::vector<std::string>{"hTotal: ERROR: Unvalid horizontal total period !",
                                                           "vTotal: ERROR: Unvalid vertical total period !",
                                                           "activeHeight: ERROR: Unvalid vertical active window !"}));
    const ModeEntry zero{};
    EXPECT_EQ(std::memcmp(&c.entry, &zero, sizeof zero), 0);
    c = ModeEntryFromTiming(DmtById(0x10)->timing, ModeEntryOptions{0, 10, 10, 4});
    EXPECT_EQ(Texts(c.refusals), (std::vector<std::string>{"modeFlags: ERROR: No input signal enabled !"}));
}
