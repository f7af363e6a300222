#pragma once

namespace speclink::cli {

/// Exit statuses of the speclink command; listed in `speclink --help` and the README.
enum ExitCode : int {
    EXIT_OK = 0,
    EXIT_INTERNAL = 1,  ///< an unexpected failure (a bug or exhausted memory)
    EXIT_USAGE = 2,     ///< unknown option, bad value, an option the job does not use, a used output directory
    EXIT_INPUT = 3,     ///< an input file cannot be read or does not follow its format
    EXIT_OUTPUT = 4,    ///< an output directory or file cannot be created or written
    EXIT_LIMIT = 5,     ///< the input is fine but the run would pass a limit it was given
};

inline constexpr const char* kExitCodeHelp =
    "Exit status: 0 success, 1 internal error, 2 usage error, 3 unreadable or malformed input,\n"
    "4 output cannot be written, 5 a limit refused the run, 130 interrupted (SIGINT), 143 terminated (SIGTERM).";

}  // namespace speclink::cli
