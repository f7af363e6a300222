#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace speclink {

/// A spectrum file that does not follow its format. what() reads "file:where: message",
/// e.g. "data.mgf:57: expected 'END IONS' before end of file"; `where` is a line number for
/// text and XML formats, "byte N" for compressed content, and is left out for whole-file faults.
class FormatError : public std::runtime_error {
public:
    FormatError(const std::string& file, const std::string& where, const std::string& message)
        : std::runtime_error(file + ":" + (where.empty() ? "" : where + ":") + " " + message),
          file_(file),
          message_(message) {}
    /// Error at a line of a text file (1-based).
    static FormatError AtLine(const std::string& file, uint64_t line, const std::string& message) {
        FormatError error(file, std::to_string(line), message);
        error.line_ = line;
        return error;
    }

    const std::string& file() const { return file_; }
    /// The description without the file and position.
    const std::string& message() const { return message_; }
    /// The line of an error at a line.
    std::optional<uint64_t> line() const { return line_; }

private:
    std::string file_;
    std::string message_;
    std::optional<uint64_t> line_;
};

}  // namespace speclink
