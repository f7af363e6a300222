#pragma once

#include <cstddef>

namespace speclink {

/// The first 'N' or 'n' in [begin, end), or `end`.
const char* FindLetterN(const char* begin, const char* end);

/// The number of '\n' in [begin, end).
std::size_t CountNewlines(const char* begin, const char* end);

}  // namespace speclink
