#include "scoring/IndexedGreedyScore.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "scoring/GreedyMatchRules.h"
#include "scoring/Similarity.h"

namespace speclink {
namespace {

// Lists, shifts and tolerances beyond this magnitude are scanned: no bound of a lookup
// window can then overflow.
constexpr double kLargest = 1e150;

// A lookup window is wider than the tolerance by this share of the magnitudes involved:
// many orders of magnitude more than the few units in the last place by which the match
// test's own rounding can let a pair pass, so the window holds every peak that can pass
// and the test itself decides.
constexpr double kSlack = 1e-9;

double LargestMagnitude(const IndexedPeakList& list) {
    return std::max(std::fabs(list.sorted_mz().front()), std::fabs(list.sorted_mz().back()));
}

// The greedy matching of MatchGreedily (GreedyMatchingScores.cpp): each outer peak, most
// intense first, takes the first free inner peak in list order that passes `test`. The
// inner peaks that can pass lie within `reach` of one of the test's lines, found for all
// outer peaks by one walk per line over both lists in m/z order; only those are tested.
// Returns false, having matched nothing, when the lists cannot be bounded so.
template <typename Test>
bool MatchIndexed(const IndexedPeakList& outer, const IndexedPeakList& inner, const Test& test,
                  GreedyScratch& scratch, double& products) {
    const std::size_t outer_count = outer.peaks().size();
    const std::size_t inner_count = inner.peaks().size();
    products = 0.0;
    scratch.outer_taken.assign(outer_count, 0);
    scratch.inner_taken.assign(inner_count, 0);
    if (outer_count == 0 || inner_count == 0) return true;
    if (!outer.ordered() || !inner.ordered()) return false;

    const std::vector<double>& a_sorted = outer.sorted_mz();
    const std::vector<double>& b_sorted = inner.sorted_mz();
    const double tolerance = test.tolerance;
    const double shift = test.Shift();
    const double a_largest = LargestMagnitude(outer);
    const double b_largest = LargestMagnitude(inner);
    if (!(tolerance > 0.0 && tolerance < kLargest && std::fabs(shift) < kLargest && a_largest < kLargest &&
          b_largest < kLargest)) {
        return false;
    }
    // In ppm the references (b, or b + shift) must be positive for the bound below.
    if (test.Relative() && !(b_sorted.front() > 0.0)) return false;
    // A passing pair lies within the tolerance of a line; in ppm, of the largest reference.
    const double bound = test.Relative() ? tolerance * 1e-6 * (b_largest + shift) : tolerance;
    const double reach = bound * (1.0 + kSlack) + kSlack * (2.0 * a_largest + b_largest + std::fabs(shift) + 1.0);
    // Windows as wide as the list: testing every peak directly is cheaper.
    if (2.0 * reach >= b_sorted.back() - b_sorted.front()) return false;

    greedy::MzLine lines[greedy::kMaxLines];
    const auto line_count = static_cast<std::size_t>(test.Lines(lines));
    scratch.ranges.resize(outer_count * line_count * 2);
    const std::vector<uint32_t>& a_order = outer.by_mz();
    for (std::size_t w = 0; w < line_count; ++w) {
        // The window bounds grow with a, so both ends only move forward.
        const greedy::MzLine line = lines[w];
        std::size_t lo = 0;
        std::size_t hi = 0;
        for (std::size_t r = 0; r < outer_count; ++r) {
            const double centre = line.scale * a_sorted[r] + line.offset;
            const double low = centre - reach;
            const double high = centre + reach;
            while (lo < inner_count && b_sorted[lo] < low) ++lo;
            if (hi < lo) hi = lo;
            while (hi < inner_count && b_sorted[hi] <= high) ++hi;
            uint32_t* range = &scratch.ranges[(a_order[r] * line_count + w) * 2];
            range[0] = static_cast<uint32_t>(lo);
            range[1] = static_cast<uint32_t>(hi);
        }
    }

    const PeakList& outer_peaks = outer.peaks();
    const PeakList& inner_peaks = inner.peaks();
    const std::vector<uint32_t>& b_order = inner.by_mz();
    for (std::size_t k = 0; k < outer_count; ++k) {
        const Peak& p = outer_peaks[k];
        const uint32_t* range = &scratch.ranges[k * line_count * 2];
        std::size_t best = inner_count;
        for (std::size_t w = 0; w < line_count; ++w) {
            for (uint32_t s = range[2 * w]; s < range[2 * w + 1]; ++s) {
                const uint32_t l = b_order[s];
                if (l < best && scratch.inner_taken[l] == 0 && test(p, inner_peaks[l])) best = l;
            }
        }
        if (best == inner_count) continue;
        scratch.inner_taken[best] = 1;
        scratch.outer_taken[k] = 1;
        products += p.intensity * inner_peaks[best].intensity;
    }
    return true;
}

}  // namespace

double IndexedGreedyScore(const CSimilarity& similarity, const IndexedPeakList& first, const IndexedPeakList& second,
                          double shift, GreedyScratch& scratch) {
    const Similar_Method method = similarity.similar_method;
    if (method < SIMILAR_INTENSITY_SCORE || method > SIMILAR_BONANZA) return 0.0;
    const CSimilarity::ScoreOperation operation = similarity.score_table[static_cast<std::size_t>(method)];
    const double t = similarity.fragment_ion_tol;
    const Tolerance_Type unit = similarity.fragment_ion_tol_type;
    double products = 0.0;
    switch (method) {
        case SIMILAR_DOT_PRODUCT:
            // The second list is the outer one.
            if (operation != &CSimilarity::DotProduct) break;
            if (!MatchIndexed(second, first, greedy::DirectTest{t, unit}, scratch, products)) break;
            return greedy::Cosine(products, first.squares(), second.squares());
        case SIMILAR_DOT_PRODUCT_MOD:
            if (operation != &CSimilarity::DotProductMod) break;
            if (!MatchIndexed(first, second, greedy::ShiftedTest{t, unit, shift}, scratch, products)) break;
            return greedy::Cosine(products, first.squares(), second.squares());
        case SIMILAR_DOT_PRODUCT_HALF:
            if (operation != &CSimilarity::DotProductHalf) break;
            if (!MatchIndexed(first, second, greedy::ShiftedTest{t, unit, shift * 0.5}, scratch, products)) break;
            return greedy::Cosine(products, first.squares(), second.squares());
        case SIMILAR_DOT_PRODUCT_X:
            if (operation != &CSimilarity::DotProductX) break;
            if (!MatchIndexed(first, second, greedy::DoubledTest{t, unit, shift}, scratch, products)) break;
            return greedy::Cosine(products, first.squares(), second.squares());
        case SIMILAR_BONANZA:
            if (operation != &CSimilarity::Bonanza) break;
            if (!MatchIndexed(first, second, greedy::BonanzaTest{t, shift}, scratch, products)) break;
            return greedy::BonanzaScore(products, greedy::SumOfTakenSquares(first.peaks(), scratch.outer_taken),
                                        greedy::SumOfTakenSquares(second.peaks(), scratch.inner_taken));
        default:
            break;
    }
    return (similarity.*operation)(first.peaks(), second.peaks(), shift);
}

}  // namespace speclink
