#pragma once

#include <cstddef>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace speclink {

/// How the numbers of a binary data array are stored.
struct ArrayEncoding {
    enum class Type { kFloat32, kFloat64, kInt32, kInt64 };
    enum class Numpress { kNone, kLinear, kPic, kSlof };

    Type type = Type::kFloat64;  ///< element type of plain (non-numpress) arrays
    bool zlib = false;           ///< zlib-compressed before base64 (and after numpress)
    Numpress numpress = Numpress::kNone;
    bool big_endian = false;  ///< mzXML's network byte order; mzML is little-endian
};

/// A binary array that cannot be decoded; readers add the file and position.
class ArrayDecodeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Decodes a base64 binary array of mzML or mzXML into numbers: base64, then zlib inflation,
/// then MS-Numpress decoding or the plain element type. `expected_count` is the number of
/// values the file announces; inflation stops with an error well before a corrupt stream could
/// grow past it, and a different number of values is an error.
std::vector<double> DecodeBinaryArray(std::string_view base64, const ArrayEncoding& encoding, size_t expected_count);

}  // namespace speclink
