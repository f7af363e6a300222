#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "RunSettings.h"

namespace speclink::cli {

/// A clustering or modification-search run of the command line: which inputs, where the
/// results go, and how the spectra are read and ordered.
struct EngineRequest {
    RunSettings settings;
    std::vector<std::string> inputs;
    std::filesystem::path out_directory;
    std::vector<int> assign_charges;
    bool keep_order = false;     ///< clustering: sweep in input order instead of by charge and mass
    bool shift_search = false;   ///< modification search: the whole-number shift search
    int threads = 1;             ///< worker threads of the engine; outputs do not depend on it
    std::string command;         ///< shown in the summary
};

/// Reads the inputs, runs the engine with the output directory as the working directory,
/// writes the parameters used there and prints a summary. Throws UsageError, InputError,
/// OutputError or FormatError.
void RunEngine(const EngineRequest& request);

}  // namespace speclink::cli
