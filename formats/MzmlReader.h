#pragma once

#include "speclink/formats/ByteInput.h"
#include "speclink/formats/RecordEmitter.h"

namespace speclink {

/// Reads mzML 1.0/1.1 (plain or indexed), streaming: one spectrum is held at a time. A plain
/// file is read through a MarkupScanner where it keeps to the scanner's subset of XML, and
/// through expat otherwise; the records, counts and errors are expat's either way. The
/// scanner cuts the spectrum list into pieces, each from a spectrum start, that the reading
/// threads read whole, markup and arrays; a piece that needs what comes before it (a spectrum
/// without an index attribute, a group defined inside the list) or holds an error is read
/// again in order, with the rest of the list.
///
/// Per <spectrum>: the "ms level" parameter (MS:1000511; "MS1 spectrum" MS:1000579 alone means
/// level 1), "spectrum title" (MS:1000796) and "total ion current" (MS:1000285); from the first
/// <scan>, "scan start time" (MS:1000016, in minutes or seconds by its unit); from the first
/// <selectedIon> of the first <precursor>, "selected ion m/z" (MS:1000744, or MS:1000040 of
/// mzML 1.0), "charge state" (MS:1000041; else every "possible charge state", MS:1000633) and
/// "peak intensity" (MS:1000042). Parameters given through <referenceableParamGroupRef> count
/// as if written in place. Chromatograms and arrays other than the m/z array (MS:1000514) and
/// intensity array (MS:1000515) are ignored.
///
/// Binary arrays: base64 of little-endian 32- or 64-bit floats (MS:1000521, MS:1000523) or
/// 32/64-bit integers (MS:1000519, MS:1000522), uncompressed (MS:1000576) or zlib
/// (MS:1000574), or MS-Numpress linear, pic or slof (MS:1002312-1002314), alone or followed by
/// zlib (MS:1002746-1002748). An array's length is its arrayLength, else the spectrum's
/// defaultArrayLength.
///
/// Scan number: the "scan=N" field of the spectrum id, else its index attribute + 1.
///
/// Errors (FormatError with the XML line and the spectrum's index and id): malformed or
/// truncated XML, a document that is not mzML, a spectrum without an MS level, an MS2 spectrum
/// whose arrays cannot be decoded, differ from the announced length or lack one of m/z and
/// intensity, a non-finite or non-positive m/z, a negative or non-finite intensity.
void ReadMzml(ByteInput& input, RecordEmitter& emitter);

}  // namespace speclink
