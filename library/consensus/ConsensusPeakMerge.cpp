// Merging the pooled peaks of a cluster into consensus peaks.

#include "speclink/library/consensus/RepresentativeSpectra.h"

namespace speclink {

namespace {

// Pooled peaks closer than this to the reference peak above them merge, in m/z units.
constexpr double kMergeWindow = 0.4;

}  // namespace

// Each group is anchored at a reference peak: the peaks that follow it by less than the
// window join the group, the first one that does not becomes the next reference. A
// reference other than the very first peak is only an anchor and is not emitted itself.
// A group is emitted at its mean m/z with its summed intensity.
PeakList CRepresentativeSpectra::MergeConsensusPeaks(const PeakList& merged) {
    PeakList consensus;
    size_t reference = 0;
    double mz_sum = 0.0;
    double intensity_sum = 0.0;
    int32_t count = 0;
    for (size_t k = 0; k < merged.size(); ++k) {
        if (merged[k].mz - merged[reference].mz < kMergeWindow) {
            mz_sum += merged[k].mz;
            intensity_sum += merged[k].intensity;
            ++count;
            continue;
        }
        if (count > 0) consensus.push_back({mz_sum / count, intensity_sum});
        reference = k;
        mz_sum = 0.0;
        intensity_sum = 0.0;
        count = 0;
    }
    if (count > 0) consensus.push_back({mz_sum / count, intensity_sum});
    return consensus;
}

}  // namespace speclink
