#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "speclink/library/modification/ModificationCluster.h"

namespace speclink {

/// A mass offset that recurs among the pairs of a modification search: a peak of the
/// distribution of the pairs' mass differences.
struct MassOffset {
    double apex = 0.0;   ///< Da, where the smoothed distribution is highest
    double lower = 0.0;  ///< Da, bounds of the peak: the pairs from here ...
    double upper = 0.0;  ///< ... to here belong to it
    std::size_t pairs = 0;
    std::size_t spectra = 0;   ///< distinct spectra among the pairs
    double median_score = 0.0;
};

/// How the distribution of mass differences is smoothed and cut into peaks.
struct OffsetPicking {
    /// Half width (Da) of the triangular kernel that smooths the distribution; about the
    /// spread of one offset's mass differences.
    double width = 0.01;
    /// Fewest pairs of a peak worth listing.
    std::size_t min_pairs = 2;
};

/// The mass-offset profile of a search's listed pairs: their mass differences, as absolute
/// values (the mass one spectrum carries more than the other), smoothed by a triangular
/// kernel; every local maximum is a peak, bounded by the lowest points of the smoothed
/// distribution between it and its neighbours (or where it falls to nothing). Each pair
/// belongs to the peak whose bounds hold its mass difference. Peaks of fewer than
/// `min_pairs` pairs are left out; the rest come sorted by pairs, most first (equal counts
/// by apex). The same pairs in any order give the same profile.
std::vector<MassOffset> PickMassOffsets(const std::vector<ListedPair>& pairs, const OffsetPicking& picking = {});

}  // namespace speclink
