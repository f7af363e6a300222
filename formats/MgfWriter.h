#pragma once

#include <string>

#include "speclink/library/data/Spectrum.h"
#include "speclink/formats/OutputFile.h"

namespace speclink {

/// Writes spectra as MGF, one BEGIN IONS ... END IONS block each:
///   TITLE=<title>               when the record has one
///   PEPMASS=<m/z>[ <intensity>] the precursor m/z (PrecursorMzForWriting); the intensity when
///                               not 0
///   CHARGE=<z>+                 when the charge is not 0
///   RTINSECONDS=<seconds>       when not 0
///   SCANS=<scan>                when not 0
///   SEQ=<peptide>               when the record has one
///   <m/z> <intensity>           one line per peak, in stored order
/// Numbers are written in the shortest form that reads back as the same double, so MgfReader
/// gives back the same values. Titles and peptides must not contain line breaks
/// (std::invalid_argument).
/// The MGF entry MgfWriter writes for `spectrum`.
std::string MgfEntry(const CSpectrum& spectrum);

class MgfWriter {
public:
    explicit MgfWriter(std::string path) : file_(std::move(path)) {}

    void Write(const CSpectrum& spectrum);
    /// Flushes and closes the file; throws std::system_error when it could not be written.
    void Close() { file_.Close(); }

private:
    OutputFile file_;
};

}  // namespace speclink
