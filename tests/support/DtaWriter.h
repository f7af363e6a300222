#pragma once

#include <string>
#include <vector>

#include "speclink/library/data/Spectrum.h"

namespace speclink {

/// Writes one spectrum as a DTA file in the layout the library's own spectrum files use:
/// "%lf %d\n" with precursor_mass ([M+H]+, Da) and charge, then "%lf %lf\n" per peak in stored
/// order (six decimals). Throws std::system_error when the file cannot be written.
void WriteDta(const CSpectrum& spectrum, const std::string& path);

/// Writes each spectrum into `directory` (which must exist) under its own file_name;
/// std::invalid_argument for an empty file_name or one with a directory part.
void WriteDtaDirectory(const std::vector<CSpectrum>& spectra, const std::string& directory);

}  // namespace speclink
