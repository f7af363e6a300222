#pragma once

#include <exception>
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

/// The exit status (ExitCodes.h) of a command that failed with `error`, and the message to
/// report.
int ExitStatusOf(std::exception_ptr error, std::string& message);

/// The arguments as one line, for the record of a run.
std::string CommandLine(const char* program, int argc, const char* const* argv);

}  // namespace speclink::cli
