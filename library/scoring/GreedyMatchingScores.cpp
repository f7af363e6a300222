// The five scores that pair peaks one to one, greedily, in order of falling intensity.
// Both lists arrive sorted by descending intensity. The match tests and the score formulas
// live in GreedyMatchRules.h, shared with the indexed search of IndexedGreedyScore.cpp.
#include <cstddef>
#include <vector>

#include "speclink/library/scoring/GreedyMatchRules.h"
#include "speclink/library/scoring/Similarity.h"

namespace speclink {
namespace {

/// Outcome of one greedy matching: which peaks of each list were taken, and the sum of
/// the intensity products of the pairs in the order they were formed.
struct GreedyMatch {
    std::vector<char> outer_taken;
    std::vector<char> inner_taken;
    double products = 0.0;
};

/// Each outer peak, most intense first, takes the first free inner peak that passes
/// `matches(outer_peak, inner_peak)`, even when a later one lies closer.
template <typename MatchTest>
GreedyMatch MatchGreedily(const PeakList& outer, const PeakList& inner, const MatchTest& matches) {
    GreedyMatch match{std::vector<char>(outer.size(), 0), std::vector<char>(inner.size(), 0), 0.0};
    for (std::size_t k = 0; k < outer.size(); ++k) {
        for (std::size_t l = 0; l < inner.size(); ++l) {
            if (match.inner_taken[l] != 0 || !matches(outer[k], inner[l])) continue;
            match.inner_taken[l] = 1;
            match.outer_taken[k] = 1;
            match.products += outer[k].intensity * inner[l].intensity;
            break;
        }
    }
    return match;
}

double Cosine(double products, const PeakList& first, const PeakList& second) {
    return greedy::Cosine(products, greedy::SumOfSquares(first), greedy::SumOfSquares(second));
}

}  // namespace

double CSimilarity::DotProduct(const PeakList& first, const PeakList& second, double /*shift*/) const {
    // The second list is the outer one; the ppm reference is the first list's m/z.
    const GreedyMatch match = MatchGreedily(second, first, greedy::DirectTest{fragment_ion_tol, fragment_ion_tol_type});
    return Cosine(match.products, first, second);
}

double CSimilarity::DotProductMod(const PeakList& first, const PeakList& second, double shift) const {
    const GreedyMatch match =
        MatchGreedily(first, second, greedy::ShiftedTest{fragment_ion_tol, fragment_ion_tol_type, shift});
    return Cosine(match.products, first, second);
}

double CSimilarity::DotProductHalf(const PeakList& first, const PeakList& second, double shift) const {
    // Half the shift, so the shifted test is tried only for shifts above 1.0.
    return DotProductMod(first, second, shift * 0.5);
}

double CSimilarity::DotProductX(const PeakList& first, const PeakList& second, double shift) const {
    const GreedyMatch match =
        MatchGreedily(first, second, greedy::DoubledTest{fragment_ion_tol, fragment_ion_tol_type, shift});
    return Cosine(match.products, first, second);
}

double CSimilarity::Bonanza(const PeakList& first, const PeakList& second, double shift) const {
    const GreedyMatch match = MatchGreedily(first, second, greedy::BonanzaTest{fragment_ion_tol, shift});
    return greedy::BonanzaScore(match.products, greedy::SumOfTakenSquares(first, match.outer_taken),
                                greedy::SumOfTakenSquares(second, match.inner_taken));
}

}  // namespace speclink
