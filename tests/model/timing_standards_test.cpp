#include <gtest/gtest.h>

#include <cmath>

#include "tolvane/timing_standards.h"

// The DMT entries that VESA made with the CVT formula must come out of ours
// unchanged: the table and the formula check each other. (1360x768 at 120 Hz
// is left out: the table gives it the sync of 16:9, which it is not exactly.)
TEST(TimingStandards, CvtDerivedDmtEntriesAreOurCvt) {
    const std::pair<CvtBlanking, std::vector<unsigned>> derived[] = {
        {CvtBlanking::Standard, {0x17, 0x18, 0x19, 0x1C, 0x1D, 0x1E, 0x2A, 0x2B, 0x2C, 0x2F, 0x30,
                                 0x31, 0x3A, 0x3B, 0x3C, 0x45, 0x46, 0x47, 0x4D, 0x4E, 0x4F}},
        {CvtBlanking::Reduced, {0x0D, 0x14, 0x16, 0x1A, 0x1B, 0x1F, 0x22, 0x26, 0x29, 0x2D, 0x2E,
                                0x32, 0x38, 0x39, 0x3D, 0x40, 0x43, 0x44, 0x48, 0x4B, 0x4C, 0x50}},
        {CvtBlanking::ReducedV2, {0x57}}};
    for (const auto& [blanking, ids] : derived) {
        for (unsigned id : ids) {
            const DmtMode& m = *DmtById(id);
            EXPECT_EQ(Cvt(m.timing.hActive, m.timing.vActive, m.refreshHz, blanking), m.timing) << DmtName(m);
        }
    }
}

TEST(TimingStandards, DmtLookups) {
    EXPECT_EQ(DmtList().size(), 88u);
    for (unsigned id = 1; id <= 0x58; ++id) EXPECT_EQ(DmtById(id)->id, id);
    EXPECT_FALSE(DmtById(0) || DmtById(0x59));
    const struct {
        unsigned w, h;
        double hz;
        std::optional<bool> rb;
        unsigned id;  // 0: none
    } cases[] = {{640, 480, 60, {}, 0x04},   {1280, 768, 60, {}, 0x17}, {1280, 768, 60, true, 0x16},
                 {1600, 900, 60, {}, 0x53},  {1600, 900, 60, false, 0}, {4096, 2160, 59.94, {}, 0x58},
                 {4096, 2160, 60, {}, 0x57}, {1024, 768, 87, {}, 0x0F}, {1366, 768, 60, true, 0x56},
                 {1024, 768, 61.5, {}, 0},   {800, 600, 85, {}, 0x0C},  {1024, 600, 60, {}, 0}};
    for (const auto& c : cases) {
        const DmtMode* m = DmtByMode(c.w, c.h, c.hz, c.rb);
        EXPECT_EQ(m ? m->id : 0u, c.id) << c.w << "x" << c.h << "@" << c.hz;
    }
    EXPECT_EQ(DmtName(*DmtById(0x0F)), "DMT 0x0F 1024x768i@87");
}

TEST(TimingStandards, FormulaEdgesAndConventions) {
    const struct {
        std::optional<DetailedTiming> t;
        DetailedTiming want;
    } cases[] = {
        // At the minimum back porch of 6 lines; with reduced blanking and without.
        {Cvt(640, 480, 56, CvtBlanking::Reduced), {22000, 640, 48, 32, 80, 480, 3, 4, 6, true, false, false}},
        {Cvt(720, 480, 50), {22250, 720, 24, 64, 88, 480, 3, 10, 6, false, true, false}},
        // The width stays the one asked; blanking and clock are those of 1360.
        {Cvt(1366, 768, 60), {84750, 1366, 72, 136, 208, 768, 3, 10, 17, false, true, false}},
        // GTF rounds: 23.59 lines of sync and back porch are 24; 1366 pixels are 1368.
        {Gtf(640, 480, 85), {35714, 640, 32, 64, 96, 480, 1, 3, 21, false, true, false}},
        {Gtf(1366, 768, 60), {85860, 1368, 72, 144, 216, 768, 1, 3, 23, false, true, false}},
        {Cvt(1920, 1080, 60, CvtBlanking::Standard, true),
         {82000, 1920, 64, 192, 256, 1080, 3, 5, 14, false, true, true}},
    };
    for (const auto& c : cases) EXPECT_EQ(c.t, c.want) << DescribeTiming(c.want);
    // An interlaced frame has an odd number of lines; its rate is the field rate.
    EXPECT_EQ(cases[5].t->vTotal(), 1125u);
    EXPECT_EQ(VFreqMilliHz(*cases[5].t), 59941u);
    EXPECT_EQ(HFreqMilliHz(DmtById(0x04)->timing), 31468750u);
}

TEST(TimingStandards, RequestsOutsideTheFormulasAreRefused) {
    const struct {
        unsigned w, h;
        double hz;
        bool interlaced;
    } refused[] = {{63, 480, 60, false},    {8193, 480, 60, false},   {640, 63, 60, false},   {640, 8193, 60, false},
                   {640, 480, 9.99, false}, {640, 480, 500.1, false}, {640, 480, NAN, false}, {640, 481, 60, true}};
    for (const auto& r : refused) {
        EXPECT_NE(FormulaRequestError(r.w, r.h, r.hz, r.interlaced), "") << r.w << "x" << r.h << "@" << r.hz;
        EXPECT_FALSE(Cvt(r.w, r.h, r.hz, CvtBlanking::Standard, r.interlaced) || Gtf(r.w, r.h, r.hz, r.interlaced));
    }
    EXPECT_TRUE(Cvt(64, 64, 10) && Cvt(8192, 8192, 500, CvtBlanking::ReducedV2) && Gtf(8192, 8192, 10));
    // GTF at a low line rate of a small picture leaves no front porch: no timing, not a negative porch.
    EXPECT_FALSE(Gtf(480, 272, 50));
    EXPECT_EQ(Gtf(480, 272, 75)->hFrontPorch, 0);
}
