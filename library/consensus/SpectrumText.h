#pragma once

#include <cstdint>
#include <string>

#include "speclink/library/data/Spectrum.h"
#include "speclink/library/peaks/PeakList.h"

namespace speclink {

/// The text of a single spectrum's file: "%lf %d" with precursor mass and charge, then
/// "%lf %lf" with m/z and intensity for every peak, in list order.
std::string SpectrumFileText(const CSpectrum& spectrum);

/// The header line of a consensus spectrum: "%f %d" with precursor mass and charge.
std::string ConsensusHeader(double precursor_mass, int32_t charge);

/// The text of a consensus spectrum: `header`, then the consensus peaks of the pooled,
/// m/z-ascending peaks `merged` (merged, then the ten most intense of every 100 m/z
/// window kept) as "%f %f" lines in ascending m/z.
std::string ConsensusSpectrumText(const PeakList& merged, const std::string& header);

}  // namespace speclink
