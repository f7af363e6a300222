// Worked examples of the two scores that walk both lists in ascending m/z.
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "speclink/tests/scoring/ScoringTestSupport.h"

namespace speclink {
namespace {

using test::Score;

struct WalkCase {
    std::string name;
    int32_t method;
    double tolerance;
    PeakList first;
    PeakList second;
    double shift;
    double expected;
};

const std::vector<WalkCase>& Cases() {
    static const std::vector<WalkCase> cases{
        {"IntensityIdenticalSeparatedLists", 0, 0.5, {{100.0, 3.0}, {101.5, 4.0}, {300.0, 5.0}},
         {{100.0, 3.0}, {101.5, 4.0}, {300.0, 5.0}}, 0.0, 1.0},
        {"IntensityFirstListEmpty", 0, 0.5, {}, {{100.0, 3.0}}, 0.0, 0.0},
        {"IntensitySecondListEmpty", 0, 0.5, {{100.0, 3.0}}, {}, 18.0, 0.0},
        {"IntensityAllZero", 0, 0.5, {{100.0, 0.0}}, {{100.0, 0.0}}, 0.0, 0.0},
        {"IntensityUnmatchedPeaksCountInTotal", 0, 0.5, {{100.0, 1.0}, {200.0, 3.0}},
         {{100.2, 2.0}, {300.0, 4.0}}, 0.0, 3.0 / 10.0},
        // After the match 100.0/99.9, a[0] - b[1] = -0.6 is below a[1] - b[0] = 0.3, so j
        // moves on and 100.2 later matches 100.6; moving i instead would leave 100.6 out.
        {"IntensityAfterMatchAdvancesTheCloserSide", 0, 0.5, {{100.0, 1.0}, {100.2, 2.0}},
         {{99.9, 4.0}, {100.6, 8.0}}, 0.0, 1.0},
        // The shifted walk records 100.0 of the second list again: it still counts once.
        {"IntensityPeakMatchedTwiceCountsOnce", 0, 0.5, {{100.0, 1.0}, {118.0, 2.0}}, {{100.0, 3.0}}, 18.0, 1.0},
        // A shifted match advances only i, so 118.2 also matches the same second peak.
        {"IntensityShiftedMatchAdvancesFirstOnly", 0, 0.5, {{118.0, 1.0}, {118.2, 2.0}}, {{100.0, 4.0}}, 18.0,
         1.0},
        {"CountIdenticalSeparatedLists", 5, 0.5, {{100.0, 3.0}, {101.5, 4.0}, {300.0, 5.0}},
         {{100.0, 3.0}, {101.5, 4.0}, {300.0, 5.0}}, 0.0, 1.0},
        {"CountFirstListEmpty", 5, 0.5, {}, {{100.0, 3.0}}, 0.0, 0.0},
        {"CountBothListsEmpty", 5, 0.5, {}, {}, 18.0, 0.0},
        {"CountEveryFirstPeakMatched", 5, 0.5, {{100.0, 1.0}, {200.0, 1.0}},
         {{100.0, 1.0}, {150.0, 1.0}, {200.0, 1.0}, {250.0, 1.0}}, 0.0, 2.0 / 4.0},
        // The neighbour search moves past 100.0 of the second list, which 100.05 then misses.
        {"CountNeighbourSearchConsumesCloserPeak", 5, 0.5, {{100.0, 1.0}, {100.05, 1.0}},
         {{99.9, 1.0}, {100.0, 1.0}}, 0.0, 1.0 / 2.0},
        // Later comparisons are b[j] - a[i]: -0.05 for 99.95 stops the search before 100.0,
        // which is left for 100.02.
        {"CountNeighbourSearchComparesSecondMinusFirst", 5, 0.5, {{100.0, 1.0}, {100.02, 1.0}},
         {{99.9, 1.0}, {99.95, 1.0}, {100.0, 1.0}}, 0.0, 2.0 / 3.0},
        {"CountNeighbourSearchStopsAtEndOfList", 5, 0.5, {{100.0, 1.0}}, {{99.9, 1.0}, {100.0, 1.0}}, 0.0,
         1.0 / 2.0},
        {"CountShiftedMatchOfRecordedPeakNotCountedAgain", 5, 0.5, {{100.0, 1.0}, {118.0, 1.0}}, {{100.0, 1.0}},
         18.0, 1.0 / 2.0},
        {"CountShiftedMatchOfZeroIntensityPeakCountedAgain", 5, 0.5, {{100.0, 1.0}, {118.0, 1.0}},
         {{100.0, 0.0}}, 18.0, 2.0 / 2.0},
        // A tolerance wider than the shift matches the same zero-intensity pair in both walks,
        // which counts it twice and lifts the score above 1.
        {"CountZeroIntensityPairCountedInBothWalks", 5, 10.0, {{100.0, 0.0}}, {{100.0, 0.0}}, 0.6, 2.0},
        // The shifted search starts from the unshifted 18.0, so 140.0 (4.0 after the shift)
        // continues it to the end of the list and 158.0 finds no partner left.
        {"CountShiftedSearchStartsUnshifted", 5, 0.5, {{118.0, 1.0}, {158.0, 1.0}}, {{100.0, 1.0}, {140.0, 1.0}},
         18.0, 1.0 / 2.0},
        {"CountNegativeShiftNotTried", 5, 0.1, {{99.3, 1.0}}, {{100.0, 1.0}}, -0.7, 0.0},
    };
    return cases;
}

class OrderedWalk : public testing::TestWithParam<WalkCase> {};

TEST_P(OrderedWalk, Scores) {
    const WalkCase& c = GetParam();
    EXPECT_EQ(Score(c.method, c.tolerance, TOLERANCE_DA, c.first, c.second, c.shift), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Examples, OrderedWalk, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<WalkCase>& info) { return info.param.name; });

TEST(OrderedWalk, IntensityTotalRunsOverFirstThenSecondList) {
    // The total is one running sum over the first list, then the second; the recorded
    // sums are added second first. Summing each list apart would end one bit higher.
    const PeakList first{{100.0, 3e-16}, {200.0, 1e-16}};
    const PeakList second{{100.0, 0.1}, {300.0, 1.0}};
    const double running_total = (((0.0 + 3e-16) + 1e-16) + 0.1) + 1.0;
    const double total_of_sums = ((0.0 + 3e-16) + 1e-16) + ((0.0 + 0.1) + 1.0);
    const double recorded = (0.0 + 0.1) + (0.0 + 3e-16);
    ASSERT_NE(recorded / running_total, recorded / total_of_sums);
    EXPECT_EQ(Score(0, 0.5, TOLERANCE_DA, first, second, 0.0), recorded / running_total);
}

}  // namespace
}  // namespace speclink
