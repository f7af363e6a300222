#pragma once

#include <cstddef>

namespace speclink {

/// The first 'N', 'n' or NUL byte in [begin, end), or `end`; adds the number of '\n' before
/// it to `newlines`. One pass over the text finds the next line that may end an MGF
/// spectrum, counts the lines passed and stops at binary data.
const char* FindLetterNOrNul(const char* begin, const char* end, std::size_t& newlines);

}  // namespace speclink
