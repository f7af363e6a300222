#pragma once

#include <string>

#include "speclink/library/data/Spectrum.h"
#include "speclink/formats/OutputFile.h"

namespace speclink {

/// Writes spectra in the MS2 text format, tab-separated:
///   H  Extractor  speclink      once, at the top
///   S  <scan>  <scan>  <m/z>    the precursor m/z (PrecursorMzForWriting)
///   I  RTime  <minutes>         when the retention time is not 0
///   Z  <charge>  <[M+H]+>       the record's precursor_mass as it stands; when the charge is not 0
///   <m/z> <intensity>           one line per peak, in stored order
/// Numbers are written in the shortest form that reads back as the same double. The minutes
/// are chosen so that Ms2Reader's conversion back to seconds gives the same value where such
/// a value exists.
class Ms2Writer {
public:
    explicit Ms2Writer(std::string path);

    void Write(const CSpectrum& spectrum);
    void Close() { file_.Close(); }

private:
    OutputFile file_;
};

}  // namespace speclink
