#include "speclink/cli/EngineRun.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <optional>
#include <system_error>

#include "speclink/cli/CommandErrors.h"
#include "speclink/cli/InputSpectra.h"
#include "speclink/cli/OutputCheck.h"
#include "speclink/cli/ProgressBar.h"
#include "speclink/cli/RunSummary.h"
#include "speclink/cli/ScopedWorkingDirectory.h"
#include "speclink/cli/InputSpectrumFiles.h"
#include "speclink/library/cluster/HierarchicalCluster.h"
#include "speclink/library/cluster/PrecursorSweep.h"
#include "speclink/library/cluster/SingleLinkage.h"
#include "speclink/library/consensus/RepresentativeSpectra.h"
#include "speclink/library/modification/ModificationCluster.h"
#include "speclink/library/params/Para.h"
#include "speclink/library/scoring/Similarity.h"

namespace speclink::cli {

namespace fs = std::filesystem;

namespace {

constexpr const char* kClusterResultDefault = "clusters.csv";
constexpr const char* kPairListDefault = "pairs.csv";
constexpr const char* kParametersUsed = "speclink.params";

fs::path MakeOutputDirectory(const fs::path& out) {
    if (out.empty()) throw UsageError("give an output directory with -o");
    std::error_code ec;
    fs::create_directories(out, ec);
    if (ec || !fs::is_directory(out)) {
        throw OutputError("cannot create the output directory " + out.string() + ": " +
                          (ec ? ec.message() : std::string("a file of that name exists")));
    }
    return fs::canonical(out);
}

// No output may land on an input: results are only written into the output directory.
void RequireInputsOutside(const std::vector<std::string>& inputs, const fs::path& out, const fs::path& result) {
    for (const std::string& path : inputs) {
        std::error_code ec;
        const fs::path input = fs::weakly_canonical(path, ec);
        const bool inside = fs::is_directory(input, ec) ? input == out : input.parent_path() == out;
        if (inside || input == result)
            throw UsageError("the input " + path + " lies where results are written (" + out.string() +
                             "); choose another output directory so that no input is overwritten");
    }
}

// Removes an earlier result file; anything but a file or a link is left for the engine to
// fail on, so that no directory is ever removed.
void RemoveIfPresent(const fs::path& path) {
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(path, ec);
    if (fs::is_regular_file(status) || fs::is_symlink(status)) fs::remove(path, ec);
}

// The result file is named relative to the output directory and stays inside it, so that a
// run never removes or overwrites a file elsewhere.
fs::path ResultPath(const fs::path& out, const std::string& name) {
    const fs::path relative = fs::path(name).lexically_normal();
    const bool escapes = std::any_of(relative.begin(), relative.end(), [](const fs::path& part) { return part == ".."; });
    if (relative.is_absolute() || relative.has_root_name() || escapes || relative.filename().empty()) {
        throw UsageError("the result file '" + name +
                         "' must be a file name or relative path inside the output directory (no absolute path, "
                         "no '..')");
    }
    const fs::path result = out / relative;
    std::error_code ec;
    if (!fs::is_directory(result.parent_path(), ec)) {
        throw OutputError("cannot write the result file " + result.string() + ": the directory " +
                          result.parent_path().string() + " does not exist");
    }
    return result;
}

// Refuses a clustering whose largest precursor group exceeds the limit, before any work.
void RequireGroupsWithin(const InputSpectra& input, const Settings& settings, size_t limit) {
    const std::vector<PrecursorGroup> groups =
        SweepPrecursorGroups(input.spectra, settings.precursor_ion_tol.value, settings.precursor_ion_tol.unit);
    const auto largest = std::max_element(groups.begin(), groups.end(),
                                          [](const PrecursorGroup& a, const PrecursorGroup& b) { return a.size < b.size; });
    if (largest == groups.end() || largest->size <= limit) return;
    const CSpectrum& first = input.spectra[largest->start];
    char mass[64];
    std::snprintf(mass, sizeof mass, "%.4f", first.precursor_mass);
    const double bytes = static_cast<double>(TriangleSize(largest->size) * sizeof(ScaledScore));
    char memory[64];
    if (bytes < 1e9) {
        std::snprintf(memory, sizeof memory, "%.1f MB", bytes / 1e6);
    } else {
        std::snprintf(memory, sizeof memory, "%.1f GB", bytes / 1e9);
    }
    const size_t pairs = largest->size * (largest->size - 1) / 2;
    throw InputError("a precursor group of " + std::to_string(largest->size) + " spectra (charge " +
                     std::to_string(first.charge) + ", [M+H]+ from " + mass + " Da, first spectrum '" +
                     first.file_name + "', sweep positions " + std::to_string(largest->start + 1) + " to " +
                     std::to_string(largest->start + largest->size) + ") exceeds --max-group-size " +
                     std::to_string(limit) + "; clustering it takes " + std::to_string(pairs) + " scores and " +
                     memory + " for its score triangle. Raise the limit with --max-group-size or narrow --precursor-tol.");
}

void WriteParametersUsed(const CPara& para, const fs::path& path, const EngineRequest& request) {
    if (!para.WriteParaFile(path.string())) throw OutputError("cannot write " + path.string());
    std::ofstream note(path, std::ios::app);
    note << "# written by speclink " << request.command << " with these settings\n";
    for (const std::string& input : request.inputs) note << "# input: " << input << "\n";
    // Buffered output fails only when it reaches the file: on a full device at close.
    note.close();
    if (note.fail()) throw OutputError("cannot write " + path.string());
}

}  // namespace

void RunEngine(const EngineRequest& request) {
    const auto started = std::chrono::steady_clock::now();
    Settings settings = request.settings;
    try {
        settings.Validate();
    } catch (const std::invalid_argument& error) {
        // The message names the setting first, as its option is named.
        throw UsageError(std::string("--") + error.what());
    }
    if (request.inputs.empty()) throw UsageError("no input files given");
    const bool clustering = settings.cluster_type == CLUSTER_HIERARCHICAL;
    if (settings.cluster_result.empty()) settings.cluster_result = clustering ? kClusterResultDefault : kPairListDefault;

    const fs::path out = MakeOutputDirectory(request.out_directory);
    const fs::path result = ResultPath(out, settings.cluster_result);
    RequireInputsOutside(request.inputs, out, fs::weakly_canonical(result));
    RequireSpaceLeft(out);

    const auto seconds_since = [](std::chrono::steady_clock::time_point start) {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    InputSpectra input;
    const auto reading_started = std::chrono::steady_clock::now();
    try {
        input = ReadInputs(request.inputs, request.assign_charges, request.threads);
    } catch (const std::system_error& error) {
        throw InputError(error.what());
    }
    const double reading_seconds = seconds_since(reading_started);
    if (input.spectra.empty()) {
        std::string counts;
        for (const InputFileReport& file : input.files) counts += "\n  " + DescribeRead(file);
        throw InputError("no spectra to work on (--charge 2,3 gives charges to spectra that have none):" + counts);
    }
    if (clustering) {
        RequireUniqueNames(input);
        if (!request.keep_order) OrderForClustering(input);
        RequireGroupsWithin(input, settings, request.max_group_size);
    }

    // The engine copies spectrum files from the records themselves; the data directory only
    // names where they came from.
    const InputSpectrumFiles spectrum_files(input);
    if (clustering) settings.data_directory = fs::absolute(request.inputs.front()).string();
    settings.out_directory = out.string();

    CPara para;
    settings.Configure(para);
    para.engine->threads = request.threads;
    para.representative_spectra->threads = request.threads;
    para.spectra_process->spectrum_source = &spectrum_files;
    WriteParametersUsed(para, out / kParametersUsed, request);

    RemoveIfPresent(result);
    if (!clustering && !request.shift_search) RemoveIfPresent(out / "temp.temp");
    const auto engine_started = std::chrono::steady_clock::now();
    {
        const ScopedWorkingDirectory in_output(out);
        const ElapsedTicker ticker(clustering ? "clustering" : "searching pairs");
        if (request.shift_search) {
            auto* engine = dynamic_cast<CModificationCluster*>(para.engine);
            engine->RunShiftSearch(input.spectra, para.similarity, para.peak_select);
        } else {
            para.engine->Run(input.spectra, para.similarity, para.peak_select);
        }
        std::fflush(stdout);
    }
    const double engine_seconds = seconds_since(engine_started);
    // The engine reports a file it cannot open only on the standard output, and does not
    // check its writes: the files must be whole and the device must not have run full.
    RequireWholeFile(result);
    if (!clustering && !request.shift_search) {
        RequireWholeFile(out / "score.txt");
        RequireWholeFile(out / "temp.temp");
    }
    RequireSpaceLeft(out);

    RunSummary summary;
    summary.command = request.command;
    summary.files = input.files;
    summary.spectra = input.spectra.size();
    summary.out_directory = out;
    summary.result = result;
    summary.seconds = seconds_since(started);
    summary.reading_seconds = reading_seconds;
    summary.engine_seconds = engine_seconds;
    if (clustering) {
        summary.AddClusters(input.spectra, dynamic_cast<const CHierarchicalCluster&>(*para.engine).last_clustering(),
                            settings.consensus_type);
    } else {
        summary.AddPairs(dynamic_cast<const CModificationCluster&>(*para.engine).last_pairs().size(),
                         request.shift_search ? fs::path() : out / "temp.temp");
    }
    // The modification search leaves its progress text without a line end.
    if (!clustering && input.spectra.size() >= 10 && !request.shift_search) std::printf("\n");
    summary.Print();
}

}  // namespace speclink::cli
