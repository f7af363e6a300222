#include "consensus/RepresentativeSpectra.h"

namespace speclink {

void CRepresentativeSpectra::GenerateRepresentativeSpectra(const std::vector<CSpectrum>&, const ClusterLinkList&,
                                                           const RepresentativeList&, CSpectraProcess) {}

bool CRepresentativeSpectra::WriteClusterResult(const std::vector<CSpectrum>&, const ClusterLinkList&) const {
    return false;
}

void CRepresentativeSpectra::GenerateConsensusSpectra(const std::vector<CSpectrum>&, const ClusterLinkList&) const {}

bool CRepresentativeSpectra::WriteConsensusSpectrum(std::string, PeakList, std::string) const { return false; }

PeakList CRepresentativeSpectra::MergeConsensusPeaks(const PeakList&) { return {}; }

std::string CRepresentativeSpectra::ExtractScanLabel(std::string) { return {}; }

void CRepresentativeSpectra::CopySpectrumFile(std::string) const {}

void CRepresentativeSpectra::WriteSpectrumFile(const CSpectrum&, std::string) {}

}  // namespace speclink
