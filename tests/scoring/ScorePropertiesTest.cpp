// Properties of the seven scores over random lists, and a bit-for-bit comparison with the
// plain re-statements in ReferenceScores.h.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include "speclink/tests/scoring/ReferenceScores.h"
#include "speclink/tests/scoring/ScoringTestSupport.h"

namespace speclink {
namespace {

rc::Gen<double> Shift() {
    return rc::gen::oneOf(rc::gen::element(0.0, 0.5, 0.75, 1.0, 1.25, -0.7, 18.0, -18.0),
                          rc::gen::map(rc::gen::inRange(-4000, 4000), [](int k) { return k / 100.0; }));
}

PeakList InMzOrder(PeakList peaks) {
    std::sort(peaks.begin(), peaks.end(), ByMzAscending);
    return peaks;
}

// Peak Count may exceed 1 when zero-intensity peaks are counted in both walks, so its
// range is checked over positive intensities only.
RC_GTEST_PROP(ScoreProperties, ScoresLieWithinTheirRange, ()) {
    const auto method = *rc::gen::inRange<int32_t>(0, 7);
    const int min_intensity = method == SIMILAR_PEAK_COUNT ? 1 : 0;
    const auto first = InMzOrder(*test::GridPeakList(25, 40, min_intensity));
    const auto second = InMzOrder(*test::GridPeakList(25, 40, min_intensity));
    const auto tolerance = *rc::gen::element(0.25, 0.5, 1.0, 3000.0);
    const auto unit = *rc::gen::inRange<int32_t>(0, 2);
    const auto shift = *Shift();

    const double score = test::Score(method, tolerance, unit, first, second, shift);
    RC_ASSERT(score >= 0.0);
    RC_ASSERT(score <= (method == SIMILAR_BONANZA ? 1.0 / 3.0 : 1.0));
}

RC_GTEST_PROP(ScoreProperties, EmptyListScoresZero, ()) {
    const auto method = *rc::gen::inRange<int32_t>(0, 7);
    const auto other = InMzOrder(*test::GridPeakList(25, 40, 0));
    const auto shift = *Shift();
    RC_ASSERT(test::Score(method, 0.5, TOLERANCE_DA, {}, other, shift) == 0.0);
    RC_ASSERT(test::Score(method, 0.5, TOLERANCE_DA, other, {}, shift) == 0.0);
}

// Peaks at least 1.5 apart with tolerance 0.5: each peak matches only its twin.
RC_GTEST_PROP(ScoreProperties, IdenticalSeparatedListsScoreOne, ()) {
    const auto slots = *rc::gen::unique<std::vector<int>>(rc::gen::inRange(0, 400));
    RC_PRE(!slots.empty());
    PeakList peaks;
    for (const int slot : slots) {
        peaks.push_back(Peak{100.0 + 1.5 * slot, *rc::gen::inRange(1, 100000) / 64.0});
    }
    peaks = InMzOrder(peaks);
    const auto unit = *rc::gen::inRange<int32_t>(0, 2);
    const double tolerance = unit == TOLERANCE_DA ? 0.5 : 1000.0;
    for (const int32_t method : {0, 1, 2, 3, 4, 5}) {
        RC_ASSERT(test::Score(method, tolerance, unit, peaks, peaks, 0.0) == 1.0);
    }
    const double bonanza = test::Score(SIMILAR_BONANZA, 0.5, unit, peaks, peaks, 0.0);
    RC_ASSERT(std::fabs(bonanza - 1.0 / 3.0) <= 1e-15);
}

void CheckAgainstReference(const PeakList& first_in, const PeakList& second_in) {
    const auto method = *rc::gen::inRange<int32_t>(0, 7);
    const auto unit = *rc::gen::element<int32_t>(0, 1, 2);
    const auto tolerance = unit == 0 ? *rc::gen::element(0.25, 0.5, 1.0) : *rc::gen::element(20.0, 2500.0, 5000.0);
    const auto shift = *Shift();
    PeakList first = InMzOrder(first_in);
    PeakList second = InMzOrder(second_in);

    const CSimilarity scorer(static_cast<Similar_Method>(method), tolerance, static_cast<Tolerance_Type>(unit));
    const double score = scorer.ComputeScore(first, second, shift);
    // ComputeScore left the lists in the order it scored them in.
    const double expected = test::reference::Score({method, tolerance, unit}, first, second, shift);
    RC_ASSERT(std::signbit(score) == std::signbit(expected));
    RC_ASSERT(score == expected);
}

RC_GTEST_PROP(ScoreProperties, MatchesReferenceOnGridLists, ()) {
    CheckAgainstReference(*test::GridPeakList(30, 60, 0), *test::GridPeakList(30, 60, 0));
}

RC_GTEST_PROP(ScoreProperties, MatchesReferenceOnFineLists, ()) {
    CheckAgainstReference(*test::FinePeakList(30), *test::FinePeakList(30));
}

}  // namespace
}  // namespace speclink
