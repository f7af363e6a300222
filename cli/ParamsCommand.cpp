// speclink params: write a parameter file, or check one and show how the library reads it.

#include <CLI/CLI.hpp>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>

#include "speclink/cli/CommandErrors.h"
#include "speclink/cli/Commands.h"
#include "speclink/cli/ParameterCheck.h"
#include "speclink/cli/SettingOptions.h"

namespace speclink::cli {

namespace fs = std::filesystem;

namespace {

struct ParamsOptions {
    std::string input;
    std::string output;
    bool overwrite = false;
    SettingOptions settings;
};

// Writes `text` to `path` under a temporary name first, so that no half-written file ever
// stands under the name.
void WriteWhole(const fs::path& path, const std::string& text) {
    const fs::path pending = path.string() + ".partial-" + std::to_string(::getpid());
    {
        std::ofstream file(pending, std::ios::binary);
        file << text;
        file.close();
        if (file.fail()) {
            std::error_code ec;
            fs::remove(pending, ec);
            throw OutputError("cannot write the parameter file " + path.string());
        }
    }
    std::error_code ec;
    fs::rename(pending, path, ec);
    if (ec) throw OutputError("cannot write the parameter file " + path.string() + ": " + ec.message());
}

}  // namespace

void AddParamsCommand(CLI::App& app) {
    auto options = std::make_shared<ParamsOptions>();
    CLI::App* command = app.add_subcommand(
        "params",
        "Write a parameter file with the default settings (and the options given), or check PARAMFILE: every line "
        "the library skips or reads otherwise than it says is listed on the standard error, and the settings the "
        "library reads are written. A file written here reads back to exactly its settings.");
    command->add_option("params", options->input, "Parameter file to check and read")->check(CLI::ExistingFile);
    command->add_option("-o,--out", options->output, "File to write; default: the standard output");
    command->add_flag("--overwrite", options->overwrite, "Replace the file -o names when it exists");
    options->settings.Register(*command, kParameterJob);
    command->callback([options] {
        if (!options->output.empty() && fs::exists(options->output)) {
            if (!options->input.empty() && fs::equivalent(options->output, options->input)) {
                throw UsageError("-o would overwrite the parameter file being read; write to another file");
            }
            if (!options->overwrite) {
                throw UsageError(options->output + " exists; give --overwrite to replace it, or choose another name");
            }
        }
        Settings settings = options->input.empty() ? Settings{} : ReadParameterFile(options->input, true);
        options->settings.ApplyOverrides(settings, kParameterJob);
        const std::string text = SettingsFileText(settings);
        if (options->output.empty()) {
            std::cout << text;
        } else {
            WriteWhole(options->output, text);
        }
    });
}

}  // namespace speclink::cli
