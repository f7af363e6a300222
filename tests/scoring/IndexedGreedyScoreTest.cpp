// IndexedGreedyScore against ComputeScore: the same bits for every method, unit, tolerance
// and shift, over random lists with equal intensities, m/z on a grid (differences exactly
// equal to the tolerance) and odd values; and what IndexedPeakList keeps.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include "speclink/library/scoring/IndexedGreedyScore.h"
#include "speclink/library/scoring/IndexedPeakList.h"
#include "speclink/library/scoring/MzCellTable.h"
#include "speclink/tests/scoring/ScoringTestSupport.h"

namespace speclink {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

PeakList InMzOrder(PeakList peaks) {
    std::sort(peaks.begin(), peaks.end(), ByMzAscending);
    return peaks;
}

// ComputeScore on copies, and IndexedGreedyScore on the lists as ComputeScore left them:
// both indexed (lookups into the first list), and with one of them not indexed (lookups
// into the other). A copy moved by 0.0 is the same list without an index, as long as no
// m/z is -0.0.
void ExpectSameScore(const CSimilarity& scorer, const PeakList& first_in, const PeakList& second_in, double shift) {
    PeakList first = first_in;
    PeakList second = second_in;
    const double expected = scorer.ComputeScore(first, second, shift);
    GreedyScratch scratch;
    const IndexedPeakList first_list(first);
    const IndexedPeakList second_list(second);
    const double score = IndexedGreedyScore(scorer, first_list, second_list, shift, scratch);
    RC_ASSERT(std::bit_cast<uint64_t>(score) == std::bit_cast<uint64_t>(expected));
    if (first_list.indexed()) {
        // Without a screen, and with one narrower than, about as wide as, or wider than
        // the lookups' windows.
        MzCellTable table;
        table.Build(first_list, *rc::gen::element(0.0, 0.2, scorer.fragment_ion_tol + 0.01, 3.0));
        const double with_table = IndexedGreedyScore(scorer, first_list, second_list, shift, scratch, &table);
        RC_ASSERT(std::bit_cast<uint64_t>(with_table) == std::bit_cast<uint64_t>(expected));
    }

    const auto negative_zero = [](const PeakList& peaks) {
        return std::any_of(peaks.begin(), peaks.end(), [](const Peak& p) { return p.mz == 0.0 && std::signbit(p.mz); });
    };
    if (negative_zero(first) || negative_zero(second)) return;
    IndexedPeakList unindexed;
    first_list.MoveInto(0.0, unindexed);
    const double first_walked = IndexedGreedyScore(scorer, unindexed, second_list, shift, scratch);
    RC_ASSERT(std::bit_cast<uint64_t>(first_walked) == std::bit_cast<uint64_t>(expected));
    second_list.MoveInto(0.0, unindexed);
    const double second_walked = IndexedGreedyScore(scorer, first_list, unindexed, shift, scratch);
    RC_ASSERT(std::bit_cast<uint64_t>(second_walked) == std::bit_cast<uint64_t>(expected));
}

rc::Gen<double> Shift() {
    return rc::gen::oneOf(rc::gen::element(0.0, 0.5, 0.75, 1.0, 1.25, -0.7, 18.0, -18.0, 100.0),
                          rc::gen::map(rc::gen::inRange(-4000, 4000), [](int k) { return k / 100.0; }),
                          rc::gen::map(rc::gen::inRange(0, 60), [](int k) { return k * 0.25; }));
}

CSimilarity RandomScorer() {
    const auto method = *rc::gen::inRange<int32_t>(-1, 9);
    const auto unit = *rc::gen::element<int32_t>(0, 0, 1, 2);
    const auto tolerance = unit == 0 ? *rc::gen::element(0.25, 0.5, 1.0, 0.0, -0.5, 3000.0)
                                     : *rc::gen::element(20.0, 2500.0, 5000.0, 0.0);
    return CSimilarity(static_cast<Similar_Method>(method), tolerance, static_cast<Tolerance_Type>(unit));
}

RC_GTEST_PROP(IndexedGreedyScore, SameAsComputeScoreOnGridLists, ()) {
    // Grid steps of 0.25 m/z and intensities in steps of 0.5: exact ties in both.
    const PeakList first = InMzOrder(*test::GridPeakList(40, 120, 0));
    const PeakList second = InMzOrder(*test::GridPeakList(40, 120, 0));
    ExpectSameScore(RandomScorer(), first, second, *Shift());
}

RC_GTEST_PROP(IndexedGreedyScore, SameAsComputeScoreOnFineLists, ()) {
    ExpectSameScore(RandomScorer(), InMzOrder(*test::FinePeakList(40)), InMzOrder(*test::FinePeakList(40)), *Shift());
}

// Fragments of one list and their doubly charged or shifted forms in the other, so that
// every kind of match (direct, 2a - b, shifted, 2a - c) occurs among many candidates, and
// partners a hair's breadth inside or outside the tolerance on either side. Scored by each
// greedy method.
RC_GTEST_PROP(IndexedGreedyScore, SameAsComputeScoreOnRelatedLists, ()) {
    const PeakList base = *test::FinePeakList(40);
    const double shift = *rc::gen::element(16.0, 15.994915, 79.966331, 0.984016, 28.0313);
    const auto unit = *rc::gen::element<int32_t>(0, 0, 0, 1);
    const double tolerance = unit == 0 ? *rc::gen::element(0.5, 0.25) : *rc::gen::element(2500.0, 5000.0);
    const double edge = unit == 0 ? tolerance : 0.25;
    const auto near_one = rc::gen::element(1.0 - 1e-12, 1.0 - 1e-15, 1.0, 1.0 + 1e-15, 1.0 - 1e-9, 1.0 - 1e-7);
    PeakList related;
    for (const Peak& peak : base) {
        switch (*rc::gen::inRange(0, 7)) {
            case 0: related.push_back({peak.mz, peak.intensity}); break;
            case 1: related.push_back({peak.mz - shift, peak.intensity * 0.5}); break;
            case 2: related.push_back({peak.mz * 2.0 + 0.01, peak.intensity}); break;
            case 3: related.push_back({peak.mz * 2.0 - shift, 3.0}); break;
            case 4: related.push_back({peak.mz + *rc::gen::element(edge, -edge) * *near_one, 1.0}); break;
            case 5: related.push_back({peak.mz - shift + *rc::gen::element(edge, -edge) * *near_one, 2.0}); break;
            default: break;
        }
    }
    const double used_shift = *rc::gen::element(shift, -shift, shift / 2, shift * 2);
    for (const int32_t method : {1, 2, 3, 4, 6}) {
        const CSimilarity scorer(static_cast<Similar_Method>(method), tolerance, static_cast<Tolerance_Type>(unit));
        ExpectSameScore(scorer, InMzOrder(base), InMzOrder(related), used_shift);
        ExpectSameScore(scorer, InMzOrder(related), InMzOrder(base), used_shift);
    }
}

// More peaks near one m/z than a screen cell counts: those windows walk the list instead.
RC_GTEST_PROP(IndexedGreedyScore, SameAsComputeScoreWithCrowdedCells, ()) {
    PeakList crowded = *test::FinePeakList(20);
    const int count = *rc::gen::inRange(250, 320);
    for (int k = 0; k < count; ++k) crowded.push_back({110.0 + k * 0.004, 1.0 + k % 7});
    const PeakList other = *test::FinePeakList(40);
    const double shift = *rc::gen::element(0.0, 18.0, 3.25);
    for (const int32_t method : {2, 6}) {
        const CSimilarity scorer(static_cast<Similar_Method>(method), 0.5, TOLERANCE_DA);
        ExpectSameScore(scorer, InMzOrder(crowded), InMzOrder(other), shift);
    }
}

// Zero, negative, infinite and NaN m/z, huge and NaN shifts and tolerances: the lookup must
// step aside (or bound them correctly) and give ComputeScore's result all the same.
RC_GTEST_PROP(IndexedGreedyScore, SameAsComputeScoreOnOddValues, ()) {
    const auto odd_mz = rc::gen::element(0.0, -0.0, -150.0, 1e-300, 1e200, kInfinity, -kInfinity, kNan);
    auto with_odd = [&](PeakList peaks) {
        const auto count = *rc::gen::inRange(0, 3);
        for (int k = 0; k < count; ++k) peaks.push_back({*odd_mz, *rc::gen::inRange(0, 20) * 0.5});
        return peaks;
    };
    PeakList first = with_odd(*test::GridPeakList(20, 60, 0));
    PeakList second = with_odd(*test::GridPeakList(20, 60, 0));
    // m/z order as far as NaN allows; ComputeScore decides the scored order anyway.
    std::stable_sort(first.begin(), first.end(), ByMzAscending);
    std::stable_sort(second.begin(), second.end(), ByMzAscending);
    CSimilarity scorer = RandomScorer();
    // "Peak Count" reads outside its lists when a NaN m/z makes a match: left out here.
    RC_PRE(scorer.similar_method != SIMILAR_PEAK_COUNT);
    scorer.fragment_ion_tol = *rc::gen::element(scorer.fragment_ion_tol, kNan, kInfinity, 1e160, 1e-300);
    const double shift = *rc::gen::oneOf(Shift(), rc::gen::element(kNan, kInfinity, -kInfinity, 1e160, 1e300));
    ExpectSameScore(scorer, first, second, shift);
}

TEST(IndexedGreedyScore, GreedyOrderNotNearestPartner) {
    // The intensity-9 peak takes the only partner although 100.4 lies closer to 100.3.
    const CSimilarity scorer(SIMILAR_DOT_PRODUCT_MOD, 0.5, TOLERANCE_DA);
    PeakList first = {{100.0, 9.0}, {100.4, 1.0}, {300.0, 2.0}};
    PeakList second = {{100.3, 5.0}, {500.0, 1.0}};
    const double expected = scorer.ComputeScore(first, second, 0.0);
    GreedyScratch scratch;
    EXPECT_EQ(IndexedGreedyScore(scorer, IndexedPeakList(first), IndexedPeakList(second), 0.0, scratch), expected);
    EXPECT_EQ(expected, 9.0 * 5.0 / std::sqrt((81.0 + 1.0 + 4.0) * 26.0));
}

TEST(IndexedGreedyScore, ReplacedScoringOperationIsCalled) {
    CSimilarity scorer(SIMILAR_DOT_PRODUCT_MOD, 0.5, TOLERANCE_DA);
    scorer.score_table[SIMILAR_DOT_PRODUCT_MOD] = &CSimilarity::Bonanza;
    const PeakList peaks = {{100.0, 1.0}, {200.0, 1.0}};
    GreedyScratch scratch;
    const double score = IndexedGreedyScore(scorer, IndexedPeakList(peaks), IndexedPeakList(peaks), 0.0, scratch);
    EXPECT_EQ(score, scorer.Bonanza(peaks, peaks, 0.0));
    EXPECT_NE(score, scorer.DotProductMod(peaks, peaks, 0.0));
}

TEST(IndexedPeakList, KeepsOrderIndexAndSquares) {
    const IndexedPeakList list(PeakList{{300.0, 3.0}, {100.0, 2.0}, {200.0, 2.0}, {100.0, 1.0}});
    EXPECT_EQ(list.peaks(), (PeakList{{300.0, 3.0}, {100.0, 2.0}, {200.0, 2.0}, {100.0, 1.0}}));
    ASSERT_EQ(list.by_mz().size(), 4u);
    const std::span<const double> sorted = list.sorted_mz();
    EXPECT_EQ(std::vector<double>(sorted.begin(), sorted.end()), (std::vector<double>{100.0, 100.0, 200.0, 300.0}));
    EXPECT_EQ(sorted.data()[4], kInfinity);
    EXPECT_EQ(list.FirstAtOrAbove(150.0), 2u);
    EXPECT_EQ(list.FirstAtOrAbove(100.0), 0u);
    EXPECT_EQ(list.FirstAtOrAbove(301.0), 4u);
    for (std::size_t k = 0; k < 4; ++k) EXPECT_EQ(list.peaks()[list.by_mz()[k]].mz, list.sorted_mz()[k]);
    EXPECT_EQ(list.squares(), 9.0 + 4.0 + 4.0 + 1.0);
    EXPECT_TRUE(list.ordered());
    EXPECT_TRUE(list.indexed());
    EXPECT_EQ(list.smallest_mz(), 100.0);
    EXPECT_EQ(list.largest_abs_mz(), 300.0);
    EXPECT_FALSE(IndexedPeakList(PeakList{{kNan, 1.0}}).ordered());
    EXPECT_FALSE(IndexedPeakList(PeakList{{kNan, 1.0}}).indexed());
}

// The cells may say "maybe" where there is nothing, but never "no" where a peak lies;
// the lookups of the list and of its cell table agree with a plain count.
RC_GTEST_PROP(IndexedPeakList, CellsNeverMissAPeak, ()) {
    PeakList peaks = *rc::gen::oneOf(test::FinePeakList(30), test::GridPeakList(30, 200, 0));
    if (*rc::gen::arbitrary<bool>()) peaks.push_back({*rc::gen::element(-3.5, 0.0, 1e7, 5e6), 1.0});
    const IndexedPeakList list(peaks);
    const double low = *rc::gen::map(rc::gen::inRange(-1000, 160000), [](int k) { return k / 1000.0; });
    const double width = *rc::gen::element(0.0, 1e-9, 0.25, 0.5, 1.0, 1.0000002, 2.5, 30.0);
    const double high = low + width;
    const auto inside = [&](const Peak& p) { return low <= p.mz && p.mz <= high; };
    const bool held = std::any_of(peaks.begin(), peaks.end(), inside);
    if (held) RC_ASSERT(list.MayHold(low, high));
    // The cell table finds the same first peak as the list itself.
    MzCellTable table;
    table.Build(list);
    RC_ASSERT(table.FirstAtOrAbove(low) == list.FirstAtOrAbove(low));
    RC_ASSERT(table.FirstAtOrAbove(high) == list.FirstAtOrAbove(high));
    // And the walk from FirstAtOrAbove finds exactly the peaks in the window.
    std::size_t found = 0;
    for (std::size_t s = list.FirstAtOrAbove(low); list.sorted_mz().data()[s] <= high; ++s) ++found;
    RC_ASSERT(found == static_cast<std::size_t>(std::count_if(peaks.begin(), peaks.end(), inside)));
}

// The screen of a cell table may let a window through that holds nothing, but never rules
// out one that holds a peak, over lists spread like real spectra (100 to 2 000 m/z) and
// windows of any reach up to the screen's, about m/z on either side of every cell edge.
RC_GTEST_PROP(MzCellTable, ScreenNeverMissesAPeak, ()) {
    const auto spread_peak = rc::gen::apply([](int mz, int fraction) { return Peak{mz / 8.0 + fraction * 1e-9, 1.0}; },
                                            rc::gen::inRange(800, 16000), rc::gen::inRange(-3, 4));
    const auto peaks = *rc::gen::container<PeakList>(*rc::gen::inRange<std::size_t>(1, 60), spread_peak);
    const IndexedPeakList list(peaks);
    const double screen_reach = *rc::gen::element(0.05, 0.125, 0.25, 0.5 + 1e-9, 0.51, 1.0, 2.0);
    // A table reused from another list, as the engines reuse theirs, keeps nothing of it.
    const IndexedPeakList earlier(*rc::gen::container<PeakList>(*rc::gen::inRange<std::size_t>(0, 60), spread_peak));
    MzCellTable table;
    table.Build(earlier, *rc::gen::element(0.0, 0.25, 0.51, 2.0));
    table.Build(list, screen_reach);
    const double reach = screen_reach * *rc::gen::element(1.0, 1.0 - 1e-12, 0.5, 0.0);
    const double add = *rc::gen::element(0.0, 18.0106, 79.966331, -42.0, 0.125, 199.9999999);
    const auto held = [&](double centre) {
        return std::any_of(peaks.begin(), peaks.end(), [&](const Peak& p) {
            return centre - reach <= p.mz && p.mz <= centre + reach;
        });
    };
    // Walked m/z near the list's own, so that most windows hold a peak or just miss one.
    PeakList walked;
    for (const Peak& peak : peaks) {
        walked.push_back({std::max(0.0, peak.mz - add + *rc::gen::element(0.0, reach, -reach, 0.0625, 1.0)), 1.0});
    }
    walked.push_back({0.0, 1.0});
    walked.push_back({*rc::gen::inRange(0, 3000) + 0.5, 1.0});
    RC_ASSERT(table.Screens(reach, 0.0, 3000.0, add));
    // Screened alone, and beside another add in the same pass.
    std::vector<uint32_t> near(walked.size());
    std::vector<uint32_t> beside(walked.size());
    std::vector<uint32_t> near_too(walked.size());
    near.resize(table.Screen<1>(walked, {add}, {near.data()})[0]);
    near_too.resize(table.Screen<2>(walked, {-add, add}, {beside.data(), near_too.data()})[1]);
    RC_ASSERT(near_too == near);
    // And the peaks it weighed for a window hold every peak in it.
    const int64_t base = table.ScreenBase(add);
    const std::span<const double> sorted = list.sorted_mz();
    for (std::size_t l = 0; l < walked.size(); ++l) {
        const double centre = walked[l].mz + add;
        if (!held(centre)) continue;
        RC_ASSERT(std::binary_search(near.begin(), near.end(), static_cast<uint32_t>(l)));
        const MzCellTable::Near weighed = table.NearPeaks(walked[l].mz, base);
        if (weighed.count == MzCellTable::kCrowded) continue;
        for (std::size_t s = 0; s < sorted.size(); ++s) {
            if (sorted[s] < centre - reach || sorted[s] > centre + reach) continue;
            RC_ASSERT(weighed.first <= s && s < weighed.first + weighed.count);
        }
    }
    RC_ASSERT(std::is_sorted(near.begin(), near.end()));
}

RC_GTEST_PROP(IndexedPeakList, MovedListIsTheListOfMovedPeaks, ()) {
    const PeakList peaks = *test::FinePeakList(30);
    const int offset = *rc::gen::inRange(-210, 210);
    const IndexedPeakList list(peaks);
    IndexedPeakList moved(PeakList{{1.0, 1.0}});
    list.MoveInto(offset, moved);
    PeakList expected = peaks;
    for (Peak& peak : expected) peak.mz += offset;
    RC_ASSERT(moved.peaks() == expected);
    RC_ASSERT(moved.squares() == list.squares());
    RC_ASSERT(!moved.indexed());
    RC_ASSERT(moved.ordered());
    if (!expected.empty()) {
        const auto [smallest, largest] = std::minmax_element(
            expected.begin(), expected.end(), [](const Peak& p, const Peak& q) { return p.mz < q.mz; });
        RC_ASSERT(moved.smallest_mz() == smallest->mz);
        RC_ASSERT(moved.largest_abs_mz() == std::max(std::fabs(smallest->mz), std::fabs(largest->mz)));
    }
}

}  // namespace
}  // namespace speclink
