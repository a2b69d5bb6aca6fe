#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "tolvane/typed_numbers.h"

TEST(TypedInteger, BlanksSignDigitsAndStop) {
    EXPECT_EQ(ReadTypedInteger(""), 0);
    EXPECT_EQ(ReadTypedInteger("   "), 0);
    EXPECT_EQ(ReadTypedInteger("abc"), 0);
    EXPECT_EQ(ReadTypedInteger("-"), 0);
    EXPECT_EQ(ReadTypedInteger("  \t42"), 42);
    EXPECT_EQ(ReadTypedInteger("+17x3"), 17);
    EXPECT_EQ(ReadTypedInteger("-300"), -300);
    EXPECT_EQ(ReadTypedInteger("12.9"), 12);
    EXPECT_EQ(ReadTypedInteger("1 000"), 1);
    EXPECT_EQ(ReadTypedInteger("- 5"), 0);
    EXPECT_EQ(ReadTypedInteger("99999999999999999999999"), INT64_MAX);
    EXPECT_EQ(ReadTypedInteger("-99999999999999999999999"), -INT64_MAX);
}

TEST(TypedScaled, DecimalFractionsAreExact) {
    EXPECT_EQ(ReadTypedScaled("31.56", 1), 315);
    EXPECT_EQ(ReadTypedScaled("65.1", 3), 65100);
    EXPECT_EQ(ReadTypedScaled("16.06", 3), 16060);
    EXPECT_EQ(ReadTypedScaled("150.01", 3), 150010);
    EXPECT_EQ(ReadTypedScaled("65.1239", 3), 65123);
    EXPECT_EQ(ReadTypedScaled("-0.05", 1), 0);
    EXPECT_EQ(ReadTypedScaled("-1.29", 1), -12);
    EXPECT_EQ(ReadTypedScaled(".5", 1), 5);
    EXPECT_EQ(ReadTypedScaled("5.", 1), 50);
    EXPECT_EQ(ReadTypedScaled("0007.25", 2), 725);
    EXPECT_EQ(ReadTypedScaled("0.00099", 3), 0);
    EXPECT_EQ(ReadTypedScaled("  200.1kHz", 1), 2001);
    EXPECT_EQ(ReadTypedScaled("", 1), 0);
    EXPECT_EQ(ReadTypedScaled(".", 1), 0);
    EXPECT_EQ(ReadTypedScaled("+.e5", 1), 0);
    EXPECT_EQ(ReadTypedScaled("6600", 1), 66000);
}

TEST(TypedScaled, ExponentsAndSaturation) {
    EXPECT_EQ(ReadTypedScaled("3.15e1", 1), 315);
    EXPECT_EQ(ReadTypedScaled("315E-1", 1), 315);
    EXPECT_EQ(ReadTypedScaled("1e+2", 0), 100);
    EXPECT_EQ(ReadTypedScaled("2e", 1), 20);  // no exponent digits: "e" ends the number
    EXPECT_EQ(ReadTypedScaled("2e-", 1), 20);
    EXPECT_EQ(ReadTypedScaled("1e-999999999", 1), 0);
    EXPECT_EQ(ReadTypedScaled("1e999999999", 1), INT64_MAX);
    EXPECT_EQ(ReadTypedScaled("-1e30", 3), -INT64_MAX);
    EXPECT_EQ(ReadTypedScaled("922337203685477580.7", 1), INT64_MAX);
}

TEST(TypedScaled, AgreesWithDoublesWhereThoseAreExact) {
    // Halves and quarters are exact in binary; there the exact reader and a
    // double must agree, including the truncation toward zero.
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> whole(-5000, 5000), quarter(0, 3);
    for (int i = 0; i < 2000; ++i) {
        const double value = whole(rng) + quarter(rng) * 0.25;
        char text[32];
        std::snprintf(text, sizeof text, "%.2f", value);
        EXPECT_EQ(ReadTypedScaled(text, 1), static_cast<int64_t>(value * 10)) << text;
    }
}

TEST(FormatScaled, EveryShownValueReadsBackAsItself) {
    EXPECT_EQ(FormatScaled(599, 1), "59.9");
    EXPECT_EQ(FormatScaled(5, 1), "0.5");
    EXPECT_EQ(FormatScaled(-5, 1), "-0.5");
    EXPECT_EQ(FormatScaled(0, 2), "0.00");
    EXPECT_EQ(FormatScaled(65000, 3), "65.000");
    EXPECT_EQ(FormatScaled(42, 0), "42");
    EXPECT_EQ(FormatScaledShortest(65000, 3, 2), "65.00");
    EXPECT_EQ(FormatScaledShortest(16065, 3, 2), "16.065");
    EXPECT_EQ(FormatScaledShortest(16060, 3, 2), "16.06");
    EXPECT_EQ(FormatScaledShortest(300, 1, 0), "30");
    EXPECT_EQ(FormatScaledShortest(INT64_MIN + 1, 1, 1), "-922337203685477580.7");

    // Every two-decimal clock from 15.00 to 150.00 MHz, and every tenth up to 6553.5.
    for (int64_t khz = 15000; khz <= 150000; khz += 10)
        ASSERT_EQ(ReadTypedScaled(FormatScaledShortest(khz, 3, 2), 3), khz) << khz;
    for (int64_t tenths = 0; tenths <= 65535; ++tenths)
        ASSERT_EQ(ReadTypedScaled(FormatScaled(tenths, 1), 1), tenths) << tenths;
}
