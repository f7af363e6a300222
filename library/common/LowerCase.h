#pragma once

#include <cctype>
#include <string>

namespace speclink {

/// `text` with ASCII letters in lower case, for matching names, keys and units without
/// regard to case.
inline std::string LowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace speclink
