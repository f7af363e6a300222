#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "speclink/formats/ByteInput.h"

namespace speclink {

/// Lines of a text file, with their numbers. Line ends are "\n" or "\r\n"; the last line may
/// lack one. A line longer than `max_line_length` bytes, or a NUL byte (binary data), raises
/// a FormatError, so neither a file without line ends nor a binary file is held in memory.
class LineInput {
public:
    static constexpr size_t kDefaultMaxLineLength = 1 << 16;

    explicit LineInput(ByteInput& input, size_t max_line_length = kDefaultMaxLineLength)
        : input_(input), max_line_length_(max_line_length) {}

    /// Sets `line` to the next line without its line end (valid until the next call);
    /// false at the end of the file.
    bool Next(std::string_view& line);

    /// Number of the line last returned (1-based); after the end, the number of lines.
    uint64_t line_number() const { return line_number_; }
    const std::string& path() const { return input_.path(); }

private:
    std::string_view Finish(std::string_view line);

    ByteInput& input_;
    size_t max_line_length_;
    std::string_view block_;
    std::string carry_;
    uint64_t line_number_ = 0;
    bool end_ = false;
};

}  // namespace speclink
