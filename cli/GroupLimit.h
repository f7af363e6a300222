#pragma once

#include <cstddef>
#include <vector>

#include "speclink/library/data/Spectrum.h"
#include "speclink/library/params/Settings.h"

namespace speclink::cli {

/// Refuses a clustering, before any work on it, whose largest precursor group in `spectra`
/// (in sweep order, the first of them at `first_position` of the whole run) holds more than
/// `limit` spectra: throws LimitError with the group's size, charge, mass, first spectrum and
/// positions, and what clustering it would take.
void RequireGroupsWithin(const std::vector<CSpectrum>& spectra, const Settings& settings, std::size_t limit,
                         std::size_t first_position);

}  // namespace speclink::cli
