#include "speclink/library/scoring/BestWholeShift.h"

#include <cmath>

#include "speclink/library/scoring/Similarity.h"

namespace speclink {

namespace {

// Whole-number shifts tried on either side of the rounded mass difference.
constexpr int32_t kShiftSpread = 5;

}  // namespace

int32_t BestWholeShift(double mass_a, double mass_b, const IndexedPeakList& a, const IndexedPeakList& b, double d,
                       GreedyScratch& scratch, IndexedPeakList& moved, const MzCellTable* a_table) {
    const auto rounded = static_cast<int32_t>(std::fabs(d) + 0.5);
    const CSimilarity dot_product(SIMILAR_DOT_PRODUCT, 0.5, TOLERANCE_DA);
    // The lighter spectrum's peaks move up onto the heavier one's.
    const bool a_moves = mass_a < mass_b;

    double best = 0.0;
    int32_t best_shift = 0;
    for (int32_t k = rounded - kShiftSpread; k <= rounded + kShiftSpread; ++k) {
        (a_moves ? a : b).MoveInto(k, moved);
        const double s =
            IndexedGreedyScore(dot_product, a_moves ? moved : a, a_moves ? b : moved, 0.0, scratch, a_table);
        if (s > best) {
            best = s;
            best_shift = k;
        }
    }
    return best_shift;
}

}  // namespace speclink
