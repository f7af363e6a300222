#pragma once

namespace speclink::cli {

/// Exit statuses of the speclink command; listed in `speclink --help`.
enum ExitCode : int {
    EXIT_OK = 0,
    EXIT_INTERNAL = 1,  ///< an unexpected failure (a bug or exhausted memory)
    EXIT_USAGE = 2,     ///< unknown option, bad value, missing argument
    EXIT_INPUT = 3,     ///< an input file cannot be read or does not follow its format
    EXIT_OUTPUT = 4,    ///< an output directory or file cannot be created or written
};

inline constexpr const char* kExitCodeHelp =
    "Exit status: 0 success, 1 internal error, 2 usage error, 3 unreadable or malformed input,\n"
    "4 output cannot be written.";

}  // namespace speclink::cli
