// The shift search of CModificationCluster: doubly charged pairs scored at the
// whole-number shift near their mass difference at which their fragments agree best.

#include <cmath>
#include <cstdio>
#include <string>

#include "data/SpectraProcess.h"
#include "modification/ModificationCluster.h"
#include "modification/PreparedPeakLists.h"
#include "modification/StdioFile.h"
#include "scoring/Similarity.h"

namespace speclink {

namespace {

// The fixed mass window of the shift search (Da), bounds inside.
constexpr double kLowestShift = 6.0;
constexpr double kHighestShift = 200.0;

// Whole-number shifts tried on either side of the rounded mass difference.
constexpr int32_t kShiftSpread = 5;

}  // namespace

void CModificationCluster::RunShiftSearch(const std::vector<CSpectrum>& spectra, CSimilarity* similarity,
                                          CPeakSelect* peak_select) {
    const double score_threshold = threshold;
    const std::string path = spectra_process->GetClusterResult();
    const StdioFile pair_list = OpenStdioFile(path, "w");
    if (!pair_list) {
        std::printf("Cannot open file: %s!\n", path.c_str());
        return;
    }

    PreparedPeakLists prepared(spectra, *peak_select);
    PeakList first_peaks;
    PeakList second_peaks;
    for (std::size_t i = 0; i < spectra.size(); ++i) {
        const CSpectrum& first = spectra[i];
        bool first_ready = false;
        for (std::size_t j = i + 1; j < spectra.size(); ++j) {
            const CSpectrum& second = spectra[j];
            const double d = first.precursor_mass - second.precursor_mass;
            const double distance = std::fabs(d);
            if (!(kLowestShift <= distance && distance <= kHighestShift)) continue;
            if (first.charge != 2 || second.charge != 2) continue;

            // The first copy is prepared once per i and reused, reordered by the scorer.
            if (!first_ready) {
                prepared.CopyInto(i, first_peaks);
                first_ready = true;
            }
            prepared.CopyInto(j, second_peaks);
            const int32_t k = FindBestShift(first, second, first_peaks, second_peaks, d);
            // d + 0.5 truncates toward zero, so for negative d the rounding goes up.
            const int32_t remainder = static_cast<int32_t>(d + 0.5) - k;
            const double shift = d - remainder;

            similarity->similar_method = SIMILAR_DOT_PRODUCT_MOD;
            similarity->fragment_ion_tol = 0.5;
            similarity->fragment_ion_tol_type = TOLERANCE_DA;
            const double score = similarity->ComputeScore(first_peaks, second_peaks, shift);
            if (score > score_threshold) {
                std::fprintf(pair_list.get(), "%s,%lf,%s,%lf,%lf,%lf, %d\n", first.file_name.c_str(),
                             first.precursor_mass, second.file_name.c_str(), second.precursor_mass, d, score, k);
            }
        }
    }
}

int32_t CModificationCluster::FindBestShift(const CSpectrum& a, const CSpectrum& b, const PeakList& a_peaks,
                                            const PeakList& b_peaks, double d) const {
    const auto rounded = static_cast<int32_t>(std::fabs(d) + 0.5);
    const CSimilarity dot_product(SIMILAR_DOT_PRODUCT, 0.5, TOLERANCE_DA);
    // The lighter spectrum's peaks move up onto the heavier one's.
    const bool a_moves = a.precursor_mass < b.precursor_mass;

    double best = 0.0;
    int32_t best_shift = 0;
    PeakList a_copy;
    PeakList b_copy;
    for (int32_t k = rounded - kShiftSpread; k <= rounded + kShiftSpread; ++k) {
        a_copy.assign(a_peaks.begin(), a_peaks.end());
        b_copy.assign(b_peaks.begin(), b_peaks.end());
        for (Peak& peak : a_moves ? a_copy : b_copy) peak.mz += k;
        const double s = dot_product.ComputeScore(a_copy, b_copy, 0.0);
        if (s > best) {
            best = s;
            best_shift = k;
        }
    }
    return best_shift;
}

}  // namespace speclink
