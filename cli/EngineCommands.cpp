// The three commands that run an engine: cluster, modsearch and run.

#include <CLI/CLI.hpp>

#include <algorithm>
#include <memory>
#include <thread>

#include "speclink/cli/ClusterOutputs.h"
#include "speclink/cli/CommandErrors.h"
#include "speclink/cli/Commands.h"
#include "speclink/cli/EngineRun.h"
#include "speclink/cli/MemoryBound.h"
#include "speclink/cli/ParameterCheck.h"

namespace speclink::cli {

namespace {

// What every engine command takes besides the settings, owned by the command's callback.
struct EngineOptions {
    EngineRequest request;
    std::string parameter_file;
    bool lenient = false;
    bool shift_search = false;
    SettingOptions settings;

    void AddCommon(CLI::App& command, bool output_required) {
        command.add_option("inputs", request.inputs, "Spectrum files (MGF, mzML, mzXML, MS2, DTA; .gz too) or DTA directories")
            ->required()
            ->check(CLI::ExistingPath);
        CLI::Option* out = command.add_option("-o,--out", request.out_directory, "Output directory (created if missing)");
        if (output_required) out->required();
        command
            .add_option("--charge", request.assign_charges,
                        "Charges to give spectra that have none, one record per charge (e.g. --charge 2,3); "
                        "without it such spectra are skipped and counted")
            ->delimiter(',')
            ->check(CLI::Range(1, 100));
        request.threads = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
        command.add_option("--threads", request.threads, "Worker threads (results do not depend on it); default: all cores")
            ->check(CLI::Range(1, 1024))
            ->default_str("all cores");
        command.add_flag("--overwrite", request.overwrite,
                         "Replace the outputs of an earlier run in the output directory (and nothing else)");
    }
    void AddParameterFile(CLI::App& command) {
        command.add_option("-p,--params", parameter_file, "Parameter file giving the base settings")
            ->check(CLI::ExistingFile)
            ->group("Settings (override -p)");
        AddLenient(command);
    }
    void AddLenient(CLI::App& command) {
        command.add_flag("--lenient", lenient,
                         "Run with a parameter file that the library reads otherwise than it says, after listing "
                         "the differences");
    }
    void AddMemory(CLI::App& command) {
        command
            .add_option_function<std::string>(
                "--memory",
                [this](const std::string& text) {
                    try {
                        request.memory = ParseByteSize(text);
                    } catch (const std::invalid_argument& error) {
                        throw UsageError(std::string("--memory: ") + error.what());
                    }
                },
                "Memory the records may take, e.g. 4G or 500M. Beyond it they spill to disk once, in buckets by "
                "charge and precursor mass, and are worked through a bucket at a time, with the same results; "
                "default: three quarters of the memory available to the run")
            ->default_str("3/4 of available");
        command.add_option("--spill-dir", request.spill_directory,
                           "Directory for spilled records, e.g. fast local scratch; default: inside the output "
                           "directory. Removed at the end of the run");
    }
    void AddMaxGroupSize(CLI::App& command) {
        command
            .add_option("--max-group-size", request.max_group_size,
                        "Largest precursor group to cluster; a run with a larger one is refused before any work "
                        "(a group of n spectra takes n(n-1)/2 scores and n(n+1) bytes)")
            ->check(CLI::PositiveNumber);
    }

    // The command's own defaults, where they are not the library's.
    Settings defaults;

    // The settings of -p (or the command's defaults) with the options given on top.
    Settings Chosen(Job job) const {
        // The inputs and -o stand in for the file's directories.
        Settings base = parameter_file.empty() ? defaults
                                               : ReadParameterFile(parameter_file, lenient, {"data_directory", "out_directory"});
        settings.ApplyOverrides(base, job);
        return base;
    }
};

}  // namespace

void AddClusterCommand(CLI::App& app, const std::string& command_line, EngineRunner runner) {
    auto options = std::make_shared<EngineOptions>();
    CLI::App* command = app.add_subcommand(
        "cluster",
        "Cluster spectra: spectra of one charge within the precursor tolerance are grouped and linked by single "
        "linkage above the threshold; writes the cluster list, consensus spectra and single spectra to OUTDIR");
    options->AddCommon(*command, true);
    command->add_flag("--keep-order", options->request.keep_order,
                      "Sweep the spectra in input order instead of sorting them by charge, then precursor mass");
    options->AddMaxGroupSize(*command);
    options->AddMemory(*command);
    command->add_flag("--dta", options->request.cluster.dta,
                      "Also write the consensus step's DTA files (consensus and single spectra, or copies of the "
                      "representatives, as --consensus-type says); refused when two of them would share a name");
    command->add_flag("--mgf-singles", options->request.cluster.mgf_singles,
                      "consensus.mgf also holds every spectrum that is alone in its cluster, as read");
    command->add_flag("--representatives", options->request.cluster.representatives,
                      "Also write representatives.mgf: each cluster's representative spectrum as read");
    auto thresholds = std::make_shared<std::string>();
    command->add_option("--thresholds", *thresholds,
                        "Also cluster at these thresholds from the same scores, e.g. 0.3:0.9:0.05 or 0.4,0.5: one "
                        "column each in clusters.tsv (cluster_at_T), for speclink evaluate");
    options->AddParameterFile(*command);
    options->settings.Register(*command, kClusterJob);
    CLI::Option* consensus_type = command->get_option("--consensus-type");
    command->callback([options, thresholds, consensus_type, &command_line, runner] {
        EngineRequest request = options->request;
        if (consensus_type->count() > 0 && !request.cluster.dta) {
            throw UsageError("--consensus-type chooses the DTA files and needs --dta");
        }
        if (!thresholds->empty()) {
            try {
                request.cluster.sweep = ParseThresholds(*thresholds);
            } catch (const std::invalid_argument& error) {
                throw UsageError(std::string("--thresholds: ") + error.what());
            }
        }
        request.settings = options->Chosen(kClusterJob);
        request.settings.cluster_type = CLUSTER_HIERARCHICAL;
        request.job = kClusterJob;
        request.command = "cluster";
        request.command_line = command_line;
        runner(request);
    });
}

void AddModsearchCommand(CLI::App& app, const std::string& command_line, EngineRunner runner) {
    auto options = std::make_shared<EngineOptions>();
    CLI::App* command = app.add_subcommand(
        "modsearch",
        "Modification search: pairs whose precursor masses differ by --lower-mass to --upper-mass Da are scored "
        "with the mass difference as shift; lists the pairs above the threshold and counts their mass differences");
    options->AddCommon(*command, true);
    command->add_flag("--shift-search", options->shift_search,
                      "Doubly charged pairs only, each scored at its best whole-number shift (6 to 200 Da)");
    command->add_flag("--keep-order", options->request.keep_order,
                      "Compare the spectra in input order instead of by charge, then precursor mass, highest first "
                      "(which compares every pair with its mass difference as the shift)");
    command->add_option("--unimod", options->request.modsearch.unimod,
                        "Unimod XML file that names the mass offsets; default: Debian's (package openms-common)")
        ->check(CLI::ExistingFile);
    command->add_option("--offset-width", options->request.modsearch.offset_width,
                        "Half width (Da) of the smoothing that finds the mass offsets among the pairs' mass differences")
        ->check(CLI::Range(0.0001, 10.0));
    command->add_option("--offset-tol", options->request.modsearch.offset_tol,
                        "How far (Da) a Unimod modification may lie from an offset to name it")
        ->check(CLI::Range(0.0, 10.0));
    command->add_flag("--raw-scores", options->request.modsearch.raw_scores,
                      "Also write score.txt, the square root of every pair score above 0.0001, one per line (gigabytes "
                      "for a large search); score_histogram.tsv holds how often each value occurs either way");
    options->AddMemory(*command);
    options->AddParameterFile(*command);
    // "Dot Product Mod" tries the mass difference as a shift, which "Dot Product" does not:
    // on simulated modified pairs it finds ten times as many (see README).
    options->defaults.similar_method = SIMILAR_DOT_PRODUCT_MOD;
    options->settings.Register(*command, kModsearchJob | kShiftSearchJob, options->defaults);
    command->callback([options, &command_line, runner] {
        EngineRequest request = options->request;
        const Job job = options->shift_search ? kShiftSearchJob : kModsearchJob;
        request.settings = options->Chosen(job);
        request.settings.cluster_type = CLUSTER_MODIFICATION;
        request.job = job;
        request.command = options->shift_search ? "modsearch --shift-search" : "modsearch";
        request.command_line = command_line;
        runner(request);
    });
}

void AddRunCommand(CLI::App& app, const std::string& command_line) {
    auto options = std::make_shared<EngineOptions>();
    CLI::App* command = app.add_subcommand(
        "run",
        "Run whatever the parameter file says (cluster_type 0 clustering, 1 modification search), exactly as the "
        "library reads the file; a file the library reads otherwise than it says is refused unless --lenient");
    command->add_option("params", options->parameter_file, "Parameter file")->required()->check(CLI::ExistingFile);
    options->AddCommon(*command, false);
    options->AddLenient(*command);
    command->add_flag("--keep-order", options->request.keep_order, "Take the spectra in input order");
    options->AddMaxGroupSize(*command);
    command->add_flag("--shift-search", options->shift_search, "Modification search: the whole-number shift search");
    command->callback([options, &command_line] {
        EngineRequest request = options->request;
        // The inputs stand in for data_directory, and -o, when given, for out_directory.
        std::vector<std::string> replaced = {"data_directory"};
        if (!options->request.out_directory.empty()) replaced.push_back("out_directory");
        request.settings = ReadParameterFile(options->parameter_file, options->lenient, replaced);
        const bool clustering = request.settings.cluster_type == CLUSTER_HIERARCHICAL;
        if (options->shift_search && clustering) {
            throw UsageError("--shift-search needs cluster_type=1 in " + options->parameter_file);
        }
        if (request.out_directory.empty()) request.out_directory = request.settings.out_directory;
        if (request.out_directory.empty()) {
            throw UsageError("give an output directory with -o or out_directory= in " + options->parameter_file);
        }
        request.job = clustering ? kClusterJob : (options->shift_search ? kShiftSearchJob : kModsearchJob);
        request.command = "run";
        request.specified_run = true;
        request.command_line = command_line;
        RunEngine(request);
    });
}

}  // namespace speclink::cli
