#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "tolvane/modes.h"
#include "tolvane/panel.h"
#include "tolvane/panel_checks.h"
#include "tolvane/timing_conversions.h"

namespace {

std::vector<std::string> Fields(const std::vector<CheckFinding>& findings) {
    std::vector<std::string> out;
    for (const auto& f : findings) out.push_back(f.field + ": " + f.message);
    return out;
}

bool Has(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

}  // namespace

TEST(PanelFromTiming, XgaTimingGivesTheDefaultsXgaPanel) {
    const PanelConversion c = PanelFromTiming(DmtById(0x10)->timing);
    ASSERT_TRUE(c.ok()) << Fields(c.refusals)[0];
    const PanelRecord& r = c.record;
    EXPECT_EQ(r.panelFlags, 0x0C04);  // XGA, both syncs negative: inverted
    EXPECT_FALSE(IsCustomResolution(r));
    EXPECT_EQ(r.hResolution, 1024);
    EXPECT_EQ(r.vResolution, 768);
    EXPECT_EQ(r.maxDisplayClock, 65000u);
    EXPECT_EQ(r.hMinTotal, 1344);
    EXPECT_EQ(r.vMinTotal, 806);
    EXPECT_EQ(r.hPulseWidth, 136);
    EXPECT_EQ(r.hBackPorch, 160);
    EXPECT_EQ(r.vPulseWidth, 6);
    EXPECT_EQ(r.vBackPorch, 29);
    EXPECT_EQ(r.vFreqTyp, 60);
    EXPECT_EQ(r.vFreqMin, 59);  // no range limits: the narrowest window around the rate
    EXPECT_EQ(r.vFreqMax, 61);
    EXPECT_STREQ(r.displayName, "1024x768@60");
    EXPECT_EQ(r.colorDepth, 6);
    EXPECT_EQ(r.outputDrive, 0x1101);
    EXPECT_TRUE(Has(c.taken, "maxDisplayClock") && Has(c.defaulted, "powerOnT1") && Has(c.defaulted, "colorDepth"));
    EXPECT_FALSE(HasCheckError(CheckPanelRecord(r)));

    // A positive sync is not inverted; a typed size is " Other " with the class of its width.
    DetailedTiming t = DmtById(0x51)->timing;  // 1366x768, both syncs positive
    const PanelConversion other = PanelFromTiming(t);
    ASSERT_TRUE(other.ok());
    EXPECT_EQ(other.record.panelFlags, kClassUXGA);  // wider than 1280
    EXPECT_TRUE(IsCustomResolution(other.record));
    EXPECT_EQ(other.record.resolutionCodeA, 204);
}

TEST(PanelFromTiming, ValuesTheBoardCannotHoldAreRefusedWithThePageMessage) {
    const struct {
        const char* what;
        DetailedTiming t;
        std::vector<std::string> refused;
    } cases[] = {
        {"2560x1600",
         DmtById(0x4C)->timing,
         {"hResolution: ERROR: Unvalid horizontal resolution !",
          "maxDisplayClock: ERROR: Use values between 15 to 150 MHz !"}},
        {"wide sync",
         {100000, 1024, 24, 256, 100, 768, 3, 6, 29, true, true, false},  // 256 would reach the board as 0
         {"hPulseWidth: ERROR: Do not use values over 256 !"}},
        {"long line",
         {150000, 1024, 2000, 100, 1000, 768, 3, 6, 29, true, true, false},
         {"vFreqMin: ERROR: Do not use values under 45 Hz !", "hMinTotal: ERROR: Use values between 160 to 4096 CLKs !",
          "hBackPorch: ERROR: Do not use values over 256 !"}},
        {"tall frame",
         {150000, 1024, 24, 136, 160, 1200, 900, 6, 29, true, true, false},
         {"vMinTotal: ERROR: Use values between 120 to 2048 lines !"}},
        {"interlaced", DmtById(0x0F)->timing, {"timing: an interlaced timing cannot drive a panel"}},
        {"30 Hz", *Cvt(1024, 768, 30), {"vFreqMin: ERROR: Do not use values under 45 Hz !"}},
        {"45 Hz", *Cvt(1024, 768, 45), {"vFreqMin: ERROR: Do not use values under 45 Hz !"}},
        {"240 Hz", *Cvt(640, 480, 240, CvtBlanking::Reduced), {"vFreqMax: ERROR: Do not use values over 200 Hz !"}},
        {"no clock",
         {0, 1024, 24, 136, 160, 768, 3, 6, 29, false, false, false},
         {"timing: pixel clock is 0", "vFreqMin: ERROR: Do not use values under 45 Hz !",
          "maxDisplayClock: ERROR: Use values between 15 to 150 MHz !"}},
    };
    for (const auto& c : cases) {
        const PanelConversion p = PanelFromTiming(c.t);
        EXPECT_EQ(Fields(p.refusals), c.refused) << c.what;
    }
    // A 255-clock sync is the widest the board's byte holds.
    const PanelConversion edge = PanelFromTiming({100000, 1024, 24, 255, 255, 768, 3, 255, 255, true, true, false});
    EXPECT_TRUE(edge.ok());
    // Whatever converts without refusal passes the editor's checks.
    for (const DmtMode& m : DmtList()) {
        const PanelConversion p = PanelFromTiming(m.timing);
        if (p.ok()) {
            EXPECT_FALSE(HasCheckError(CheckPanelRecord(p.record))) << DmtName(m);
        }
    }
}

TEST(PanelFromTiming, EdidGivesNameDepthAndRange) {
    const struct {
        std::optional<EdidRangeLimits> range;
        uint8_t bits;
        uint16_t min, max, depth;
        bool depthTaken;
        bool noted;
    } cases[] = {
        {EdidRangeLimits{50, 75, 30, 80, 0}, 8, 50, 75, 8, true, false},
        {EdidRangeLimits{60, 60, 30, 80, 0}, 6, 59, 61, 6, true, true},     // the page wants min < typ < max
        {EdidRangeLimits{24, 240, 30, 80, 0}, 0, 45, 200, 6, false, true},  // into the board's 45..200
        {std::nullopt, 10, 59, 61, 6, false, true},                         // 10 bits: the arrangement is left open
    };
    for (const auto& c : cases) {
        EdidInfo edid;
        edid.name = "LQ150X1DG11";
        edid.rangeLimits = c.range;
        edid.bitsPerColor = c.bits;
        const PanelConversion p = PanelFromTiming(DmtById(0x10)->timing, &edid);
        ASSERT_TRUE(p.ok());
        EXPECT_EQ(p.record.vFreqMin, c.min);
        EXPECT_EQ(p.record.vFreqMax, c.max);
        EXPECT_EQ(p.record.colorDepth, c.depth);
        EXPECT_EQ(Has(p.taken, "colorDepth"), c.depthTaken);
        EXPECT_EQ(!p.notes.empty(), c.noted) << c.min;
        EXPECT_STREQ(p.record.displayName, "LQ150X1DG11");
        EXPECT_FALSE(HasCheckError(CheckPanelRecord(p.record)));
    }
}

TEST(ModeEntryFromTiming, FollowsTheBoardsFactoryTable) {
    // The emulated board's factory entries of these modes: hFreq, vFreq, vTotal,
    // hTotal, width, height, hStart, vStart, scan type.
    const DetailedTiming vgaText{28322, 720, 18, 108, 54, 400, 12, 2, 35, false, true, false};
    const DetailedTiming ntsc{13500, 720, 19, 62, 57, 480, 4, 3, 15, false, false, true};
    const struct {
        DetailedTiming t;
        unsigned values[9];
    } rows[] = {
        {vgaText, {315, 701, 449, 900, 720, 400, 162, 37, 1}},
        {DmtById(0x04)->timing, {315, 599, 525, 800, 640, 480, 141, 25, 0}},
        {DmtById(0x05)->timing, {379, 728, 520, 832, 640, 480, 168, 31, 0}},
        {DmtById(0x06)->timing, {375, 750, 500, 840, 640, 480, 184, 19, 0}},
        {DmtById(0x07)->timing, {433, 850, 509, 832, 640, 480, 136, 28, 0}},
        {DmtById(0x08)->timing, {351, 562, 625, 1024, 800, 600, 200, 24, 0}},
        {DmtById(0x09)->timing, {379, 603, 628, 1056, 800, 600, 216, 27, 0}},
        {DmtById(0x0A)->timing, {481, 722, 666, 1040, 800, 600, 184, 29, 0}},
        {DmtById(0x0B)->timing, {469, 750, 625, 1056, 800, 600, 240, 24, 0}},
        {DmtById(0x0C)->timing, {537, 851, 631, 1048, 800, 600, 216, 30, 0}},
        {DmtById(0x10)->timing, {484, 600, 806, 1344, 1024, 768, 296, 35, 0}},
        {DmtById(0x11)->timing, {565, 701, 806, 1328, 1024, 768, 280, 35, 0}},
        {DmtById(0x12)->timing, {600, 750, 800, 1312, 1024, 768, 272, 31, 0}},
        {DmtById(0x13)->timing, {687, 850, 808, 1376, 1024, 768, 304, 39, 0}},
        {DmtById(0x15)->timing, {675, 750, 900, 1600, 1152, 864, 384, 35, 0}},
        {DmtById(0x20)->timing, {600, 600, 1000, 1800, 1280, 960, 424, 39, 0}},
        {DmtById(0x23)->timing, {640, 600, 1066, 1688, 1280, 1024, 360, 41, 0}},
        {DmtById(0x24)->timing, {800, 750, 1066, 1688, 1280, 1024, 392, 41, 0}},
        {DmtById(0x25)->timing, {911, 850, 1072, 1728, 1280, 1024, 384, 47, 0}},
        {ntsc, {157, 599, 525, 858, 720, 480, 122, 36, 3}},
    };
    for (const auto& row : rows) {
        const ModeConversion c = ModeEntryFromTiming(row.t);
        ASSERT_TRUE(c.ok()) << DescribeTiming(row.t);
        const ModeEntry& e = c.entry;
        const unsigned* f = row.values;
        // The factory rounds its rates; we truncate as the mode editor does.
        EXPECT_LE(f[0] - unsigned{e.hFreq}, 1u) << DescribeTiming(row.t);
        EXPECT_LE(f[1] - unsigned{e.vFreq}, 1u) << DescribeTiming(row.t);
        EXPECT_EQ(+e.vTotal, f[2]);
        EXPECT_EQ(+e.hTotal, f[3]);
        EXPECT_EQ(+e.activeWidth, f[4]);
        EXPECT_EQ(+e.activeHeight, f[5]);
        // Sync + back porch, but for the hand-set 640x480@60 default and the
        // NTSC entry, whose 122 counts from the sync's half-amplitude point.
        if (row.t != DmtById(0x04)->timing) {
            EXPECT_EQ(+e.vStart, f[7]) << DescribeTiming(row.t);
            if (!row.t.interlaced) {
                EXPECT_EQ(+e.hStart, f[6]) << DescribeTiming(row.t);
            }
        }
        EXPECT_EQ(ScanType(e), f[8]);
        EXPECT_EQ(e.modeFlags & kEnableMask, kEnableAnalog | kEnableDigital);
    }
    // Truncated like a typed value: 43.269 kHz is 43.2, 31.469 kHz is 31.4.
    EXPECT_EQ(+ModeEntryFromTiming(DmtById(0x07)->timing).entry.hFreq, 432);
    EXPECT_EQ(+ModeEntryFromTiming(DmtById(0x04)->timing).entry.hFreq, 314);
}

TEST(ModeEntryFromTiming, TolerancesTellNeighbouringStandardModesApart) {
    std::vector<std::pair<const DmtMode*, ModeConversion>> entries;
    for (const DmtMode& m : DmtList()) {
        ModeConversion c = ModeEntryFromTiming(m.timing);
        if (c.ok()) entries.emplace_back(&m, std::move(c));
    }
    EXPECT_GT(entries.size(), 70u);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        for (std::size_t j = i + 1; j < entries.size(); ++j) {
            ModeTable table{};
            SetModeTableDefaults(table);
            table.modeCount = 2;
            table.entries[0] = entries[i].second.entry;
            table.entries[1] = entries[j].second.entry;
            if (!HasCheckError(CheckModeTable(table))) continue;
            // Only a pair that the conversion itself names may remain.
            const std::string other = DmtName(*entries[j].first);
            bool noted = false;
            for (const auto& n : entries[i].second.notes) noted = noted || n.message.find(other) == 0;
            EXPECT_TRUE(noted) << DmtName(*entries[i].first) << " and " << other << ": "
                               << Fields(CheckModeTable(table))[0];
        }
    }
    // Formats of one height from one formula differ by less than a tenth of a
    // kHz in their line rate: 1400x1050 and 1680x1050 at 60 Hz.
    const ModeConversion sxgaPlus = ModeEntryFromTiming(DmtById(0x2A)->timing);
    EXPECT_EQ(sxgaPlus.notes.at(0).message.find("DMT 0x3A 1680x1050@60 has about the same rates"), 0u);
    // 1360x768 and 1366x768 at 60 Hz share their line rate: the total tells them apart.
    const ModeConversion c = ModeEntryFromTiming(DmtById(0x27)->timing);
    EXPECT_EQ(+c.entry.vTotalTol, 1);
    EXPECT_EQ(+c.entry.hFreqTol, 10);
    EXPECT_TRUE(DmtModesTakenBy(c.entry) == std::vector<const DmtMode*>{DmtById(0x27)});
    // The start-up table's VGA entry takes DMT 640x480@60 and nothing else.
    ModeTable defaults{};
    SetModeTableDefaults(defaults);
    EXPECT_TRUE(DmtModesTakenBy(defaults.entries[0]) == std::vector<const DmtMode*>{DmtById(0x04)});
}

TEST(ModeEntryFromTiming, RefusedEntriesAreNotCut) {
    ModeConversion c = ModeEntryFromTiming(DmtById(0x57)->timing);  // 4096x2160
    EXPECT_EQ(Fields(c.refusals), (std::vector<std::string>{"hTotal: ERROR: Unvalid horizontal total period !",
                                                            "vTotal: ERROR: Unvalid vertical total period !",
                                                            "activeHeight: ERROR: Unvalid vertical active window !"}));
    const ModeEntry zero{};
    EXPECT_EQ(std::memcmp(&c.entry, &zero, sizeof zero), 0);
    c = ModeEntryFromTiming(DmtById(0x10)->timing, ModeEntryOptions{0, 10, 10, 4});
    EXPECT_EQ(Fields(c.refusals), (std::vector<std::string>{"modeFlags: ERROR: No input signal enabled !"}));
    c = ModeEntryFromTiming({}, {});
    EXPECT_FALSE(c.ok());
}
