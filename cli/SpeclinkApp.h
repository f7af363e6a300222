#pragma once

namespace speclink::cli {

/// The speclink command: parses the arguments, runs the subcommand and returns the exit
/// status (ExitCodes.h). Errors are reported on stderr as "speclink: error: ...".
int RunSpeclink(int argc, const char* const* argv);

}  // namespace speclink::cli
