// Worked examples of the five scores that pair peaks greedily by falling intensity.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "speclink/tests/scoring/ScoringTestSupport.h"

namespace speclink {
namespace {

using test::Score;

struct GreedyCase {
    std::string name;
    int32_t method;
    PeakList first;
    PeakList second;
    double shift;
    double expected;
};

const PeakList kSeparated{{100.0, 3.0}, {100.5, 4.0}, {300.0, 5.0}};

const std::vector<GreedyCase>& Cases() {
    static const std::vector<GreedyCase> cases{
        {"DotProductIdentical", 1, kSeparated, kSeparated, 0.0, 1.0},
        {"DotProductModIdentical", 2, kSeparated, kSeparated, 0.0, 1.0},
        {"DotProductHalfIdentical", 3, kSeparated, kSeparated, 0.0, 1.0},
        {"DotProductXIdentical", 4, kSeparated, kSeparated, 0.0, 1.0},
        {"BonanzaIdentical", 6, kSeparated, kSeparated, 0.0, 50.0 / 150.0},
        {"DotProductEmpty", 1, {}, kSeparated, 0.0, 0.0},
        {"DotProductModEmpty", 2, kSeparated, {}, 18.0, 0.0},
        {"DotProductHalfEmpty", 3, {}, {}, 18.0, 0.0},
        {"DotProductXEmpty", 4, {}, kSeparated, 18.0, 0.0},
        {"BonanzaEmpty", 6, kSeparated, {}, 18.0, 0.0},
        {"DotProductAllZero", 1, {{100.0, 0.0}}, {{100.0, 0.0}}, 0.0, 0.0},
        {"DotProductModOneListZero", 2, {{100.0, 0.0}}, {{100.0, 2.0}}, 0.0, 0.0},
        {"BonanzaAllZero", 6, {{100.0, 0.0}}, {{100.0, 0.0}}, 0.0, 0.0},
        // The norms run over all peaks, matched or not: 9 / sqrt(25 * 9).
        {"DotProductNormsIncludeUnmatchedPeaks", 1, {{100.0, 3.0}, {200.0, 4.0}}, {{100.0, 3.0}}, 0.0, 0.6},
        // The intensity-9 peak comes first and takes 100.3 although 100.4 lies closer.
        {"GreedyTakesFirstFreeInnerPeak", 2, {{100.0, 9.0}, {100.4, 1.0}}, {{100.3, 5.0}}, 0.0,
         45.0 / std::sqrt(82.0 * 25.0)},
        {"GreedyInnerPeakTakenOnce", 2, {{100.0, 2.0}, {100.1, 1.0}}, {{100.0, 2.0}}, 0.0,
         4.0 / std::sqrt(5.0 * 4.0)},
        {"DotProductXDoubledMz", 4, {{250.0, 2.0}}, {{500.0, 3.0}}, 0.0, 1.0},
        {"DotProductModWaterShift", 2, {{318.0, 2.0}, {500.0, 1.0}}, {{300.0, 2.0}}, 18.0,
         4.0 / std::sqrt(5.0 * 4.0)},
        {"DotProductHalfWaterShift", 3, {{309.0, 2.0}, {318.0, 1.0}}, {{300.0, 2.0}}, 18.0,
         4.0 / std::sqrt(5.0 * 4.0)},
        // Bonanza relates products to the matched peaks' own squares: 2 / (4 + 1 + 2).
        {"BonanzaUnequalPair", 6, {{100.0, 1.0}}, {{100.0, 2.0}}, 0.0, 2.0 / 7.0},
        {"BonanzaUnmatchedPeaksDoNotLowerIt", 6, {{100.0, 2.0}, {300.0, 5.0}}, {{100.0, 2.0}, {200.0, 7.0}}, 0.0,
         4.0 / 12.0},
    };
    return cases;
}

class GreedyMatching : public testing::TestWithParam<GreedyCase> {};

TEST_P(GreedyMatching, Scores) {
    const GreedyCase& c = GetParam();
    EXPECT_EQ(Score(c.method, 0.5, TOLERANCE_DA, c.first, c.second, c.shift), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Examples, GreedyMatching, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<GreedyCase>& info) { return info.param.name; });

// Three pairs (300/300, 200/200, 100/100) whose products are 1e8 and two of 5e-9: each
// small one alone is lost when added to 1e8, both together are not. Dot Product walks the
// second list, forming the pairs with the small products first; Dot Product Mod walks the
// first list and adds 1e8 first. So the scores differ in the last bit.
TEST(GreedyMatching, DotProductWalksTheSecondListDotProductModTheFirst) {
    const double x2 = 5e-9 / 4.0;
    const double x3 = 5e-9 / 8.0;
    const PeakList first{{300.0, 1e8}, {200.0, x2}, {100.0, x3}};
    const PeakList second{{100.0, 8.0}, {200.0, 4.0}, {300.0, 1.0}};
    const double p300 = 1e8 * 1.0;
    const double p200 = x2 * 4.0;
    const double p100 = x3 * 8.0;
    const double q1 = ((0.0 + 1e8 * 1e8) + x2 * x2) + x3 * x3;
    const double q2 = ((0.0 + 64.0) + 16.0) + 1.0;
    const double second_outer = (((0.0 + p100) + p200) + p300) / std::sqrt(q1 * q2);
    const double first_outer = (((0.0 + p300) + p200) + p100) / std::sqrt(q1 * q2);
    ASSERT_NE(second_outer, first_outer);

    EXPECT_EQ(Score(SIMILAR_DOT_PRODUCT, 0.5, TOLERANCE_DA, first, second, 0.0), second_outer);
    EXPECT_EQ(Score(SIMILAR_DOT_PRODUCT_MOD, 0.5, TOLERANCE_DA, first, second, 0.0), first_outer);
}

}  // namespace
}  // namespace speclink
