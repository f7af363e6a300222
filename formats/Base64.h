#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace speclink {

/// Standard base64 (RFC 4648 alphabet with '+' and '/', '=' padding) as used for the binary
/// arrays of mzML and mzXML.
std::string EncodeBase64(const std::vector<unsigned char>& bytes);

/// Decodes `text`, ignoring white space (line breaks inside XML text). Empty when the text is
/// not valid base64: a character outside the alphabet, a length that is not a multiple of four
/// or padding anywhere but at the end.
std::optional<std::vector<unsigned char>> DecodeBase64(std::string_view text);

}  // namespace speclink
