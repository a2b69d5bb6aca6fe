#include <gtest/gtest.h>

#include "tolvane/timing.h"

TEST(TimingResolution, ClassOfWidthAtEveryBoundary) {
    EXPECT_EQ(ClassOfWidth(0), kClassVGA);
    EXPECT_EQ(ClassOfWidth(640), kClassVGA);
    EXPECT_EQ(ClassOfWidth(641), kClassSVGA);
    EXPECT_EQ(ClassOfWidth(800), kClassSVGA);
    EXPECT_EQ(ClassOfWidth(801), kClassXGA);
    EXPECT_EQ(ClassOfWidth(1024), kClassXGA);
    EXPECT_EQ(ClassOfWidth(1025), kClassSXGA);
    EXPECT_EQ(ClassOfWidth(1280), kClassSXGA);
    EXPECT_EQ(ClassOfWidth(1281), kClassUXGA);
    EXPECT_EQ(ClassOfWidth(65535), kClassUXGA);
}

TEST(TimingResolution, StandardPairsOnlyForSingleClassBits) {
    const struct {
        uint16_t cls;
        unsigned w, h;
    } pairs[] = {{kClassVGA, 640, 480},
                 {kClassSVGA, 800, 600},
                 {kClassXGA, 1024, 768},
                 {kClassSXGA, 1280, 1024},
                 {kClassUXGA, 1600, 1200}};
    for (const auto& p : pairs) {
        ASSERT_TRUE(StandardResolutionOfClass(p.cls)) << p.cls;
        EXPECT_EQ(*StandardResolutionOfClass(p.cls), (Resolution{uint16_t(p.w), uint16_t(p.h)}));
        EXPECT_TRUE(IsStandardResolution(p.w, p.h));
        // The class of the standard width is the class itself.
        EXPECT_EQ(ClassOfWidth(p.w), p.cls);
    }
    EXPECT_FALSE(StandardResolutionOfClass(0));
    EXPECT_FALSE(StandardResolutionOfClass(kClassVGA | kClassXGA));
    EXPECT_FALSE(StandardResolutionOfClass(32));
    // Swapped, mixed or near pairs are typed-in resolutions.
    EXPECT_FALSE(IsStandardResolution(1024, 600));
    EXPECT_FALSE(IsStandardResolution(480, 640));
    EXPECT_FALSE(IsStandardResolution(640, 600));
    EXPECT_FALSE(IsStandardResolution(1280, 768));
    EXPECT_FALSE(IsStandardResolution(0, 0));
}

TEST(TimingFields, IntegersWrapAndClockNeverWrapsIntoRange) {
    EXPECT_EQ(TypedU16(""), 0);
    EXPECT_EQ(TypedU16(" 60Hz"), 60);
    EXPECT_EQ(TypedU16("-1"), 65535);
    EXPECT_EQ(TypedU16("65536"), 0);

    EXPECT_EQ(TypedClockKHz("65"), 65000u);
    EXPECT_EQ(TypedClockKHz("65.1"), 65100u);
    EXPECT_EQ(TypedClockKHz("16.065"), 16065u);
    EXPECT_EQ(TypedClockKHz("16.0659"), 16065u);  // truncated, not rounded
    EXPECT_EQ(TypedClockKHz(""), 0u);
    EXPECT_EQ(TypedClockKHz("-20"), 0u);
    // 4295e3 MHz is 2^32 + 32704 kHz: taken modulo 2^32 it would pass as 32.704 MHz.
    EXPECT_EQ(TypedClockKHz("4295e3"), UINT32_MAX);
    EXPECT_EQ(TypedClockKHz("4294967.295"), UINT32_MAX);
}

// Bounds of each check are exercised through the pages; here the order.
TEST(TimingChecks, FirstFailureInOrder) {
    Timing1Values bad{true, 0, 0, 0, 0, 300, 0};
    EXPECT_EQ(FirstFailingTiming1Check(bad), Timing1Check::HorizontalResolution);
    bad.width = 800;
    EXPECT_EQ(FirstFailingTiming1Check(bad), Timing1Check::VerticalResolution);
    bad.height = 600;
    EXPECT_EQ(FirstFailingTiming1Check(bad), Timing1Check::FrequencyUnder45);
    bad.vFreqMin = 50;
    EXPECT_EQ(FirstFailingTiming1Check(bad), Timing1Check::FrequencyOver200);
    bad.vFreqMax = 70;
    EXPECT_EQ(FirstFailingTiming1Check(bad), Timing1Check::MinNotBelowTyp);
    bad.vFreqTyp = 70;
    EXPECT_EQ(FirstFailingTiming1Check(bad), Timing1Check::TypNotBelowMax);
    bad.vFreqTyp = 60;
    EXPECT_EQ(FirstFailingTiming1Check(bad), Timing1Check::DisplayClock);
    bad.clockKHz = 15000;
    EXPECT_EQ(FirstFailingTiming1Check(bad), Timing1Check::None);
    bad.other = false;
    bad.width = 0;  // not read without " Other "
    EXPECT_EQ(FirstFailingTiming1Check(bad), Timing1Check::None);

    Timing2Values v{300, 300, 0, 300, 300, 0};
    const Timing2Check order[] = {Timing2Check::HPulseWidth, Timing2Check::HBackPorch, Timing2Check::HMinTotal,
                                  Timing2Check::VPulseWidth, Timing2Check::VBackPorch, Timing2Check::VMinTotal};
    uint16_t Timing2Values::*const fix[] = {&Timing2Values::hPulseWidth, &Timing2Values::hBackPorch,
                                            &Timing2Values::hMinTotal,   &Timing2Values::vPulseWidth,
                                            &Timing2Values::vBackPorch,  &Timing2Values::vMinTotal};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(FirstFailingTiming2Check(v), order[i]) << i;
        v.*fix[i] = 200;
    }
    EXPECT_EQ(FirstFailingTiming2Check(v), Timing2Check::None);
}

TEST(Timing2Checks, ShortTotalWithoutOverflow) {
    EXPECT_FALSE(TotalPeriodTooShort(640, 96, 48, 784));
    EXPECT_TRUE(TotalPeriodTooShort(640, 96, 48, 783));
    EXPECT_FALSE(TotalPeriodTooShort(640, 0, 48, 783));
    EXPECT_FALSE(TotalPeriodTooShort(0, 0, 0, 0));
    // 65535 + 1 + 0 wraps to 0 in 16 bits; it is still longer than 4096.
    EXPECT_TRUE(TotalPeriodTooShort(65535, 1, 0, 4096));
    EXPECT_TRUE(TotalPeriodTooShort(65535, 65535, 65535, 65535));
}
