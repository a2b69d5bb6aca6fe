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
    const struct { uint16_t cls; unsigned w, h; } pairs[] = {
        {kClassVGA, 640, 480}, {kClassSVGA, 800, 600}, {kClassXGA, 1024, 768},
        {kClassSXGA, 1280, 1024}, {kClassUXGA, 1600, 1200}};
    for (const auto &p : pairs) {
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

namespace {

Timing1Values Good()
{
    Timing1Values v;
    v.vFreqMin = 45;
    v.vFreqTyp = 60;
    v.vFreqMax = 75;
    v.clockKHz = 65000;
    return v;
}

}  // namespace

TEST(Timing1Checks, BoundsAcceptedAndFirstFailureWins) {
    EXPECT_EQ(FirstFailingTiming1Check(Good()), Timing1Check::None);

    // Resolution counts only with " Other ".
    Timing1Values v = Good();
    v.width = 0;
    EXPECT_EQ(FirstFailingTiming1Check(v), Timing1Check::None);
    v.other = true;
    EXPECT_EQ(FirstFailingTiming1Check(v), Timing1Check::HorizontalResolution);
    for (uint16_t w : {160, 2000}) {
        v.width = w;
        v.height = 120;
        EXPECT_EQ(FirstFailingTiming1Check(v), Timing1Check::None) << w;
        v.height = 2000;
        EXPECT_EQ(FirstFailingTiming1Check(v), Timing1Check::None) << w;
    }
    v.width = 159;
    EXPECT_EQ(FirstFailingTiming1Check(v), Timing1Check::HorizontalResolution);
    v.width = 2001;
    EXPECT_EQ(FirstFailingTiming1Check(v), Timing1Check::HorizontalResolution);
    v.width = 1024;
    v.height = 119;
    EXPECT_EQ(FirstFailingTiming1Check(v), Timing1Check::VerticalResolution);
    v.height = 2001;
    EXPECT_EQ(FirstFailingTiming1Check(v), Timing1Check::VerticalResolution);

    v = Good();
    v.vFreqMin = 44;
    EXPECT_EQ(FirstFailingTiming1Check(v), Timing1Check::FrequencyUnder45);
    v = Good();
    v.vFreqMax = 200;
    EXPECT_EQ(FirstFailingTiming1Check(v), Timing1Check::None);
    v.vFreqMax = 201;
    EXPECT_EQ(FirstFailingTiming1Check(v), Timing1Check::FrequencyOver200);
    v = Good();
    v.vFreqTyp = 45;
    EXPECT_EQ(FirstFailingTiming1Check(v), Timing1Check::MinNotBelowTyp);
    v.vFreqTyp = 75;
    EXPECT_EQ(FirstFailingTiming1Check(v), Timing1Check::TypNotBelowMax);

    v = Good();
    for (uint32_t kHz : {15000u, 150000u})
        EXPECT_EQ((v.clockKHz = kHz, FirstFailingTiming1Check(v)), Timing1Check::None) << kHz;
    for (uint32_t kHz : {0u, 14990u, 14999u, 150001u, 150010u, UINT32_MAX})
        EXPECT_EQ((v.clockKHz = kHz, FirstFailingTiming1Check(v)), Timing1Check::DisplayClock) << kHz;

    // Everything wrong at once: the width is reported first, then in order.
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
}

TEST(Timing2Checks, RangesInOrder) {
    Timing2Values v{256, 256, 160, 256, 256, 120};
    EXPECT_EQ(FirstFailingTiming2Check(v), Timing2Check::None);
    v.hMinTotal = 4096;
    v.vMinTotal = 2048;
    EXPECT_EQ(FirstFailingTiming2Check(v), Timing2Check::None);

    const Timing2Values good = v;
    const struct { uint16_t Timing2Values::*field; uint16_t value; Timing2Check expected; } cases[] = {
        {&Timing2Values::hPulseWidth, 257, Timing2Check::HPulseWidth},
        {&Timing2Values::hBackPorch, 257, Timing2Check::HBackPorch},
        {&Timing2Values::hMinTotal, 159, Timing2Check::HMinTotal},
        {&Timing2Values::hMinTotal, 4097, Timing2Check::HMinTotal},
        {&Timing2Values::vPulseWidth, 257, Timing2Check::VPulseWidth},
        {&Timing2Values::vBackPorch, 257, Timing2Check::VBackPorch},
        {&Timing2Values::vMinTotal, 119, Timing2Check::VMinTotal},
        {&Timing2Values::vMinTotal, 2049, Timing2Check::VMinTotal},
        {&Timing2Values::hPulseWidth, 65535, Timing2Check::HPulseWidth},  // "-1" typed
    };
    for (const auto &c : cases) {
        v = good;
        v.*c.field = c.value;
        EXPECT_EQ(FirstFailingTiming2Check(v), c.expected) << c.value;
    }
    // Horizontal before vertical.
    v = good;
    v.vPulseWidth = 300;
    v.hMinTotal = 0;
    EXPECT_EQ(FirstFailingTiming2Check(v), Timing2Check::HMinTotal);
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
