// Which single pair of peaks matches, per method: tolerance bounds, shift thresholds and
// the reference m/z of "ppm". Each case scores one peak against one peak, both of
// intensity 1.0, so a match scores 1.0 (Bonanza one third) and no match 0.0.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "speclink/tests/scoring/ScoringTestSupport.h"

namespace speclink {
namespace {

using test::Score;

constexpr int32_t kDa = 0;
constexpr int32_t kPpm = 1;

struct PairCase {
    std::string name;
    double first_mz;
    double second_mz;
    double tolerance;
    int32_t unit;
    double shift;
    std::vector<int32_t> matching_methods;  ///< the others of 0..6 must not match
};

const double kAboveHalf = std::nextafter(0.5, 1.0);
const double kAboveOne = std::nextafter(1.0, 2.0);
const double kBelowMinusHalf = std::nextafter(-0.5, -1.0);

const std::vector<PairCase>& Cases() {
    static const std::vector<PairCase> cases{
        // A difference of exactly the tolerance: inclusive in the ordered walks only.
        {"DifferenceEqualToTolerance", 100.5, 100.0, 0.5, kDa, 0.0, {0, 5}},
        {"DifferenceEqualToMinusTolerance", 100.0, 100.5, 0.5, kDa, 0.0, {0, 5}},
        {"DifferenceJustInsideTolerance", 100.0, 100.4999, 0.5, kDa, 0.0, {0, 1, 2, 3, 4, 5, 6}},
        // The pair 100.5 / 100.0 at tolerance 0.1 matches only through a shift of 0.5.
        {"ShiftOfExactlyHalfIsNotTried", 100.5, 100.0, 0.1, kDa, 0.5, {}},
        {"ShiftJustAboveHalfIsTried", 100.5, 100.0, 0.1, kDa, kAboveHalf, {0, 2, 4, 5, 6}},
        {"HalfShiftOfExactlyOneIsNotTried", 100.5, 100.0, 0.1, kDa, 1.0, {}},
        {"HalfShiftJustAboveOneIsTried", 100.5, 100.0, 0.1, kDa, kAboveOne, {3}},
        // Only the intensity score tries a negative shift, by its absolute value.
        {"NegativeShiftOfExactlyHalfIsNotTried", 99.5, 100.0, 0.1, kDa, -0.5, {}},
        {"NegativeShiftJustBelowMinusHalf", 99.5, 100.0, 0.1, kDa, kBelowMinusHalf, {0}},
        {"NegativeShiftOfMinusPointSeven", 99.3, 100.0, 0.1, kDa, -0.7, {0}},
        {"WaterShiftMatches318With300", 318.0, 300.0, 0.5, kDa, 18.0, {0, 2, 4, 5, 6}},
        {"HalfWaterShiftMatches309With300", 309.0, 300.0, 0.5, kDa, 18.0, {3}},
        {"DoubledMzMatches250With500", 250.0, 500.0, 0.5, kDa, 0.0, {4}},
        {"DoubledMzMatchesThroughShift", 259.0, 500.0, 0.5, kDa, 18.0, {4}},
        // The intensity score skips second-list peaks whose shifted m/z is 0.0 or below.
        {"ShiftedMzOfZeroIsSkipped", 0.0, 150.0, 0.5, kDa, -150.0, {}},
        {"ShiftedMzJustAboveZeroIsUsed", 0.25, 150.25, 0.5, kDa, -150.0, {0}},
        // ppm: 1000.0 against 1000.02 is 20.0 ppm of 1000.0 but 19.9996 ppm of 1000.02.
        // The difference exactly at the tolerance in ppm of the second m/z: inclusive in the
        // walk of the intensity score only (Peak Count and Bonanza work in m/z units).
        {"PpmDifferenceEqualToTolerance", 1000.0, 1000.02, (1000.02 - 1000.0) / 1000.02 * 1000000.0, kPpm, 0.0,
         {0, 5, 6}},
        {"PpmOfFirstMzInDotProduct", 1000.02, 1000.0, 19.9998, kPpm, 0.0, {1, 5, 6}},
        {"PpmOfSecondMzElsewhere", 1000.0, 1000.02, 19.9998, kPpm, 0.0, {0, 2, 3, 4, 5, 6}},
        {"AnyUnitButDaIsPpm", 1000.0, 1000.02, 19.9998, 7, 0.0, {0, 2, 3, 4, 5, 6}},
        {"PpmOfSecondMzForDoubledMz", 250.0, 500.02, 39.999, kPpm, 0.0, {4}},
        // 1018.0 against 1000.02 + 18.0: 19.64598 ppm of the shifted m/z, 19.64637 of 1018.0.
        {"PpmOfShiftedMz", 1018.0, 1000.02, 19.6462, kPpm, 18.0, {0, 2, 4, 5, 6}},
        {"PpmOfShiftedMzForDoubledMz", 509.0, 1000.02, 19.6462, kPpm, 18.0, {4}},
        {"PpmOfShiftedMzForHalfShift", 1018.0, 1000.02, 19.6462, kPpm, 36.0, {0, 3, 5, 6}},
        // The shifted walk of the intensity score, Peak Count and Bonanza work in m/z units.
        {"PpmUnitShiftedInMzUnits", 118.3, 100.0, 0.5, kPpm, 18.0, {0, 5, 6}},
        {"PpmUnitDirectInMzUnits", 100.3, 100.0, 0.5, kPpm, 0.0, {5, 6}},
    };
    return cases;
}

class MatchBoundary : public testing::TestWithParam<PairCase> {};

TEST_P(MatchBoundary, MatchesExactlyTheListedMethods) {
    const PairCase& c = GetParam();
    for (int32_t method = 0; method <= 6; ++method) {
        const bool matches = std::find(c.matching_methods.begin(), c.matching_methods.end(), method) !=
                             c.matching_methods.end();
        const double matched_score = method == SIMILAR_BONANZA ? 1.0 / 3.0 : 1.0;
        EXPECT_EQ(Score(method, c.tolerance, c.unit, {{c.first_mz, 1.0}}, {{c.second_mz, 1.0}}, c.shift),
                  matches ? matched_score : 0.0)
            << "method " << method;
    }
}

INSTANTIATE_TEST_SUITE_P(Pairs, MatchBoundary, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<PairCase>& info) { return info.param.name; });

}  // namespace
}  // namespace speclink
