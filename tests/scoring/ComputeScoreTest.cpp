// ComputeScore: what it does to the caller's lists, and methods without a scoring operation.
#include <algorithm>
#include <cstdint>
#include <limits>

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include "speclink/tests/scoring/ScoringTestSupport.h"

namespace speclink {
namespace {

bool SameMultiset(PeakList a, PeakList b) {
    const auto by_mz_then_intensity = [](const Peak& p, const Peak& q) {
        return p.mz < q.mz || (p.mz == q.mz && p.intensity < q.intensity);
    };
    std::sort(a.begin(), a.end(), by_mz_then_intensity);
    std::sort(b.begin(), b.end(), by_mz_then_intensity);
    return a == b;
}

TEST(ComputeScore, MethodsWithoutOperationScoreZeroAndLeaveListsUntouched) {
    const PeakList first{{100.0, 1.0}, {200.0, 5.0}};
    const PeakList second{{100.0, 2.0}, {200.0, 4.0}};
    for (const int32_t method : {7, 8, -1, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()}) {
        const CSimilarity scorer(static_cast<Similar_Method>(method), 0.5, TOLERANCE_DA);
        PeakList a = first;
        PeakList b = second;
        EXPECT_EQ(scorer.ComputeScore(a, b, 18.0), 0.0) << "method " << method;
        EXPECT_EQ(a, first);
        EXPECT_EQ(b, second);
    }
}

// Greedy methods leave both lists sorted by descending intensity, the walks leave them as
// they came; in both cases no peak is lost or changed.
RC_GTEST_PROP(ComputeScore, SortsListsOnlyForGreedyMethods, ()) {
    const auto method = *rc::gen::inRange<int32_t>(0, 7);
    auto first = *test::GridPeakList(20, 40, 0);
    auto second = *test::GridPeakList(20, 40, 0);
    std::sort(first.begin(), first.end(), ByMzAscending);
    std::sort(second.begin(), second.end(), ByMzAscending);
    const PeakList first_before = first;
    const PeakList second_before = second;

    const CSimilarity scorer(static_cast<Similar_Method>(method), 0.5, TOLERANCE_DA);
    scorer.ComputeScore(first, second, 18.0);

    if (method == SIMILAR_INTENSITY_SCORE || method == SIMILAR_PEAK_COUNT) {
        RC_ASSERT(first == first_before);
        RC_ASSERT(second == second_before);
    } else {
        RC_ASSERT(std::is_sorted(first.begin(), first.end(), ByIntensityDescending));
        RC_ASSERT(std::is_sorted(second.begin(), second.end(), ByIntensityDescending));
        RC_ASSERT(SameMultiset(first, first_before));
        RC_ASSERT(SameMultiset(second, second_before));
    }
}

}  // namespace
}  // namespace speclink
