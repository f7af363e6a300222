#include "speclink/library/scoring/Similarity.h"

#include <algorithm>

namespace speclink {

CSimilarity::CSimilarity(Similar_Method method, double tolerance, Tolerance_Type tolerance_type)
    : similar_method(method),
      fragment_ion_tol(tolerance),
      fragment_ion_tol_type(tolerance_type),
      score_table{&CSimilarity::IntensityScore, &CSimilarity::DotProduct,  &CSimilarity::DotProductMod,
                  &CSimilarity::DotProductHalf, &CSimilarity::DotProductX, &CSimilarity::PeakCount,
                  &CSimilarity::Bonanza} {}

bool SortsByIntensity(Similar_Method method) {
    // The greedy matchers take the most intense peaks first; the ordered walks (0 and 5)
    // use the lists as they come, in ascending m/z.
    return method == SIMILAR_DOT_PRODUCT || method == SIMILAR_DOT_PRODUCT_MOD || method == SIMILAR_DOT_PRODUCT_HALF ||
           method == SIMILAR_DOT_PRODUCT_X || method == SIMILAR_BONANZA;
}

void UseMethodAtHalfDalton(CSimilarity& similarity, Similar_Method method) {
    similarity.similar_method = method;
    similarity.fragment_ion_tol = 0.5;
    similarity.fragment_ion_tol_type = TOLERANCE_DA;
}

double CSimilarity::ComputeScore(PeakList& first, PeakList& second, double shift) const {
    // "Comprehensive" and unknown methods have no scoring operation of their own; the
    // modification search resolves "Comprehensive" before it scores a pair.
    if (similar_method < SIMILAR_INTENSITY_SCORE || similar_method > SIMILAR_BONANZA) return 0.0;
    if (SortsByIntensity(similar_method)) {
        SortByIntensityDescending(first);
        SortByIntensityDescending(second);
    }
    return (this->*score_table[static_cast<std::size_t>(similar_method)])(first, second, shift);
}

}  // namespace speclink
