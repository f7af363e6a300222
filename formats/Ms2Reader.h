#pragma once

#include "speclink/formats/ByteInput.h"
#include "speclink/formats/RecordEmitter.h"

namespace speclink {

/// Reads the MS2 text format (as written by MakeMS2 and RawConverter).
///
/// Lines, fields separated by tabs or spaces:
///   H <key> <value>            header lines, only before the first spectrum;
///   S <first scan> <last scan> <precursor m/z>   starts a spectrum;
///   I <key> <value>            spectrum information; "RTime" (minutes) is read, others ignored;
///   Z <charge> <[M+H]+>        one line per possible charge: one record each, with the mass as
///                              it stands; charge 0 counts as no charge;
///   D <...>                    charge-dependent analysis, ignored;
///   <m/z> <intensity>          peak lines.
/// Blank lines are ignored; line ends may be "\n" or "\r\n". The scan number is the S line's
/// first scan. A spectrum without Z lines has no charge.
///
/// Errors (FormatError with the line): an unknown line type, fields missing or not numbers,
/// peaks, I or Z lines before the first S line, H lines after it, a non-finite or non-positive
/// m/z or mass, a negative or non-finite intensity.
void ReadMs2(ByteInput& input, RecordEmitter& emitter);

}  // namespace speclink
