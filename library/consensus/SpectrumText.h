#pragma once

#include <cstdint>
#include <string>

#include "speclink/library/common/FormattedText.h"
#include "speclink/library/data/Spectrum.h"
#include "speclink/library/peaks/PeakList.h"

namespace speclink {

/// The text of a single spectrum's file: "%lf %d" with precursor mass and charge, then
/// "%lf %lf" with m/z and intensity for every peak, in list order.
std::string SpectrumFileText(const CSpectrum& spectrum);

/// The header line of a consensus spectrum: "%f %d" with precursor mass and charge.
std::string ConsensusHeader(double precursor_mass, int32_t charge);

/// Appends one "%f %f" line (m/z, intensity) per peak, in list order.
void AppendPeakLines(std::string& text, const FixedPointWriter& writer, const PeakList& peaks);

}  // namespace speclink
