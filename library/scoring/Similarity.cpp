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

double CSimilarity::ComputeScore(PeakList& first, PeakList& second, double shift) const {
    switch (similar_method) {
        case SIMILAR_DOT_PRODUCT:
        case SIMILAR_DOT_PRODUCT_MOD:
        case SIMILAR_DOT_PRODUCT_HALF:
        case SIMILAR_DOT_PRODUCT_X:
        case SIMILAR_BONANZA:
            // The greedy matchers take the most intense peaks first.
            std::sort(first.begin(), first.end(), ByIntensityDescending);
            std::sort(second.begin(), second.end(), ByIntensityDescending);
            break;
        case SIMILAR_INTENSITY_SCORE:
        case SIMILAR_PEAK_COUNT:
            // The ordered walks use the lists as they come, in ascending m/z.
            break;
        default:
            // "Comprehensive" and unknown methods have no scoring operation of their own;
            // the modification search resolves "Comprehensive" before it scores a pair.
            return 0.0;
    }
    return (this->*score_table[static_cast<std::size_t>(similar_method)])(first, second, shift);
}

}  // namespace speclink
