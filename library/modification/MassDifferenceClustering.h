#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace speclink {

/// Reads the mass differences (fifth field) of a pair list, groups neighbours closer than
/// `tolerance` (Da) and writes one line per group, largest first, to "temp.temp" in the
/// current directory.
void ClusterMassDifferences(std::string pair_list_path, double tolerance);

/// Agglomerative merging of neighbouring values of `sorted_differences`: the smallest gap
/// below `tolerance` merges first. `labels` receives, per position, the position of the
/// first member of its group.
void MergeMassDifferences(const std::vector<double>& sorted_differences, std::vector<int32_t>& labels,
                          double tolerance);

/// Position of the first smallest gap below 1001.0; 0 when there is none.
size_t IndexOfSmallestGap(const std::vector<double>& gaps);

}  // namespace speclink
