#pragma once

#include <cstdint>
#include <vector>

#include "speclink/formats/ByteInput.h"
#include "speclink/formats/RecordEmitter.h"

namespace speclink {

/// Where an MGF reader stands at a spectrum boundary: what the part of the file before has
/// told it.
struct MgfState {
    uint64_t lines = 0;                ///< lines before
    int spectra = 0;                   ///< spectra ("BEGIN IONS") before
    std::vector<int> default_charges;  ///< the header CHARGE in force
};

/// Reads Mascot Generic Format (MGF).
///
/// A file is an optional header of KEY=value lines, then spectra between "BEGIN IONS" and
/// "END IONS" lines. Inside a spectrum: KEY=value lines and peak lines "m/z intensity" (space-
/// or tab-separated; a third column, the fragment charge such as "2+", is accepted and
/// ignored). Keywords are matched in any case; blank lines and lines starting with '#', ';',
/// '!' or '/' are ignored; line ends may be "\n" or "\r\n".
///
/// Keys read: PEPMASS ("m/z" or "m/z intensity", required), CHARGE (e.g. "2+", "2", "2.0+",
/// "2+ and 3+"; a header CHARGE applies to spectra without one), TITLE, RTINSECONDS (seconds;
/// the first value of a range "a-b"), SCANS (the first number of "N", "N-M" or "N,M"), SEQ
/// (the peptide), MSLEVEL. Other keys are accepted and ignored.
///
/// Scan number: SCANS, else the scan the title carries ("scan=N", or "name.N.N.z[.dta]"),
/// else the 1-based position of the spectrum in the file.
///
/// Errors (FormatError with the line): lines outside these forms, a missing "END IONS" or
/// "BEGIN IONS", a spectrum without PEPMASS, a number that does not parse, a non-finite or
/// non-positive m/z, a negative or non-finite intensity.
///
/// With ReadOptions::threads above 1 the spectra are parsed on worker threads (of a plain file,
/// the whole text: see MgfMappedReader.h); the records, counts and the error raised are those
/// of a read on one thread.
///
/// `start` is where the reading stands when the input is a later piece of a file (see
/// MgfPieces.h); by default, the start of a file.
void ReadMgf(ByteInput& input, RecordEmitter& emitter, const MgfState& start = {});

/// Reads the input as ReadMgf does, but only for the state at its end (lines, spectra, the
/// header CHARGE in force), without parsing the spectra; raises the errors of the lines it
/// looks at.
MgfState ScanMgf(ByteInput& input, const MgfState& start = {});

}  // namespace speclink
