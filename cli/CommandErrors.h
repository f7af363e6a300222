#pragma once

#include <stdexcept>

namespace speclink::cli {

// Failures a command reports; each maps to one exit status (ExitCodes.h).

/// A value or combination of options that cannot give a meaningful run.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// An input that cannot be read or holds nothing to work on.
struct InputError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// An output directory or file that cannot be created or written.
struct OutputError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// A run refused by a limit it was given (--max-group-size); the input itself is fine.
struct LimitError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// A failure already reported where it happened (another process of the run); ends the
/// command with `code` and nothing more said.
struct ReportedError : std::runtime_error {
    explicit ReportedError(int exit_code) : std::runtime_error("reported"), code(exit_code) {}
    int code;
};

}  // namespace speclink::cli
