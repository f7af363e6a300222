#pragma once

#include <array>

#include "speclink/library/params/Enums.h"
#include "speclink/library/peaks/PeakList.h"

namespace speclink {

/// Scores two fragment peak lists by one of the Similar_Method methods. The first three
/// fields are public and are rewritten by the engines between calls.
class CSimilarity {
public:
    /// A scoring operation: (first list, second list, shift) -> score.
    using ScoreOperation = double (CSimilarity::*)(const PeakList&, const PeakList&, double) const;

    CSimilarity(Similar_Method method, double tolerance, Tolerance_Type tolerance_type);

    /// Sorts both lists by descending intensity for methods 1, 2, 3, 4 and 6 (the caller's
    /// lists stay sorted), then scores them by `similar_method`. `shift` is the precursor
    /// mass difference, first minus second. Methods 0 and 5 expect both lists in ascending
    /// m/z. A method outside 0 to 6 (7, "Comprehensive", included) has no scoring operation
    /// of its own: the lists are left untouched and the score is 0.0.
    double ComputeScore(PeakList& first, PeakList& second, double shift) const;

    // Ordered walks over lists in ascending m/z.
    double IntensityScore(const PeakList& first, const PeakList& second, double shift) const;
    /// Two empty lists score 0.0.
    double PeakCount(const PeakList& first, const PeakList& second, double shift) const;

    // Greedy one-to-one matching over lists in descending intensity.
    double DotProduct(const PeakList& first, const PeakList& second, double shift) const;
    double DotProductMod(const PeakList& first, const PeakList& second, double shift) const;
    double DotProductHalf(const PeakList& first, const PeakList& second, double shift) const;
    double DotProductX(const PeakList& first, const PeakList& second, double shift) const;
    double Bonanza(const PeakList& first, const PeakList& second, double shift) const;

    Similar_Method similar_method;
    double fragment_ion_tol;                ///< Da (m/z units) or ppm
    Tolerance_Type fragment_ion_tol_type;
    std::array<ScoreOperation, 7> score_table;  ///< indexed by method 0 to 6
};

/// Whether ComputeScore sorts the lists of `method` by descending intensity before scoring:
/// the greedy-matching methods 1, 2, 3, 4 and 6.
bool SortsByIntensity(Similar_Method method);

/// Sets `similarity` to `method` with a fragment tolerance of 0.5 Da: how the engines
/// score wherever they override the configured scorer.
void UseMethodAtHalfDalton(CSimilarity& similarity, Similar_Method method);

}  // namespace speclink
