#include "EngineRun.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <system_error>

#include "CommandErrors.h"
#include "InputSpectra.h"
#include "ProgressBar.h"
#include "RunSummary.h"
#include "ScopedWorkingDirectory.h"
#include "SpectrumStaging.h"
#include "modification/ModificationCluster.h"
#include "scoring/Similarity.h"

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

// Everything in the output directory with its modification time, to count what a run wrote.
std::map<std::string, fs::file_time_type> Snapshot(const fs::path& directory) {
    std::map<std::string, fs::file_time_type> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(directory, ec))
        if (entry.is_regular_file(ec)) files[entry.path().filename().string()] = entry.last_write_time(ec);
    return files;
}

size_t CountChanged(const std::map<std::string, fs::file_time_type>& before,
                    const std::map<std::string, fs::file_time_type>& after) {
    size_t changed = 0;
    for (const auto& [name, time] : after) {
        const auto old = before.find(name);
        if (old == before.end() || old->second != time) ++changed;
    }
    return changed;
}

bool NeedsStaging(const InputSpectra& input, Representative_Spectra consensus_type) {
    if (consensus_type == CONSENSUS_REPRESENTATIVES || consensus_type == CONSENSUS_SPECTRA_AND_REPRESENTATIVES)
        return true;
    return std::any_of(input.sources.begin(), input.sources.end(), [](const fs::path& p) { return !p.empty(); });
}

void RemoveIfPresent(const fs::path& path) {
    std::error_code ec;
    fs::remove(path, ec);
}

void WriteParametersUsed(const CPara& para, const fs::path& path, const EngineRequest& request, bool staged) {
    if (!para.WriteParaFile(path.string())) throw OutputError("cannot write " + path.string());
    std::ofstream note(path, std::ios::app);
    note << "# written by speclink " << request.command << " with these settings\n";
    for (const std::string& input : request.inputs) note << "# input: " << input << "\n";
    if (staged) note << "# data_directory held the input spectra as DTA files for the length of the run\n";
    if (!note) throw OutputError("cannot write " + path.string());
}

}  // namespace

void RunEngine(const EngineRequest& request) {
    const auto started = std::chrono::steady_clock::now();
    RunSettings settings = request.settings;
    try {
        settings.Validate();
    } catch (const std::invalid_argument& error) {
        throw UsageError(error.what());
    }
    if (request.inputs.empty()) throw UsageError("no input files given");
    const bool clustering = settings.cluster_type == CLUSTER_HIERARCHICAL;
    if (settings.cluster_result.empty()) settings.cluster_result = clustering ? kClusterResultDefault : kPairListDefault;

    const fs::path out = MakeOutputDirectory(request.out_directory);
    const fs::path result = out / settings.cluster_result;
    RequireInputsOutside(request.inputs, out, fs::weakly_canonical(result));

    InputSpectra input;
    try {
        input = ReadInputs(request.inputs, request.assign_charges);
    } catch (const std::system_error& error) {
        throw InputError(error.what());
    }
    if (input.spectra.empty()) {
        std::string counts;
        for (const InputFileReport& file : input.files) counts += "\n  " + DescribeRead(file);
        throw InputError("no spectra to work on (--charge 2,3 gives charges to spectra that have none):" + counts);
    }
    if (clustering) {
        RequireUniqueNames(input);
        if (!request.keep_order) OrderForClustering(input);
    }

    // The consensus step writes single spectra from memory when the data directory is not a
    // directory, in the same layout as a staged DTA file. Spectrum files are staged only where
    // that is not enough: DTA inputs are copied as they are, and representatives are copied.
    std::optional<SpectrumStaging> staging;
    if (clustering && NeedsStaging(input, settings.consensus_type)) {
        try {
            staging.emplace(input);
        } catch (const std::runtime_error& error) {
            throw OutputError(error.what());
        }
        settings.data_directory = staging->directory().string();
    } else if (clustering) {
        settings.data_directory = fs::absolute(request.inputs.front()).string();
    }
    settings.out_directory = out.string();

    CPara para;
    settings.Configure(para);
    para.engine->threads = request.threads;
    WriteParametersUsed(para, out / kParametersUsed, request, staging.has_value());

    RemoveIfPresent(result);
    if (!clustering && !request.shift_search) RemoveIfPresent(out / "temp.temp");
    const auto before = Snapshot(out);
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
    if (!fs::exists(result)) throw OutputError("the engine could not write " + result.string());

    RunSummary summary;
    summary.command = request.command;
    summary.files = input.files;
    summary.spectra = input.spectra.size();
    summary.out_directory = out;
    summary.result = result;
    summary.files_written = CountChanged(before, Snapshot(out));
    summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (clustering) {
        summary.AddClusters();
    } else {
        summary.AddPairs(request.shift_search ? fs::path() : out / "temp.temp");
    }
    // The modification search leaves its progress text without a line end.
    if (!clustering && input.spectra.size() >= 10 && !request.shift_search) std::printf("\n");
    summary.Print();
}

}  // namespace speclink::cli
