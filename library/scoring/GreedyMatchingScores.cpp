// The five scores that pair peaks one to one, greedily, in order of falling intensity.
// Both lists arrive sorted by descending intensity.
#include <cmath>
#include <cstddef>
#include <vector>

#include "scoring/Similarity.h"

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
GreedyMatch MatchGreedily(const PeakList& outer, const PeakList& inner, MatchTest matches) {
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

double SumOfSquares(const PeakList& peaks) {
    double sum = 0.0;
    for (const Peak& peak : peaks) sum += peak.intensity * peak.intensity;
    return sum;
}

double SumOfTakenSquares(const PeakList& peaks, const std::vector<char>& taken) {
    double sum = 0.0;
    for (std::size_t k = 0; k < peaks.size(); ++k) {
        if (taken[k] != 0) sum += peaks[k].intensity * peaks[k].intensity;
    }
    return sum;
}

/// Cosine of the two intensity vectors over the matched pairs; 0.0 when a norm is zero.
double Cosine(double products, const PeakList& first, const PeakList& second) {
    const double squares1 = SumOfSquares(first);
    const double squares2 = SumOfSquares(second);
    if (squares1 > 0.0 && squares2 > 0.0) return products / std::sqrt(squares1 * squares2);
    return 0.0;
}

/// Strict tolerance test of an m/z difference: in "Da" as it is, in "ppm" relative to
/// `reference`. Any unit other than "Da" counts as "ppm".
bool WithinTolerance(double difference, double reference, double tolerance, Tolerance_Type unit) {
    if (unit == TOLERANCE_DA) return std::fabs(difference) < tolerance;
    return std::fabs(difference) / reference * 1000000.0 < tolerance;
}

}  // namespace

double CSimilarity::DotProduct(const PeakList& first, const PeakList& second, double /*shift*/) const {
    // The second list is the outer one; the ppm reference is the first list's m/z.
    const GreedyMatch match = MatchGreedily(second, first, [this](const Peak& p, const Peak& q) {
        return WithinTolerance(p.mz - q.mz, q.mz, fragment_ion_tol, fragment_ion_tol_type);
    });
    return Cosine(match.products, first, second);
}

double CSimilarity::DotProductMod(const PeakList& first, const PeakList& second, double shift) const {
    // Direct test against b, shifted test against c = b + shift, each relative to its own
    // second-list m/z in "ppm". A shift of 0.5 or less (negative included) is not tried.
    const GreedyMatch match = MatchGreedily(first, second, [this, shift](const Peak& p, const Peak& q) {
        if (WithinTolerance(p.mz - q.mz, q.mz, fragment_ion_tol, fragment_ion_tol_type)) return true;
        if (!(shift > 0.5)) return false;
        const double c = q.mz + shift;
        return WithinTolerance(p.mz - c, c, fragment_ion_tol, fragment_ion_tol_type);
    });
    return Cosine(match.products, first, second);
}

double CSimilarity::DotProductHalf(const PeakList& first, const PeakList& second, double shift) const {
    // Half the shift, so the shifted test is tried only for shifts above 1.0.
    return DotProductMod(first, second, shift * 0.5);
}

double CSimilarity::DotProductX(const PeakList& first, const PeakList& second, double shift) const {
    // Besides the plain difference, the doubled first-list m/z is compared, so a singly
    // charged fragment can match its doubly charged counterpart.
    const GreedyMatch match = MatchGreedily(first, second, [this, shift](const Peak& p, const Peak& q) {
        const double a = p.mz;
        const double b = q.mz;
        if (WithinTolerance(a - b, b, fragment_ion_tol, fragment_ion_tol_type)) return true;
        if (WithinTolerance(2.0 * a - b, b, fragment_ion_tol, fragment_ion_tol_type)) return true;
        if (!(shift > 0.5)) return false;
        const double c = b + shift;
        if (WithinTolerance(a - c, c, fragment_ion_tol, fragment_ion_tol_type)) return true;
        return WithinTolerance(2.0 * a - c, c, fragment_ion_tol, fragment_ion_tol_type);
    });
    return Cosine(match.products, first, second);
}

double CSimilarity::Bonanza(const PeakList& first, const PeakList& second, double shift) const {
    // Always in m/z units: the unit is not read.
    const double t = fragment_ion_tol;
    const GreedyMatch match = MatchGreedily(first, second, [t, shift](const Peak& p, const Peak& q) {
        if (std::fabs(p.mz - q.mz) < t) return true;
        return shift > 0.5 && std::fabs(p.mz - (q.mz + shift)) < t;
    });
    const double matched1 = SumOfTakenSquares(first, match.outer_taken);
    const double matched2 = SumOfTakenSquares(second, match.inner_taken);
    const double denominator = matched2 + matched1 + match.products;
    if (denominator > 0.0) return match.products / denominator;
    return 0.0;
}

}  // namespace speclink
