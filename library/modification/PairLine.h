#pragma once

#include <string>

#include "speclink/library/data/Spectrum.h"
#include "speclink/library/common/FormattedText.h"

namespace speclink {

/// Appends the six fields that begin every pair-list line, "%s,%lf,%s,%lf,%lf,%lf": the
/// two spectra's file names and precursor masses, the mass difference d and the score.
inline void AppendPairFields(std::string& text, const FixedPointWriter& fixed, const CSpectrum& first,
                             const CSpectrum& second, double d, double score) {
    AppendCString(text, first.file_name);
    text += ',';
    fixed.Append(text, first.precursor_mass, 6);
    text += ',';
    AppendCString(text, second.file_name);
    text += ',';
    fixed.Append(text, second.precursor_mass, 6);
    text += ',';
    fixed.Append(text, d, 6);
    text += ',';
    fixed.Append(text, score, 6);
}

}  // namespace speclink
