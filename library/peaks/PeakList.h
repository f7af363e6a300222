#pragma once

#include <algorithm>
#include <vector>

namespace speclink {

/// One fragment peak.
struct Peak {
    double mz = 0.0;         ///< m/z (Th)
    double intensity = 0.0;  ///< arbitrary units

    friend bool operator==(const Peak&, const Peak&) = default;
};

/// A spectrum's fragment peaks, changed in place by peak selection and scoring.
using PeakList = std::vector<Peak>;

/// Ordering predicate: m/z strictly less.
inline bool ByMzAscending(const Peak& a, const Peak& b) { return a.mz < b.mz; }

/// Ordering predicate: intensity strictly greater.
inline bool ByIntensityDescending(const Peak& a, const Peak& b) { return a.intensity > b.intensity; }

/// The ordinary unstable sorts by the two predicates. The predicates go in as function
/// objects, which the sort inlines; its comparisons, and so its result, are the same.
inline void SortByMzAscending(PeakList& peaks) {
    std::sort(peaks.begin(), peaks.end(), [](const Peak& a, const Peak& b) { return ByMzAscending(a, b); });
}
inline void SortByIntensityDescending(PeakList& peaks) {
    std::sort(peaks.begin(), peaks.end(), [](const Peak& a, const Peak& b) { return ByIntensityDescending(a, b); });
}

}  // namespace speclink
