// speclink params: write the default parameter file, or show how one is understood.

#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>

#include "speclink/cli/CommandErrors.h"
#include "speclink/cli/Commands.h"
#include "speclink/cli/OutputCheck.h"
#include "speclink/cli/SettingOptions.h"
#include "speclink/library/params/Para.h"

namespace speclink::cli {

namespace {

struct ParamsOptions {
    std::string input;
    std::string output;
    SettingOptions settings;
};

// The library does not check its single writes: a file cut short by a full device is found by
// its last line.
void RequireComplete(const std::string& path) { RequireWholeFile(path); }

// The library writes parameter files by path; standard output gets a temporary file's text.
void WriteTo(const CPara& para, const std::string& output) {
    if (!output.empty()) {
        if (!para.WriteParaFile(output)) throw OutputError("cannot write the parameter file " + output);
        RequireComplete(output);
        return;
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "speclink-params-XXXXXX").string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) throw OutputError("cannot create a temporary file");
    ::close(fd);
    const bool written = para.WriteParaFile(pattern);
    try {
        if (written) RequireComplete(pattern);
    } catch (const OutputError&) {
        std::filesystem::remove(pattern);
        throw;
    }
    std::cout << std::ifstream(pattern).rdbuf();
    std::filesystem::remove(pattern);
    if (!written) throw OutputError("cannot write the parameter file");
}

}  // namespace

void AddParamsCommand(CLI::App& app) {
    auto options = std::make_shared<ParamsOptions>();
    CLI::App* command = app.add_subcommand(
        "params",
        "Write the default parameter file, or read PARAMFILE and write it back as the library understands it "
        "(keys are read without regard to case, values are lower-cased, unknown keys are dropped)");
    command->add_option("params", options->input, "Parameter file to read")->check(CLI::ExistingFile);
    command->add_option("-o,--out", options->output, "File to write; default: standard output");
    options->settings.Register(*command, false, true);
    command->callback([options] {
        if (!options->output.empty() && !options->input.empty() &&
            std::filesystem::exists(options->output) &&
            std::filesystem::equivalent(options->output, options->input))
            throw UsageError("-o would overwrite the parameter file being read; write to another file");
        CPara para;
        if (!options->input.empty() && !options->settings.AnyGiven()) {
            // Exactly as the library reads and writes it.
            if (!para.ReadParaFile(options->input))
                throw InputError(options->input + ": cannot read it, or its cluster_type is neither 0 nor 1");
        } else {
            Settings settings;
            try {
                if (!options->input.empty()) settings = ReadSettingsFile(options->input);
                options->settings.ApplyOverrides(settings);
            } catch (const std::invalid_argument& error) {
                throw UsageError(error.what());
            } catch (const std::runtime_error& error) {
                throw InputError(error.what());
            }
            settings.Configure(para);
        }
        WriteTo(para, options->output);
    });
}

}  // namespace speclink::cli
