#include "speclink/cli/SpeclinkApp.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>
#include <new>
#include <string>

#include "speclink/cli/CommandErrors.h"
#include "speclink/cli/Commands.h"
#include "speclink/cli/EngineRun.h"
#include "speclink/cli/ExitCodes.h"
#include "speclink/formats/FormatError.h"

namespace speclink::cli {

namespace {

int Fail(int code, const char* message) {
    std::fflush(stdout);
    std::fprintf(stderr, "speclink: error: %s\n", message);
    return code;
}

}  // namespace

std::string CommandLine(const char* program, int argc, const char* const* argv) {
    std::string line = program;
    for (int k = 1; k < argc; ++k) line += std::string(" ") + argv[k];
    return line;
}

int ExitStatusOf(std::exception_ptr error, std::string& message) {
    try {
        std::rethrow_exception(error);
    } catch (const UsageError& failure) {
        message = failure.what();
        return EXIT_USAGE;
    } catch (const FormatError& failure) {
        message = failure.what();
        return EXIT_INPUT;
    } catch (const InputError& failure) {
        message = failure.what();
        return EXIT_INPUT;
    } catch (const OutputError& failure) {
        message = failure.what();
        return EXIT_OUTPUT;
    } catch (const LimitError& failure) {
        message = failure.what();
        return EXIT_LIMIT;
    } catch (const std::bad_alloc&) {
        message = "out of memory";
        return EXIT_INTERNAL;
    } catch (const std::exception& failure) {
        message = failure.what();
        return EXIT_INTERNAL;
    }
}

int RunSpeclink(int argc, const char* const* argv) {
    CLI::App app("speclink: clustering and modification search for MS/MS spectra.\n"
                 "Reads MGF, mzML, mzXML, MS2 and DTA files (also gzip-compressed).",
                 "speclink");
    app.set_version_flag("--version", "speclink " SPECLINK_VERSION);
    app.require_subcommand(1);
    app.footer(kExitCodeHelp);
    app.option_defaults()->always_capture_default();
    const std::string command_line = CommandLine("speclink", argc, argv);
    AddClusterCommand(app, command_line, RunEngine);
    AddModsearchCommand(app, command_line, RunEngine);
    AddRunCommand(app, command_line);
    AddParamsCommand(app);
    AddScoreCommand(app);
    AddSimulateCommand(app);
    AddEvaluateCommand(app);
    return RunCommandLine(app, argc, argv);
}

int RunCommandLine(CLI::App& app, int argc, const char* const* argv) {
    // A standard output that failed in an earlier call in this process does not count here.
    std::clearerr(stdout);
    std::cout.clear();
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int code = app.exit(error);
        return code == 0 ? EXIT_OK : EXIT_USAGE;
    } catch (const ReportedError& error) {
        return error.code;
    } catch (...) {
        std::string message;
        const int code = ExitStatusOf(std::current_exception(), message);
        return Fail(code, message.c_str());
    }
    // Results and summaries printed to a full device or a closed pipe are lost: say so.
    std::cout.flush();
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0 || !std::cout) {
        return Fail(EXIT_OUTPUT, "cannot write to the standard output");
    }
    return EXIT_OK;
}

}  // namespace speclink::cli
