#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace speclink {

/// Reads the mass differences of a pair list, groups neighbours closer than `tolerance` (Da)
/// and writes one line per group to "temp.temp" in the current directory:
/// "%lf,%d, 0, 0, 0, 0, 0\n" with the group's mean mass difference and its number of pairs,
/// largest groups first; groups of equal size stay in ascending order of mass difference.
///
/// The file is read in pieces of at most 259 characters (a longer line counts as several
/// lines). The mass difference is the fifth comma-separated field (the pair lists of `Run`
/// and `RunShiftSearch` alike); a line with fewer than four commas gives the text after its
/// last comma, or the whole line. The text converts like strtod: leading blanks skipped,
/// stopping at the first character that cannot continue the number, 0.0 without a number.
///
/// When the pair list cannot be read, "Can not read file:" and the path are printed on
/// standard output and "temp.temp" is left as it is. When "temp.temp" cannot be created,
/// nothing more is done.
void ClusterMassDifferences(std::string pair_list_path, double tolerance);

/// Agglomerative merging of neighbouring values of `sorted_differences` (ascending, Da):
/// while the smallest gap between neighbouring groups is below `tolerance` (strictly), the
/// two groups merge; the gap from a merged group to its left neighbour is then measured from
/// the group's last value, to its right neighbour from its first value. `labels` is replaced
/// by one label per value: the position of the first member of its group.
///
/// Gaps inside a group hold 1000.0, so with a tolerance above 1000.0 the smallest gap can lie
/// inside a group, where merging changes no label. The merging stops as soon as such a step
/// changes nothing at all, which includes the moment when all values form one group; without
/// that rule it would repeat the same step forever.
void MergeMassDifferences(const std::vector<double>& sorted_differences, std::vector<int32_t>& labels,
                          double tolerance);

}  // namespace speclink
