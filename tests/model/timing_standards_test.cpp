#include <gtest/gtest.h>

#include <cmath>

#include "tolvane/timing_standards.h"

// The DMT entries that VESA made with the CVT formula must come out of our
// formula unchanged: each checks the table and the formula against the other.
TEST(TimingStandards, CvtDerivedDmtEntriesAreOurCvt) {
    const struct {
        unsigned id;
        CvtBlanking blanking;
    } derived[] = {
        {0x16, CvtBlanking::Reduced},  {0x17, CvtBlanking::Standard},  {0x18, CvtBlanking::Standard},
        {0x19, CvtBlanking::Standard}, {0x1B, CvtBlanking::Reduced},   {0x1C, CvtBlanking::Standard},
        {0x1D, CvtBlanking::Standard}, {0x1E, CvtBlanking::Standard},  {0x29, CvtBlanking::Reduced},
        {0x2A, CvtBlanking::Standard}, {0x2B, CvtBlanking::Standard},  {0x2C, CvtBlanking::Standard},
        {0x2E, CvtBlanking::Reduced},  {0x2F, CvtBlanking::Standard},  {0x30, CvtBlanking::Standard},
        {0x31, CvtBlanking::Standard}, {0x39, CvtBlanking::Reduced},   {0x3A, CvtBlanking::Standard},
        {0x3B, CvtBlanking::Standard}, {0x3C, CvtBlanking::Standard},  {0x44, CvtBlanking::Reduced},
        {0x45, CvtBlanking::Standard}, {0x46, CvtBlanking::Standard},  {0x47, CvtBlanking::Standard},
        {0x4C, CvtBlanking::Reduced},  {0x4D, CvtBlanking::Standard},  {0x4E, CvtBlanking::Standard},
        {0x4F, CvtBlanking::Standard}, {0x57, CvtBlanking::ReducedV2},
    };
    for (const auto& d : derived) {
        const DmtMode& m = *DmtById(d.id);
        const auto cvt = Cvt(m.timing.hActive, m.timing.vActive, m.refreshHz, d.blanking);
        ASSERT_TRUE(cvt) << DmtName(m);
        EXPECT_EQ(*cvt, m.timing) << DmtName(m);
    }
    // Every 120 Hz reduced-blanking entry, too, but 1360x768, which the table
    // gives the vertical sync of 16:9 (5 lines) though it is not exactly 16:9.
    unsigned at120 = 0;
    for (const DmtMode& m : DmtList()) {
        if (!m.reducedBlanking || m.refreshHz != 120 || m.id == 0x28) continue;
        ++at120;
        EXPECT_EQ(*Cvt(m.timing.hActive, m.timing.vActive, 120, CvtBlanking::Reduced), m.timing) << DmtName(m);
    }
    EXPECT_EQ(at120, 15u);
}

TEST(TimingStandards, DmtLookups) {
    EXPECT_EQ(DmtList().size(), 88u);
    for (unsigned id = 1; id <= 0x58; ++id) EXPECT_TRUE(DmtById(id)) << id;
    EXPECT_FALSE(DmtById(0));
    EXPECT_FALSE(DmtById(0x59));
    const struct {
        unsigned w, h;
        double hz;
        std::optional<bool> rb;
        unsigned id;  // 0: none
    } cases[] = {
        {640, 480, 60, {}, 0x04},      {1280, 768, 60, {}, 0x17},   {1280, 768, 60, true, 0x16},
        {1280, 768, 60, false, 0x17},  {1600, 900, 60, {}, 0x53},   {1600, 900, 60, false, 0},
        {4096, 2160, 59.94, {}, 0x58}, {4096, 2160, 60, {}, 0x57},  {1024, 768, 87, {}, 0x0F},
        {1366, 768, 60, {}, 0x51},     {1366, 768, 60, true, 0x56}, {1024, 768, 61.5, {}, 0},
        {1024, 768, 65, {}, 0},        {800, 600, 85, {}, 0x0C},    {1920, 1080, 60, {}, 0x52},
    };
    for (const auto& c : cases) {
        const DmtMode* m = DmtByMode(c.w, c.h, c.hz, c.rb);
        EXPECT_EQ(m ? m->id : 0u, c.id) << c.w << "x" << c.h << "@" << c.hz;
    }
    EXPECT_EQ(DmtName(*DmtById(0x0F)), "DMT 0x0F 1024x768i@87");
    EXPECT_EQ(DmtName(*DmtById(0x16)), "DMT 0x16 1280x768@60 RB");
}

TEST(TimingStandards, FormulaResultsAndConventions) {
    // A few results that hold without any reference program installed.
    const struct {
        std::optional<DetailedTiming> t;
        DetailedTiming want;
    } cases[] = {
        {Cvt(1920, 1080, 60), {173000, 1920, 128, 200, 328, 1080, 3, 5, 32, false, true, false}},
        {Cvt(1920, 1080, 60, CvtBlanking::Reduced), {138500, 1920, 48, 32, 80, 1080, 3, 5, 23, true, false, false}},
        {Cvt(1920, 1080, 60, CvtBlanking::ReducedV2), {133320, 1920, 8, 32, 40, 1080, 17, 8, 6, true, false, false}},
        // The width stays the one asked; blanking and clock are those of 1360.
        {Cvt(1366, 768, 60), {84750, 1366, 72, 136, 208, 768, 3, 10, 17, false, true, false}},
        {Cvt(1920, 1080, 60, CvtBlanking::Standard, true),
         {82000, 1920, 64, 192, 256, 1080, 3, 5, 14, false, true, true}},
        // At the minimum back porch of 6 lines.
        {Cvt(640, 480, 56, CvtBlanking::Reduced), {22000, 640, 48, 32, 80, 480, 3, 4, 6, true, false, false}},
        {Cvt(720, 480, 50), {22250, 720, 24, 64, 88, 480, 3, 10, 6, false, true, false}},
        {Gtf(1024, 768, 60), {64109, 1024, 56, 104, 160, 768, 1, 3, 23, false, true, false}},
        {Gtf(640, 480, 85), {35714, 640, 32, 64, 96, 480, 1, 3, 21, false, true, false}},  // 23.59 lines round up
        {Gtf(1366, 768, 60), {85860, 1368, 72, 144, 216, 768, 1, 3, 23, false, true, false}},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(c.t);
        EXPECT_EQ(*c.t, c.want) << DescribeTiming(*c.t);
    }
    // An interlaced frame has an odd number of lines; its rate is the field rate.
    const DetailedTiming i = *Cvt(1920, 1080, 60, CvtBlanking::Standard, true);
    EXPECT_EQ(i.vTotal(), 1125u);
    EXPECT_NEAR(VFreqHz(i), 59.94, 0.01);
    EXPECT_EQ(VFreqMilliHz(DmtById(0x04)->timing), 59940u);
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
        EXPECT_FALSE(FormulaRequestError(r.w, r.h, r.hz, r.interlaced).empty()) << r.w << "x" << r.h << "@" << r.hz;
        EXPECT_FALSE(Cvt(r.w, r.h, r.hz, CvtBlanking::Standard, r.interlaced));
        EXPECT_FALSE(Gtf(r.w, r.h, r.hz, r.interlaced));
    }
    EXPECT_TRUE(Cvt(64, 64, 10) && Cvt(8192, 8192, 500, CvtBlanking::ReducedV2) && Gtf(8192, 8192, 10));
    // GTF at a low line rate of a small picture leaves no front porch: refused, not negative.
    EXPECT_FALSE(Gtf(480, 272, 50));
    EXPECT_EQ(Gtf(480, 272, 75)->hFrontPorch, 0);
}
