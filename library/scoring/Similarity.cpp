#include "scoring/Similarity.h"

namespace speclink {

CSimilarity::CSimilarity(Similar_Method method, double tolerance, Tolerance_Type tolerance_type)
    : similar_method(method),
      fragment_ion_tol(tolerance),
      fragment_ion_tol_type(tolerance_type),
      score_table{&CSimilarity::IntensityScore, &CSimilarity::DotProduct,  &CSimilarity::DotProductMod,
                  &CSimilarity::DotProductHalf, &CSimilarity::DotProductX, &CSimilarity::PeakCount,
                  &CSimilarity::Bonanza} {}

double CSimilarity::ComputeScore(PeakList&, PeakList&, double) const { return 0.0; }
double CSimilarity::IntensityScore(const PeakList&, const PeakList&, double) const { return 0.0; }
double CSimilarity::PeakCount(const PeakList&, const PeakList&, double) const { return 0.0; }
double CSimilarity::DotProduct(const PeakList&, const PeakList&, double) const { return 0.0; }
double CSimilarity::DotProductMod(const PeakList&, const PeakList&, double) const { return 0.0; }
double CSimilarity::DotProductHalf(const PeakList&, const PeakList&, double) const { return 0.0; }
double CSimilarity::DotProductX(const PeakList&, const PeakList&, double) const { return 0.0; }
double CSimilarity::Bonanza(const PeakList&, const PeakList&, double) const { return 0.0; }

}  // namespace speclink
