// The three commands that run an engine: cluster, modsearch and run.

#include <CLI/CLI.hpp>

#include <algorithm>
#include <memory>
#include <thread>

#include "speclink/cli/CommandErrors.h"
#include "speclink/cli/Commands.h"
#include "speclink/cli/EngineRun.h"

namespace speclink::cli {

namespace {

// Options every engine command shares, owned by the command's callback.
struct EngineOptions {
    std::vector<std::string> inputs;
    std::string out_directory;
    std::vector<int> charges;
    bool keep_order = false;
    bool shift_search = false;
    int threads = DefaultThreads();
    size_t max_group_size = kDefaultMaxGroupSize;
    SettingOptions settings;

    static int DefaultThreads() { return std::max(1, static_cast<int>(std::thread::hardware_concurrency())); }

    void AddInputs(CLI::App& command) {
        command.add_option("inputs", inputs, "Spectrum files (MGF, mzML, mzXML, MS2, DTA; .gz too) or DTA directories")
            ->required()
            ->check(CLI::ExistingPath);
    }
    void AddThreads(CLI::App& command) {
        command.add_option("--threads", threads, "Worker threads (results do not depend on it); default: all cores")
            ->check(CLI::Range(1, 1024));
    }
    void AddMaxGroupSize(CLI::App& command) {
        command.add_option("--max-group-size", max_group_size,
                           "Clustering: largest precursor group to cluster; a run with a larger one is refused "
                           "before any work (a group of n spectra takes n(n-1)/2 scores and 2n(n+1) bytes)")
            ->check(CLI::PositiveNumber);
    }
    void AddCharges(CLI::App& command) {
        command
            .add_option("--charge", charges,
                        "Charges to give spectra that have none, one record per charge (e.g. --charge 2,3); "
                        "without it such spectra are skipped and counted")
            ->delimiter(',')
            ->check(CLI::Range(1, 100));
    }

    // The settings of -p (or the defaults) with the options given on top.
    speclink::Settings Chosen() const {
        speclink::Settings base =
            settings.parameter_file().empty() ? speclink::Settings{} : ReadSettings(settings.parameter_file());
        settings.ApplyOverrides(base);
        return base;
    }

    static speclink::Settings ReadSettings(const std::string& path) {
        try {
            return ReadSettingsFile(path);
        } catch (const std::runtime_error& error) {
            throw InputError(error.what());
        }
    }
};

void RunWith(EngineOptions& options, Settings settings, const std::string& command, std::string out_directory) {
    EngineRequest request;
    request.settings = std::move(settings);
    request.inputs = options.inputs;
    request.out_directory = std::move(out_directory);
    request.assign_charges = options.charges;
    request.keep_order = options.keep_order;
    request.shift_search = options.shift_search;
    request.threads = options.threads;
    request.max_group_size = options.max_group_size;
    request.command = command;
    RunEngine(request);
}

// Tolerance-like and method options hold text until the callback parses them.
Settings Parsed(const EngineOptions& options) {
    try {
        return options.Chosen();
    } catch (const std::invalid_argument& error) {
        throw UsageError(error.what());
    }
}

}  // namespace

void AddClusterCommand(CLI::App& app) {
    auto options = std::make_shared<EngineOptions>();
    CLI::App* command = app.add_subcommand(
        "cluster",
        "Cluster spectra: spectra of one charge within the precursor tolerance are grouped and linked by single "
        "linkage above the threshold; writes the cluster list, consensus spectra and single spectra to OUTDIR");
    options->AddInputs(*command);
    command->add_option("-o,--out", options->out_directory, "Output directory (created if missing)")->required();
    options->AddCharges(*command);
    options->AddThreads(*command);
    command->add_flag("--keep-order", options->keep_order,
                      "Sweep the spectra in input order instead of sorting them by charge, then precursor mass");
    options->AddMaxGroupSize(*command);
    options->settings.Register(*command, true, false);
    command->callback([options] {
        Settings settings = Parsed(*options);
        settings.cluster_type = CLUSTER_HIERARCHICAL;
        RunWith(*options, settings, "cluster", options->out_directory);
    });
}

void AddModsearchCommand(CLI::App& app) {
    auto options = std::make_shared<EngineOptions>();
    CLI::App* command = app.add_subcommand(
        "modsearch",
        "Modification search: pairs whose precursor masses differ by --lower-mass to --upper-mass Da are scored "
        "with the mass difference as shift; lists the pairs above the threshold and counts their mass differences");
    options->AddInputs(*command);
    command->add_option("-o,--out", options->out_directory, "Output directory (created if missing)")->required();
    options->AddCharges(*command);
    options->AddThreads(*command);
    command->add_flag("--shift-search", options->shift_search,
                      "Doubly charged pairs only, each scored at its best whole-number shift (6 to 200 Da)");
    options->settings.Register(*command, true, false);
    command->callback([options] {
        Settings settings = Parsed(*options);
        settings.cluster_type = CLUSTER_MODIFICATION;
        RunWith(*options, settings, options->shift_search ? "modsearch --shift-search" : "modsearch",
                options->out_directory);
    });
}

void AddRunCommand(CLI::App& app) {
    auto options = std::make_shared<EngineOptions>();
    auto parameter_file = std::make_shared<std::string>();
    CLI::App* command = app.add_subcommand(
        "run", "Run whatever the parameter file says (cluster_type 0 clustering, 1 modification search)");
    command->add_option("params", *parameter_file, "Parameter file")->required()->check(CLI::ExistingFile);
    options->AddInputs(*command);
    command->add_option("-o,--out", options->out_directory,
                        "Output directory; default: out_directory of the parameter file");
    options->AddCharges(*command);
    options->AddThreads(*command);
    command->add_flag("--keep-order", options->keep_order, "Clustering: sweep the spectra in input order");
    options->AddMaxGroupSize(*command);
    command->add_flag("--shift-search", options->shift_search, "Modification search: the whole-number shift search");
    options->settings.Register(*command, false, true);
    command->callback([options, parameter_file] {
        Settings settings = EngineOptions::ReadSettings(*parameter_file);
        try {
            options->settings.ApplyOverrides(settings);
        } catch (const std::invalid_argument& error) {
            throw UsageError(error.what());
        }
        if (options->shift_search && settings.cluster_type != CLUSTER_MODIFICATION)
            throw UsageError("--shift-search needs cluster_type=1 in the parameter file");
        const std::string out = options->out_directory.empty() ? settings.out_directory : options->out_directory;
        if (out.empty()) throw UsageError("give an output directory with -o or out_directory= in " + *parameter_file);
        RunWith(*options, settings, "run", out);
    });
}

}  // namespace speclink::cli
