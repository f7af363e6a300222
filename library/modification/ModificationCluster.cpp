#include "modification/ModificationCluster.h"

namespace speclink {

void CModificationCluster::Run(const std::vector<CSpectrum>&, CSimilarity*, CPeakSelect*) {}

void CModificationCluster::RunShiftSearch(const std::vector<CSpectrum>&, CSimilarity*, CPeakSelect*) {}

int32_t CModificationCluster::FindBestShift(const CSpectrum&, const CSpectrum&, const PeakList&, const PeakList&,
                                            double) const {
    return 0;
}

}  // namespace speclink
