#include "cluster/HierarchicalCluster.h"

namespace speclink {

void CHierarchicalCluster::Run(const std::vector<CSpectrum>&, CSimilarity*, CPeakSelect*) {}

void CHierarchicalCluster::ClusterGroup(const std::vector<CSpectrum>&, ClusterLinkList&, CSimilarity*,
                                        RepresentativeList&, CPeakSelect*) const {}

void CHierarchicalCluster::CopySpectrumFile(std::string) const {}

}  // namespace speclink
