#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "speclink/library/data/Spectrum.h"
#include "speclink/library/peaks/PeakList.h"
#include "speclink/library/scoring/IndexedPeakList.h"

namespace speclink {

class CPeakSelect;

/// One spectrum's peaks prepared for scoring, as both engines prepare them: peak selection,
/// then SqrtNormalize. The
/// fields read for every pair come first, within the first two cache lines of a record.
struct alignas(64) PreparedPeaks {
    /// Sorting `ranked` once more leaves every peak where it is. The sort is an unstable
    /// std::sort whose moves depend only on the outcomes of its comparisons, so every
    /// later sort of a working copy gives `ranked` again, however often the copy has been
    /// sorted before. Without equal intensities this always holds; with them the sort may
    /// reorder the equal peaks anew each time, and working copies are then sorted call by
    /// call like the plain engine does.
    bool settled = false;
    /// The prepared list after the scorer's sort by descending intensity, indexed by m/z.
    IndexedPeakList ranked;
    /// The prepared list as the selector leaves it, in ascending m/z: what a working copy
    /// holds before the scorer first sorts it.
    PeakList by_mz;
};

/// The prepared peaks of the spectra of a list that take part in a comparison. Since the
/// preparation depends on the spectrum alone, one prepared list serves every pair.
class PreparedPeakLists {
public:
    /// Prepares spectrum k when `needed` is empty or needed[k] is not 0, sharing the spectra
    /// among up to `threads` threads. Without a peak selector the peaks are not reduced.
    PreparedPeakLists(std::span<const CSpectrum> spectra, const CPeakSelect* peak_select,
                      std::span<const char> needed, int threads);

    const PreparedPeaks& operator[](std::size_t index) const { return prepared_[index]; }

    /// Asks the processor to fetch the record of spectrum `index` (not the lists it points
    /// at) into its caches ahead of use.
    void PrefetchRecord(std::size_t index) const {
        const auto* record = reinterpret_cast<const char*>(&prepared_[index]);
        __builtin_prefetch(record);
        __builtin_prefetch(record + 64);
    }

private:
    std::vector<PreparedPeaks> prepared_;
};

}  // namespace speclink
