#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "speclink/library/common/StdioFile.h"

namespace speclink {

/// A file written through C stdio, for the exact printf formats of the spectrum writers.
/// Failures to open or write throw std::system_error naming the file.
class OutputFile {
public:
    explicit OutputFile(std::string path);

    void Write(std::string_view text);
    /// printf-style output.
    void Print(const char* format, ...) __attribute__((format(printf, 2, 3)));
    /// Current position, for rewriting a field later with WriteAt.
    uint64_t Position();
    /// Writes `text` at `position` and returns to the end of the file.
    void WriteAt(uint64_t position, std::string_view text);
    /// Flushes and closes; throws when the data could not be written.
    void Close();

    const std::string& path() const { return path_; }

private:
    [[noreturn]] void Fail(const std::string& what) const;

    std::string path_;
    StdioFile file_;
};

/// The shortest decimal text that reads back as exactly `value`: fixed notation from 1e-5 to
/// 1e15, exponent notation outside.
std::string Lossless(double value);

/// `text` with the five XML special characters replaced by entities.
std::string XmlEscape(std::string_view text);

}  // namespace speclink
