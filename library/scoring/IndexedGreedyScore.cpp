#include "speclink/library/scoring/IndexedGreedyScore.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <type_traits>
#include <utility>
#include <vector>

#include "speclink/library/scoring/GreedyMatchRules.h"
#include "speclink/library/scoring/Similarity.h"

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

// Which list's m/z index the lookups go to: the other list is walked in its own order.
enum class Lookup { kIntoOuter, kIntoInner };

// The widest fragment tolerance (Da) at which peak pairs are found beforehand.
constexpr double kWidestFoundTolerance = 2.0;

// A candidate pair of the lookup into the outer list: outer and inner position.
using Candidate = std::pair<uint32_t, uint32_t>;

// The greedy matching of MatchGreedily (GreedyMatchingScores.cpp): each outer peak, most
// intense first, takes the first free inner peak in list order that passes `test`.
//
// A pair can pass only when the inner m/z lies within `reach` of one of the test's lines
// through the outer m/z. The peaks of the walked list look up their possible partners in
// the indexed list through `finder` (the list itself, or its cell table), which rules out
// most lines at a glance; only the pairs so found are tested, in the plain order: by outer
// position, and for each outer peak the first free inner peak wins. Returns false, having
// matched nothing, when the lists cannot be bounded so (NaN or huge m/z, shift or
// tolerance; a ppm reference of 0 or below).
template <Lookup kLookup, typename Finder, typename Test>
bool MatchIndexed(const IndexedPeakList& outer, const IndexedPeakList& inner, const Finder& finder, const Test& test,
                  GreedyScratch& scratch, double& products) {
    // Only the Bonanza score asks which outer peaks were taken.
    constexpr bool kMarksOuter = std::is_same_v<Test, greedy::BonanzaTest>;
    const std::size_t outer_count = outer.peaks().size();
    const std::size_t inner_count = inner.peaks().size();
    products = 0.0;
    if constexpr (kMarksOuter) scratch.outer_taken.assign(outer_count, 0);
    scratch.inner_taken.assign(inner_count, 0);
    if (outer_count == 0 || inner_count == 0) return true;
    if (!outer.ordered() || !inner.ordered()) return false;

    const double tolerance = test.tolerance;
    const double shift = test.Shift();
    const double a_largest = outer.largest_abs_mz();
    const double b_largest = inner.largest_abs_mz();
    if (!(tolerance > 0.0 && tolerance < kLargest && std::fabs(shift) < kLargest && a_largest < kLargest &&
          b_largest < kLargest)) {
        return false;
    }
    // In ppm the references (b, or b + shift) must be positive for the bound below.
    if (test.Relative() && !(inner.smallest_mz() > 0.0)) return false;
    // A passing pair lies within the tolerance of a line; in ppm, of the largest reference.
    const double bound = test.Relative() ? tolerance * 1e-6 * (b_largest + shift) : tolerance;
    const double reach = bound * (1.0 + kSlack) + kSlack * (2.0 * a_largest + b_largest + std::fabs(shift) + 1.0);
    const IndexedPeakList& indexed = kLookup == Lookup::kIntoOuter ? outer : inner;
    // Windows as wide as the list: testing every peak directly is cheaper.
    const std::span<const double> sorted = indexed.sorted_mz();
    if (2.0 * reach >= sorted.back() - sorted.front()) return false;

    greedy::MzLine lines[greedy::kMaxLines];
    const int line_count = test.Lines(lines);
    const PeakList& outer_peaks = outer.peaks();
    const PeakList& inner_peaks = inner.peaks();
    const std::vector<uint32_t>& order = indexed.by_mz();
    const double* walk = sorted.data();  // +infinity after the last

    if constexpr (kLookup == Lookup::kIntoInner) {
        // Outer peaks in list order; each looks up b = scale * a + offset within reach.
        for (std::size_t k = 0; k < outer_count; ++k) {
            const Peak& p = outer_peaks[k];
            std::size_t best = inner_count;
            for (int w = 0; w < line_count; ++w) {
                const double centre = lines[w].scale * p.mz + lines[w].offset;
                const double low = centre - reach;
                const double high = centre + reach;
                if (!finder.MayHold(low, high)) continue;
                for (std::size_t s = finder.FirstAtOrAbove(low); walk[s] <= high; ++s) {
                    const uint32_t l = order[s];
                    if (l < best && scratch.inner_taken[l] == 0 && test(p, inner_peaks[l])) best = l;
                }
            }
            if (best == inner_count) continue;
            scratch.inner_taken[best] = 1;
            if constexpr (kMarksOuter) scratch.outer_taken[k] = 1;
            products += p.intensity * inner_peaks[best].intensity;
        }
        return true;
    } else {
        // Each inner peak looks up a = (b - offset) / scale within reach, line by line; the
        // pairs found are then decided in outer order.
        std::vector<Candidate>& candidates = scratch.candidates;
        candidates.clear();
        const auto look_up = [&](const greedy::MzLine& line, std::size_t l) {
            const double from = inner_peaks[l].mz - line.offset;
            const double inverse = 1.0 / line.scale;  // 1.0 or 0.5: exact
            const double low = (from - reach) * inverse;
            const double high = (from + reach) * inverse;
            if (!finder.MayHold(low, high)) return;
            for (std::size_t s = finder.FirstAtOrAbove(low); walk[s] <= high; ++s) {
                candidates.emplace_back(order[s], static_cast<uint32_t>(l));
            }
        };
        // Lines screened in one pass (most windows hold no peak), and the lines left.
        int screened[2];
        int screened_count = 0;
        int rest[greedy::kMaxLines];
        int rest_count = 0;
        for (int w = 0; w < line_count; ++w) {
            bool screens = false;
            if constexpr (std::is_same_v<Finder, MzCellTable>) {
                screens = lines[w].scale == 1.0 && screened_count < 2 &&
                          finder.Screens(reach, inner.smallest_mz(), b_largest, -lines[w].offset);
            }
            if (screens) {
                screened[screened_count++] = w;
            } else {
                rest[rest_count++] = w;
            }
        }
        if constexpr (std::is_same_v<Finder, MzCellTable>) {
            scratch.near.resize(2 * inner_count);
            uint32_t* near[2] = {scratch.near.data(), scratch.near.data() + inner_count};
            // Each window let through is checked against the few peaks the screen weighed
            // for it, which hold every peak in the window, in m/z order.
            const auto look_up_near = [&](int w, const uint32_t* positions, std::size_t count) {
                const greedy::MzLine& line = lines[w];
                const int64_t base = finder.ScreenBase(-line.offset);
                for (std::size_t c = 0; c < count; ++c) {
                    const uint32_t l = positions[c];
                    const double mz = inner_peaks[l].mz;
                    const MzCellTable::Near near = finder.NearPeaks(mz, base);
                    if (near.count == MzCellTable::kCrowded) {
                        look_up(line, l);
                        continue;
                    }
                    const double from = mz - line.offset;
                    const double low = from - reach;
                    const double high = from + reach;
                    for (std::size_t s = near.first; s < near.first + near.count; ++s) {
                        if (low <= walk[s] && walk[s] <= high) candidates.emplace_back(order[s], l);
                    }
                }
            };
            if (screened_count == 2) {
                const double add0 = -lines[screened[0]].offset;
                const double add1 = -lines[screened[1]].offset;
                const auto counts = finder.template Screen<2>(inner_peaks, {add0, add1}, {near[0], near[1]});
                look_up_near(screened[0], near[0], counts[0]);
                look_up_near(screened[1], near[1], counts[1]);
            } else if (screened_count == 1) {
                const double add = -lines[screened[0]].offset;
                const auto counts = finder.template Screen<1>(inner_peaks, {add}, {near[0]});
                look_up_near(screened[0], near[0], counts[0]);
            }
        }
        for (int r = 0; r < rest_count; ++r) {
            for (std::size_t l = 0; l < inner_count; ++l) look_up(lines[rest[r]], l);
        }
        // The candidates by outer position, ascending: each position's are chained, and a
        // bit marks each position that has some. No sort: a position takes the first free
        // inner peak in list order that passes, whatever order its candidates come in.
        std::vector<uint64_t>& with = scratch.outer_with_candidates;
        const std::size_t words = (outer_count + 63) / 64;
        if (with.size() < words) with.resize(words, 0);
        scratch.last_candidate.resize(std::max(scratch.last_candidate.size(), outer_count));
        scratch.earlier_candidate.resize(std::max(scratch.earlier_candidate.size(), candidates.size()));
        uint32_t* const last = scratch.last_candidate.data();
        uint32_t* const earlier = scratch.earlier_candidate.data();
        constexpr uint32_t kNone = UINT32_MAX;
        for (std::size_t c = 0; c < candidates.size(); ++c) {
            const uint32_t k = candidates[c].first;
            uint64_t& word = with[k / 64];
            const uint64_t bit = uint64_t{1} << (k % 64);
            earlier[c] = (word & bit) != 0 ? last[k] : kNone;
            last[k] = static_cast<uint32_t>(c);
            word |= bit;
        }
        for (std::size_t w = 0; w < words && !candidates.empty(); ++w) {
            for (uint64_t bits = with[w]; bits != 0; bits &= bits - 1) {
                const auto k = static_cast<uint32_t>(w * 64 + static_cast<std::size_t>(__builtin_ctzll(bits)));
                const Peak& p = outer_peaks[k];
                std::size_t best = inner_count;
                for (uint32_t c = last[k]; c != kNone; c = earlier[c]) {
                    const uint32_t l = candidates[c].second;
                    if (l < best && scratch.inner_taken[l] == 0 && test(p, inner_peaks[l])) best = l;
                }
                if (best == inner_count) continue;
                scratch.inner_taken[best] = 1;
                if constexpr (kMarksOuter) scratch.outer_taken[k] = 1;
                products += p.intensity * inner_peaks[best].intensity;
            }
            with[w] = 0;
        }
        return true;
    }
}

// MatchIndexed with the lookups going to whichever list has an index, the first list's
// when both have one (the engines keep the first list for many pairs, so its index stays
// at hand), through its cell table when one is given.
template <typename Test>
bool Match(const IndexedPeakList& outer, const IndexedPeakList& inner, bool outer_is_first,
           const MzCellTable* first_table, const Test& test, GreedyScratch& scratch, double& products) {
    const IndexedPeakList& first = outer_is_first ? outer : inner;
    const IndexedPeakList& second = outer_is_first ? inner : outer;
    if (first_table != nullptr && first_table->list() == &first && first.indexed()) {
        const MzCellTable& table = *first_table;
        if (outer_is_first) return MatchIndexed<Lookup::kIntoOuter>(outer, inner, table, test, scratch, products);
        return MatchIndexed<Lookup::kIntoInner>(outer, inner, table, test, scratch, products);
    }
    const IndexedPeakList* indexed = first.indexed() ? &first : (second.indexed() ? &second : nullptr);
    if (indexed == nullptr) return false;
    if (indexed == &outer) return MatchIndexed<Lookup::kIntoOuter>(outer, inner, outer, test, scratch, products);
    return MatchIndexed<Lookup::kIntoInner>(outer, inner, inner, test, scratch, products);
}

// The greedy matching of MatchGreedily with `first` as the outer list, decided over peak
// pairs found beforehand: they come by outer position already, so each position's run of
// pairs gives its first free inner peak in list order that passes.
template <typename Test>
double MatchFound(const IndexedPeakList& first, const IndexedPeakList& second, const FoundPeakPairs& found,
                  const Test& test, GreedyScratch& scratch) {
    constexpr bool kMarksOuter = std::is_same_v<Test, greedy::BonanzaTest>;
    const PeakList& outer_peaks = first.peaks();
    const PeakList& inner_peaks = second.peaks();
    if constexpr (kMarksOuter) scratch.outer_taken.assign(outer_peaks.size(), 0);
    scratch.inner_taken.assign(inner_peaks.size(), 0);
    double products = 0.0;
    const std::span<const FoundPeakPair> pairs = found.pairs;
    for (std::size_t c = 0; c < pairs.size();) {
        const uint32_t k = pairs[c].first;
        const Peak& p = outer_peaks[k];
        const FoundPeakPair* best = nullptr;
        for (; c < pairs.size() && pairs[c].first == k; ++c) {
            const FoundPeakPair& pair = pairs[c];
            if ((best == nullptr || pair.second < best->second) && scratch.inner_taken[pair.second] == 0 &&
                test(p, pair.second_peak)) {
                best = &pair;
            }
        }
        if (best == nullptr) continue;
        scratch.inner_taken[best->second] = 1;
        if constexpr (kMarksOuter) scratch.outer_taken[k] = 1;
        products += p.intensity * best->second_peak.intensity;
    }
    return products;
}

}  // namespace

std::optional<double> FoundGreedyScore(const CSimilarity& similarity, const IndexedPeakList& first,
                                       const IndexedPeakList& second, double shift, const FoundPeakPairs& found,
                                       GreedyScratch& scratch) {
    const double t = similarity.fragment_ion_tol;
    // Both lines of the test, the direct one and the one at the shift, are those found.
    if (!(shift == found.shift) || !(t <= found.tolerance)) return std::nullopt;
    // A scoring operation replaced in score_table is called as it is, by the caller.
    const auto replaced = [&](Similar_Method method, CSimilarity::ScoreOperation own) {
        return similarity.score_table[static_cast<std::size_t>(method)] != own;
    };
    switch (similarity.similar_method) {
        case SIMILAR_DOT_PRODUCT_MOD: {
            if (replaced(SIMILAR_DOT_PRODUCT_MOD, &CSimilarity::DotProductMod) ||
                similarity.fragment_ion_tol_type != TOLERANCE_DA) {
                return std::nullopt;
            }
            const double products =
                MatchFound(first, second, found, greedy::ShiftedTest{t, TOLERANCE_DA, shift}, scratch);
            return greedy::Cosine(products, first.squares(), second.squares());
        }
        case SIMILAR_BONANZA: {
            if (replaced(SIMILAR_BONANZA, &CSimilarity::Bonanza)) return std::nullopt;
            const double products = MatchFound(first, second, found, greedy::BonanzaTest{t, shift}, scratch);
            return greedy::BonanzaScore(products, greedy::SumOfTakenSquares(first.peaks(), scratch.outer_taken),
                                        greedy::SumOfTakenSquares(second.peaks(), scratch.inner_taken));
        }
        default:
            return std::nullopt;
    }
}

std::optional<double> FoundPairsTolerance(const CSimilarity& similarity) {
    const double t = similarity.fragment_ion_tol;
    const bool finds_few = t > 0.0 && t <= kWidestFoundTolerance;
    switch (similarity.similar_method) {
        case SIMILAR_DOT_PRODUCT_MOD:
            if (similarity.fragment_ion_tol_type != TOLERANCE_DA || !finds_few) return std::nullopt;
            return t;
        case SIMILAR_BONANZA:
            if (!finds_few) return std::nullopt;
            return t;
        case SIMILAR_COMPREHENSIVE:
            return 0.5;
        default:
            return std::nullopt;
    }
}

bool PassesOverSecondList(Similar_Method method) {
    return method == SIMILAR_DOT_PRODUCT_MOD || method == SIMILAR_DOT_PRODUCT_HALF || method == SIMILAR_DOT_PRODUCT_X ||
           method == SIMILAR_BONANZA;
}

double IndexedGreedyScore(const CSimilarity& similarity, const IndexedPeakList& first, const IndexedPeakList& second,
                          double shift, GreedyScratch& scratch, const MzCellTable* first_table) {
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
            if (!Match(second, first, false, first_table, greedy::DirectTest{t, unit}, scratch, products)) break;
            return greedy::Cosine(products, first.squares(), second.squares());
        case SIMILAR_DOT_PRODUCT_MOD:
            if (operation != &CSimilarity::DotProductMod) break;
            if (!Match(first, second, true, first_table, greedy::ShiftedTest{t, unit, shift}, scratch, products)) break;
            return greedy::Cosine(products, first.squares(), second.squares());
        case SIMILAR_DOT_PRODUCT_HALF:
            if (operation != &CSimilarity::DotProductHalf) break;
            if (!Match(first, second, true, first_table, greedy::ShiftedTest{t, unit, shift * 0.5}, scratch,
                       products)) {
                break;
            }
            return greedy::Cosine(products, first.squares(), second.squares());
        case SIMILAR_DOT_PRODUCT_X:
            if (operation != &CSimilarity::DotProductX) break;
            if (!Match(first, second, true, first_table, greedy::DoubledTest{t, unit, shift}, scratch, products)) break;
            return greedy::Cosine(products, first.squares(), second.squares());
        case SIMILAR_BONANZA:
            if (operation != &CSimilarity::Bonanza) break;
            if (!Match(first, second, true, first_table, greedy::BonanzaTest{t, shift}, scratch, products)) break;
            return greedy::BonanzaScore(products, greedy::SumOfTakenSquares(first.peaks(), scratch.outer_taken),
                                        greedy::SumOfTakenSquares(second.peaks(), scratch.inner_taken));
        default:
            break;
    }
    return (similarity.*operation)(first.peaks(), second.peaks(), shift);
}

}  // namespace speclink
