#pragma once

#include <cstddef>
#include <vector>

#include "speclink/cli/Tolerance.h"
#include "speclink/library/data/Spectrum.h"

namespace speclink::cli {

/// A run of consecutive spectra that the clustering sweep puts into one precursor group.
struct PrecursorGroup {
    size_t first = 0;  ///< position of the group's first spectrum in the list
    size_t size = 0;   ///< number of spectra
};

/// The largest precursor group the clustering engine will form from `spectra` in this order,
/// by the engine's own sweep: a spectrum joins the open group when it has the charge of the
/// group's first spectrum and its mass lies strictly within `tolerance` of that first
/// spectrum's mass (in ppm, relative to the joining spectrum's mass); otherwise it opens the
/// next group. The first largest group when several are equal; size 0 for an empty list.
PrecursorGroup LargestPrecursorGroup(const std::vector<CSpectrum>& spectra, const Tolerance& tolerance);

/// Bytes the clustering engine's two score triangles take for a group of `size` spectra.
size_t ScoreMatrixBytes(size_t size);

/// Pairs the clustering engine scores in a group of `size` spectra of one charge.
size_t PairCount(size_t size);

}  // namespace speclink::cli
