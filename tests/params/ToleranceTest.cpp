#include <gtest/gtest.h>

#include "speclink/library/params/Tolerance.h"

namespace speclink {
namespace {

TEST(Tolerance, ParsesNumberAndUnit) {
    const struct {
        const char* text;
        Tolerance expected;
    } cases[] = {
        {"20ppm", {20.0, TOLERANCE_PPM}}, {"20 PPM", {20.0, TOLERANCE_PPM}}, {"0.5Da", {0.5, TOLERANCE_DA}},
        {"0.5da", {0.5, TOLERANCE_DA}},   {"1e-2Da", {0.01, TOLERANCE_DA}},  {"0.02Th", {0.02, TOLERANCE_DA}},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseTolerance(c.text), c.expected) << c.text;
}

TEST(Tolerance, RejectsWhatIsNotATolerance) {
    for (const char* text : {"", "20", "ppm", "-1ppm", "nanDa", "infppm", "20 ppm extra", "0x10Da", "20mDa"})
        EXPECT_THROW(ParseTolerance(text), std::invalid_argument) << text;
}

TEST(Tolerance, FormatsBackToTheSameValue) {
    for (const Tolerance t : {Tolerance{20.0, TOLERANCE_PPM}, Tolerance{0.1, TOLERANCE_DA}, Tolerance{0.3333, TOLERANCE_DA}})
        EXPECT_EQ(ParseTolerance(FormatTolerance(t)), t);
    EXPECT_EQ(FormatTolerance({20.0, TOLERANCE_PPM}), "20ppm");
    EXPECT_EQ(FormatTolerance({0.5, TOLERANCE_DA}), "0.5Da");
}

}  // namespace
}  // namespace speclink
