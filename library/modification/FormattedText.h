#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>

namespace speclink {

/// Appends to `text` what fprintf would write with `format` and the arguments, byte for
/// byte (the same printf conversions), so that lines can be made on one thread and
/// written to their file on another.
#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
inline void AppendFormatted(std::string& text, const char* format, ...) {
    char line[256];
    std::va_list arguments;
    va_start(arguments, format);
    const int length = std::vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    if (length < 0) return;
    if (static_cast<std::size_t>(length) < sizeof line) {
        text.append(line, static_cast<std::size_t>(length));
        return;
    }
    // Too long for the line buffer (long file names): format again into the text itself.
    const std::size_t start = text.size();
    text.resize(start + static_cast<std::size_t>(length) + 1);
    va_start(arguments, format);
    std::vsnprintf(text.data() + start, static_cast<std::size_t>(length) + 1, format, arguments);
    va_end(arguments);
    text.resize(start + static_cast<std::size_t>(length));
}

}  // namespace speclink
