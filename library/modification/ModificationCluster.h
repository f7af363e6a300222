#pragma once

#include <cstdint>
#include <vector>

#include "params/Cluster.h"
#include "peaks/PeakList.h"

namespace speclink {

/// Cluster_Type 1: scores pairs of spectra whose precursor masses differ by a plausible
/// modification mass, lists the pairs above `threshold` and counts their mass differences.
class CModificationCluster : public CCluster {
public:
    CModificationCluster(CSpectraProcess* process, double precursor_tol, Tolerance_Type precursor_tol_type,
                         double threshold_value, int32_t type)
        : CCluster(process, nullptr, precursor_tol, precursor_tol_type, threshold_value, type) {}

    void Run(const std::vector<CSpectrum>& spectra, CSimilarity* similarity,
             CPeakSelect* peak_select) override;

    /// Doubly charged pairs only: each pair is scored at its best whole-number shift.
    virtual void RunShiftSearch(const std::vector<CSpectrum>& spectra, CSimilarity* similarity,
                                CPeakSelect* peak_select);

    /// The whole-number shift near |d| at which the lighter spectrum's prepared peaks,
    /// moved by it, agree best with the heavier one's; 0 when nothing agrees.
    int32_t FindBestShift(const CSpectrum& a, const CSpectrum& b, const PeakList& a_peaks,
                          const PeakList& b_peaks, double d) const;
};

}  // namespace speclink
