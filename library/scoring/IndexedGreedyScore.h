#pragma once

#include <cstdint>
#include <vector>

#include "scoring/IndexedPeakList.h"

namespace speclink {

class CSimilarity;

/// Working storage of IndexedGreedyScore, reused from call to call; one per thread.
class GreedyScratch {
public:
    std::vector<char> outer_taken;
    std::vector<char> inner_taken;
    /// Per outer peak and line of its match test: the range of sorted_mz() positions of the
    /// inner list that may match.
    std::vector<uint32_t> ranges;
};

/// What `similarity.ComputeScore` returns for two lists that its sort leaves in the order
/// of `first.peaks()` and `second.peaks()`, bit for bit, without sorting them.
///
/// For the greedy scores (methods 1, 2, 3, 4 and 6) each outer peak looks up its possible
/// partners by m/z in the inner list's index instead of testing every inner peak; of the
/// partners that pass the method's own match test it takes the first free one in list
/// order, as the plain scan does, and the products are summed in the same order. Lists the
/// lookup cannot bound (NaN or huge m/z or tolerance, a ppm reference of 0 or below) are
/// scanned like ComputeScore does. Methods 0 and 5 are scored on the lists as they are;
/// any other method scores 0.0. A scoring operation replaced in `score_table` is called as
/// it is.
double IndexedGreedyScore(const CSimilarity& similarity, const IndexedPeakList& first,
                          const IndexedPeakList& second, double shift, GreedyScratch& scratch);

}  // namespace speclink
