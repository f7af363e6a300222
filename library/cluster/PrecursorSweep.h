#pragma once

#include <cstddef>
#include <vector>

#include "speclink/library/data/Spectrum.h"
#include "speclink/library/params/Enums.h"

namespace speclink {

/// A precursor group of the clustering sweep: `size` consecutive spectra from `start` on.
struct PrecursorGroup {
    std::size_t start = 0;
    std::size_t size = 0;
    /// Whether the group is clustered: every group of two or more, and the last group
    /// whatever its size. A single spectrum closed inside the sweep is copied instead.
    bool clustered = false;
};

/// Cuts `spectra`, in list order, into the precursor groups of the clustering sweep: a
/// spectrum joins the open group when it has the charge of the group's first spectrum and
/// its precursor mass lies strictly within `tolerance` of that first spectrum's (in ppm,
/// relative to the joining spectrum's mass; any unit but ppm counts as Da); otherwise it
/// opens the next group. A spectrum that finds no open group always opens one, so with a
/// tolerance <= 0 or NaN distances every spectrum is a group of its own. An empty list
/// gives one empty, clustered group.
std::vector<PrecursorGroup> SweepPrecursorGroups(const std::vector<CSpectrum>& spectra, double tolerance,
                                                 Tolerance_Type unit);

}  // namespace speclink
