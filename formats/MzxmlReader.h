#pragma once

#include "speclink/formats/ByteInput.h"
#include "speclink/formats/RecordEmitter.h"

namespace speclink {

/// Reads mzXML 2.x and 3.x (plain or indexed), streaming: one scan is held at a time, nested
/// scans (MS2 scans inside their MS1 scan) included.
///
/// Per <scan>: num (the scan number), msLevel, peaksCount, retentionTime (an xs:duration such
/// as "PT12.5S" or "PT1M2.5S") and totIonCurrent; from the first <precursorMz>, its text (the
/// precursor m/z), precursorCharge (else the list in possibleCharges) and precursorIntensity.
/// <peaks>: base64 of big-endian ("network") 32- or 64-bit floats (precision, default 32),
/// m/z-intensity pairs (pairOrder or contentType "m/z-int"), uncompressed or zlib
/// (compressionType "zlib").
///
/// Errors (FormatError with the XML line and the scan number): malformed or truncated XML, a
/// document that is not mzXML, a scan without a whole num or msLevel, peaks of another byte
/// order, layout or precision, data that cannot be decoded or differ from peaksCount, a
/// non-finite or non-positive m/z, a negative or non-finite intensity.
void ReadMzxml(ByteInput& input, RecordEmitter& emitter);

}  // namespace speclink
