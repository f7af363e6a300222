#pragma once

#include <string>
#include <vector>

#include "speclink/formats/BinaryArrayDecoder.h"

namespace speclink {

/// Encodes numbers as a base64 binary array of mzML or mzXML: the element type (or
/// MS-Numpress with its optimal fixed point), then zlib when asked, then base64. The inverse
/// of DecodeBinaryArray; exact for 64-bit floats without numpress.
std::string EncodeBinaryArray(const std::vector<double>& values, const ArrayEncoding& encoding);

}  // namespace speclink
