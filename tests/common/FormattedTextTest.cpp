// The result lines are made in memory; they must hold the bytes printf would have written.
#include <gtest/gtest.h>

#include <bit>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "speclink/library/common/FormattedText.h"

namespace speclink {
namespace {

std::string Printed(double value, int decimals) {
    char line[512];
    std::snprintf(line, sizeof line, "%.*lf", decimals, value);
    return line;
}

std::string Fixed(double value, int decimals) {
    std::string text = "x";
    FixedPointWriter().Append(text, value, decimals);
    return text.substr(1);
}

void ExpectAsPrinted(double value) {
    for (const int decimals : {4, 6}) {
        ASSERT_EQ(Fixed(value, decimals), Printed(value, decimals))
            << "value " << std::hexfloat << value << ", " << decimals << " decimals";
    }
}

TEST(FixedPointWriter, ExactTiesRoundToEven) {
    // j / 32 lies exactly halfway between two 4-decimal values when j is odd, j / 128
    // between two 6-decimal values.
    EXPECT_EQ(Fixed(1.0 / 32, 4), "0.0312");
    EXPECT_EQ(Fixed(3.0 / 32, 4), "0.0938");
    for (int j = -5000; j <= 5000; ++j) {
        ExpectAsPrinted(j / 32.0);
        ExpectAsPrinted(j / 128.0);
    }
}

TEST(FixedPointWriter, EdgeValues) {
    const double huge = std::numeric_limits<double>::max();
    for (const double value :
         {0.0, -0.0, 1e-320, -1e-320, std::numeric_limits<double>::denorm_min(), 0.00005, 0.00015, 0.0000005,
          -0.0000004, 0.99995, 0.999995, 1.0, 4000.123456789, -15.9949, 0x1p52, 0x1p52 + 0.5, 0x1p53 - 1.0, 0x1p53,
          1e300, -huge, std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
          std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::quiet_NaN()}) {
        ExpectAsPrinted(value);
    }
}

TEST(FixedPointWriter, RandomValuesOfEveryMagnitude) {
    std::mt19937_64 random(5);
    std::uniform_int_distribution<int> exponent(-80, 60);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (int k = 0; k < 200000; ++k) ExpectAsPrinted(std::ldexp(unit(random), exponent(random)));
    // Scores and their square roots, masses and mass differences as written.
    std::uniform_real_distribution<double> score(0.0, 1.0);
    std::uniform_real_distribution<double> mass(-4000.0, 4000.0);
    for (int k = 0; k < 200000; ++k) {
        ExpectAsPrinted(std::sqrt(score(random)));
        ExpectAsPrinted(mass(random));
    }
}

TEST(FixedPointWriter, ValuesNextToRoundingBoundaries) {
    // The doubles on either side of every d.ddddd5 and d.ddddddd5 for small d.
    for (int n = 0; n < 200000; ++n) {
        for (const double boundary : {(n + 0.5) / 10000.0, (n + 0.5) / 1000000.0}) {
            ExpectAsPrinted(boundary);
            ExpectAsPrinted(std::nextafter(boundary, 0.0));
            ExpectAsPrinted(std::nextafter(boundary, 1e9));
        }
    }
}

TEST(FixedPointWriter, OtherRoundingModesAreLeftToPrintf) {
    for (const int mode : {FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
        std::fesetround(mode);
        for (const double value : {1.0 / 32, -1.0 / 32, 0.1, -0.1, 2.0 / 3.0}) ExpectAsPrinted(value);
    }
    std::fesetround(FE_TONEAREST);
}

TEST(AppendCString, StopsAtTheFirstNul) {
    std::string text;
    AppendCString(text, std::string("a.dta\0hidden", 12));
    EXPECT_EQ(text, "a.dta");
}

}  // namespace
}  // namespace speclink
