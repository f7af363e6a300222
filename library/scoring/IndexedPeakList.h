#pragma once

#include <cstdint>
#include <vector>

#include "peaks/PeakList.h"

namespace speclink {

/// A peak list in the order in which it is scored (for the greedy scores: descending
/// intensity, as ComputeScore sorts it), with the positions of its peaks in ascending m/z,
/// so that the peaks near an m/z are found without walking the whole list. Also keeps the
/// list's sum of squared intensities, which every dot product of the list divides by.
class IndexedPeakList {
public:
    IndexedPeakList() = default;
    /// Indexes `peaks`, kept in the order given.
    explicit IndexedPeakList(PeakList peaks);

    /// The peaks, in the order given.
    const PeakList& peaks() const { return peaks_; }
    /// Positions in peaks(), by ascending m/z.
    const std::vector<uint32_t>& by_mz() const { return by_mz_; }
    /// The m/z of the peaks at by_mz(), ascending.
    const std::vector<double>& sorted_mz() const { return sorted_mz_; }
    /// Sum of intensity * intensity over peaks(), summed in list order.
    double squares() const { return squares_; }
    /// False when an m/z is NaN and so has no place in m/z order (or the list is too long
    /// for the index); such a list is scored by walking it.
    bool ordered() const { return ordered_; }

    /// Makes `moved` this list with `offset` added to every m/z: the order, the intensities
    /// and the index stay, as adding one number keeps every m/z order. Reuses the storage.
    void MoveInto(double offset, IndexedPeakList& moved) const;

private:
    PeakList peaks_;
    std::vector<uint32_t> by_mz_;
    std::vector<double> sorted_mz_;
    double squares_ = 0.0;
    bool ordered_ = true;
};

}  // namespace speclink
