#include <cmath>

#include <gtest/gtest.h>

#include "scoring/Similarity.h"

namespace speclink {
namespace {

double Score(int32_t method, double tolerance, int32_t unit, PeakList first, PeakList second, double shift) {
    const CSimilarity scorer(static_cast<Similar_Method>(method), tolerance, static_cast<Tolerance_Type>(unit));
    return scorer.ComputeScore(first, second, shift);
}

TEST(WorkedExamples, IdenticalSeparatedListsScoreOne) {
    const PeakList peaks{{100.0, 3.0}, {200.0, 4.0}, {300.0, 5.0}};
    for (const int32_t method : {0, 1, 2, 3, 4, 5}) {
        EXPECT_EQ(Score(method, 0.5, 0, peaks, peaks, 0.0), 1.0) << "method " << method;
    }
    EXPECT_EQ(Score(6, 0.5, 0, peaks, peaks, 0.0), 1.0 / 3.0);
}

TEST(WorkedExamples, DotProductXMatchesDoubledMz) {
    EXPECT_EQ(Score(4, 0.5, 0, {{250.0, 2.0}}, {{500.0, 3.0}}, 0.0), 1.0);
    EXPECT_EQ(Score(2, 0.5, 0, {{250.0, 2.0}}, {{500.0, 3.0}}, 0.0), 0.0);
}

TEST(WorkedExamples, ShiftedMatchOfModAndHalf) {
    EXPECT_EQ(Score(2, 0.5, 0, {{318.0, 1.0}}, {{300.0, 1.0}}, 18.0), 1.0);
    EXPECT_EQ(Score(3, 0.5, 0, {{318.0, 1.0}}, {{300.0, 1.0}}, 18.0), 0.0);
    EXPECT_EQ(Score(3, 0.5, 0, {{309.0, 1.0}}, {{300.0, 1.0}}, 18.0), 1.0);
}

TEST(WorkedExamples, GreedyOrderTakesTheFirstFreeInnerPeak) {
    // The intensity-9 peak takes 100.3; the closer intensity-1 peak stays unmatched.
    const double expected = 45.0 / std::sqrt((81.0 + 1.0) * 25.0);
    EXPECT_EQ(Score(2, 0.5, 0, {{100.0, 9.0}, {100.4, 1.0}}, {{100.3, 5.0}}, 0.0), expected);
}

}  // namespace
}  // namespace speclink
