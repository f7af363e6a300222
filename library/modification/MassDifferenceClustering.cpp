#include "modification/MassDifferenceClustering.h"

namespace speclink {

void ClusterMassDifferences(std::string, double) {}

void MergeMassDifferences(const std::vector<double>&, std::vector<int32_t>&, double) {}

size_t IndexOfSmallestGap(const std::vector<double>&) { return 0; }

}  // namespace speclink
