#pragma once

#include <string>

namespace CLI {
class App;
}

namespace speclink::cli {

/// The speclink command: parses the arguments, runs the subcommand and returns the exit
/// status (ExitCodes.h). Errors are reported on stderr as "speclink: error: ...".
int RunSpeclink(int argc, const char* const* argv);

/// The command line of `app` (its subcommands added): parses it, runs what it says and gives
/// the exit status; reports failures on stderr as "speclink: error: ...".
int RunCommandLine(CLI::App& app, int argc, const char* const* argv);

/// The arguments as one line, for the record of a run.
std::string CommandLine(const char* program, int argc, const char* const* argv);

}  // namespace speclink::cli
