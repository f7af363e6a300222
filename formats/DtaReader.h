#pragma once

#include "speclink/formats/ByteInput.h"
#include "speclink/formats/RecordEmitter.h"

namespace speclink {

/// Reads one DTA file (the SEQUEST single-spectrum format).
///
/// The first line is "[M+H]+ charge": the singly protonated precursor mass in Da, taken as it
/// stands, and a whole charge (0: unknown). Each following line is "m/z intensity". Fields are
/// separated by spaces or tabs; line ends may be "\n" or "\r\n"; blank lines may end the file.
/// The record keeps the file's own name (without directory); its scan is the first number of a
/// "name.first.last.charge.dta" name, else 0.
///
/// Errors (FormatError with the line): an empty file, a header or peak line without exactly two
/// numbers, a whole-number charge missing, a non-finite or non-positive mass or m/z, a negative
/// or non-finite intensity, and text after a blank line (concatenated DTA files are not read).
void ReadDta(ByteInput& input, RecordEmitter& emitter);

}  // namespace speclink
