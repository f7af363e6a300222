// A fault of the scorer found by the fuzz target tests/fuzz/fuzz_scoring.cpp, kept with its
// smallest input. "Peak Count" starts the neighbour search of a match from the match's own
// difference and first compares it with 10000.0; when that difference is 10000 or more (a
// tolerance that large; in the shifted walk, a shift that large) or NaN, the search makes no
// step, and the matched peak of the second list is taken at position -1: a read before the
// list. The search now always advances at least once.

#include <gtest/gtest.h>

#include <limits>

#include "speclink/library/scoring/Similarity.h"

namespace speclink {
namespace {

TEST(PeakCountFinding, DirectMatchFartherThan10000) {
    const CSimilarity scorer(SIMILAR_PEAK_COUNT, 20000.0, TOLERANCE_DA);
    PeakList first = {{20000.0, 1.0}};
    PeakList second = {{5000.0, 1.0}};
    EXPECT_EQ(scorer.ComputeScore(first, second, 0.0), 1.0);
}

TEST(PeakCountFinding, ShiftedMatchFartherThan10000) {
    const CSimilarity scorer(SIMILAR_PEAK_COUNT, 0.5, TOLERANCE_DA);
    PeakList first = {{12000.0, 1.0}};
    PeakList second = {{1000.0, 1.0}};
    EXPECT_EQ(scorer.ComputeScore(first, second, 11000.0), 1.0);
}

TEST(PeakCountFinding, NanMz) {
    const CSimilarity scorer(SIMILAR_PEAK_COUNT, 0.5, TOLERANCE_DA);
    PeakList first = {{std::numeric_limits<double>::quiet_NaN(), 1.0}};
    PeakList second = {{100.0, 1.0}};
    // A NaN difference fails both bound tests, so the walk takes it for a match.
    EXPECT_EQ(scorer.ComputeScore(first, second, 0.0), 1.0);
}

}  // namespace
}  // namespace speclink
