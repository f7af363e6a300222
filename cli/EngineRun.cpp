#include "speclink/cli/EngineRun.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <system_error>

#include "speclink/cli/ClusterOutputs.h"
#include "speclink/cli/CommandErrors.h"
#include "speclink/cli/GroupLimit.h"
#include "speclink/cli/InputSpectra.h"
#include "speclink/cli/InputSpectrumFiles.h"
#include "speclink/cli/Interruption.h"
#include "speclink/cli/MemoryBound.h"
#include "speclink/cli/OutputCheck.h"
#include "speclink/cli/OutputDirectory.h"
#include "speclink/cli/ProcessEnd.h"
#include "speclink/cli/ProgressBar.h"
#include "speclink/cli/RunFiles.h"
#include "speclink/cli/RunSummary.h"
#include "speclink/cli/ScopedWorkingDirectory.h"
#include "speclink/cli/SpilledRun.h"
#include "speclink/library/cluster/HierarchicalCluster.h"
#include "speclink/library/consensus/RepresentativeSpectra.h"
#include "speclink/library/data/SpectraProcess.h"
#include "speclink/library/modification/ModificationCluster.h"
#include "speclink/library/params/Para.h"

namespace speclink::cli {

namespace fs = std::filesystem;

namespace {

// Removes a directory when the run ends, however it ends.
class RemovedAtEnd {
public:
    explicit RemovedAtEnd(fs::path directory) : directory_(std::move(directory)) {}
    ~RemovedAtEnd() {
        std::error_code ec;
        fs::remove_all(directory_, ec);
    }
    RemovedAtEnd(const RemovedAtEnd&) = delete;
    RemovedAtEnd& operator=(const RemovedAtEnd&) = delete;

private:
    fs::path directory_;
};

// What a run over spilled records cannot do: those need every record in memory at once.
void RequireSpillable(const EngineRequest& request, uint64_t memory) {
    const std::string why = "the records did not fit in --memory " + FormatBytes(memory) + " and were spilled to disk; ";
    const std::string fix = " needs them all in memory: raise --memory or leave it out";
    if (request.keep_order) throw UsageError(why + "--keep-order" + fix);
    if (request.cluster.dta) throw UsageError(why + "--dta" + fix);
    if (request.job == kShiftSearchJob) throw UsageError(why + "--shift-search" + fix);
}

// speclink cluster: clusters at the threshold and every threshold of the sweep from one set of
// pair scores, then writes the cluster result file and the command's own outputs (and the
// consensus step's DTA files when asked).
Clustering ClusterAndWrite(const EngineRequest& request, const InputSpectra& input, CPara& para, const fs::path& staging,
                           const std::string& result, double& writing_seconds) {
    auto& engine = dynamic_cast<CHierarchicalCluster&>(*para.engine);
    std::vector<double> thresholds = {engine.threshold};
    thresholds.insert(thresholds.end(), request.cluster.sweep.begin(), request.cluster.sweep.end());
    std::vector<Clustering> clusterings;
    {
        ProgressBar bar("clustering");
        clusterings = engine.ClusterSpectraAt(input.spectra, para.similarity, para.peak_select, thresholds,
                                              [&](std::size_t passed) { bar.Update(passed, input.spectra.size()); });
        bar.Finish();
    }
    const auto writing_started = std::chrono::steady_clock::now();
    const Clustering& clustering = clusterings.front();
    if (request.cluster.dta) {
        RequireDistinctDtaNames(input.spectra, clustering, para.representative_spectra->consensus_type);
        engine.WriteClustering(input.spectra, clustering);
    }
    // With --dta the consensus step has written the cluster result file.
    ClusterOutputFiles files(staging, request.cluster.dta ? "" : result, request.cluster.sweep,
                             {request.cluster.mgf_singles, request.cluster.representatives}, request.threads);
    files.Append(input, clusterings);
    files.Close();
    writing_seconds = SecondsSince(writing_started);
    return std::move(clusterings.front());
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
    const bool clustering = request.job == kClusterJob;
    if (settings.cluster_result.empty()) settings.cluster_result = clustering ? kClusterResultDefault : kPairListDefault;
    RequireResultName(settings.cluster_result);

    // Signals end the run cleanly from here on: no worker thread has started yet.
    Interruption interruption;
    OutputDirectory out(request.out_directory, request.overwrite, PlannedNames(request, settings.cluster_result));
    interruption.RemoveOnSignal(out.staging());
    RequireInputsOutside(request.inputs, out.path());
    RequireSpaceLeft(out.path());

    // Records beyond the memory bound spill into a directory of their own, removed at the end
    // (the default one inside the staging directory with it).
    SpillOptions spill;
    spill.memory = request.specified_run ? UINT64_MAX : (request.memory > 0 ? request.memory : DefaultMemoryBound());
    spill.directory = request.spill_directory.empty()
                          ? out.staging() / "spill"
                          : request.spill_directory / ("speclink-spill-" + std::to_string(::getpid()));
    const RemovedAtEnd spill_removed(spill.directory);
    interruption.RemoveOnSignal(spill.directory);

    InputSpectra input;
    const auto reading_started = std::chrono::steady_clock::now();
    try {
        input = ReadInputs(request.inputs, request.assign_charges, request.threads, spill);
    } catch (const std::system_error& error) {
        throw InputError(error.what());
    }
    const double reading_seconds = SecondsSince(reading_started);
    const std::size_t records = input.spilled ? input.spilled->records() : input.spectra.size();
    if (input.spilled) RequireSpillable(request, spill.memory);
    if (records == 0) {
        std::string counts;
        for (const InputFileReport& file : input.files) counts += "\n  " + DescribeRead(file);
        throw InputError("no spectra to work on (--charge 2,3 gives charges to spectra that have none):" + counts);
    }
    if (input.spilled) {
        // Ordered and checked bucket by bucket.
    } else if (clustering) {
        if (!request.keep_order) OrderForClustering(input);
        RequireGroupsWithin(input.spectra, settings, request.max_group_size, 0);
    } else if (!request.keep_order) {
        OrderForModificationSearch(input);
    }

    // The settings as the run used them name the output directory; the engine itself
    // writes into the staging directory. It copies spectrum files from the records; the
    // data directory only names where they came from.
    if (clustering) settings.data_directory = fs::absolute(request.inputs.front()).string();
    settings.out_directory = out.path().string();
    WriteParametersUsed(settings, out.staging() / kParametersUsed, request);
    const InputSpectrumFiles spectrum_files(input);
    Settings staged = settings;
    staged.out_directory = out.staging().string();
    staged.cluster_result = (out.staging() / settings.cluster_result).string();
    CPara para;
    staged.Configure(para);
    para.engine->threads = request.threads;
    para.representative_spectra->threads = request.threads;
    if (request.job == kModsearchJob) dynamic_cast<CModificationCluster&>(*para.engine).list_scores = ListsScores(request);
    para.spectra_process->spectrum_source = &spectrum_files;

    const auto engine_started = std::chrono::steady_clock::now();
    double writing_seconds = 0.0;
    Clustering made;
    RunSummary summary;
    {
        const ScopedWorkingDirectory in_staging(out.staging());
        if (input.spilled && clustering) {
            summary.crossings = ClusterSpilled(request, settings, input, para, out.staging(), settings.cluster_result,
                                               summary);
        } else if (input.spilled) {
            const ElapsedTicker ticker("searching pairs");
            summary.crossings = SearchSpilled(input, para);
        } else if (clustering && !request.specified_run) {
            made = ClusterAndWrite(request, input, para, out.staging(), settings.cluster_result, writing_seconds);
        } else {
            const ElapsedTicker ticker(clustering ? "clustering" : "searching pairs");
            if (request.job == kShiftSearchJob) {
                dynamic_cast<CModificationCluster&>(*para.engine).RunShiftSearch(input.spectra, para.similarity,
                                                                                 para.peak_select);
            } else {
                para.engine->Run(input.spectra, para.similarity, para.peak_select);
            }
        }
        std::fflush(stdout);
    }
    const double engine_seconds = SecondsSince(engine_started) - writing_seconds;
    // The engine reports a file it cannot open only on the standard output, and does not
    // check its writes: the files must be whole and the device must not have run full.
    RequireWholeFile(out.staging() / settings.cluster_result);
    if (request.job == kModsearchJob) {
        if (ListsScores(request)) RequireWholeFile(out.staging() / kScoreFile);
        RequireWholeFile(out.staging() / kMassDifferences);
        if (!request.specified_run) {
            WriteScoreHistogram(out.staging() / kScoreHistogram,
                                dynamic_cast<const CModificationCluster&>(*para.engine).score_counts());
        }
    }
    RequireSpaceLeft(out.path());
    if (input.spilled) {
        summary.spilled_bytes = input.spilled->bytes();
        summary.spill_buckets = input.spilled->bucket_count();
        summary.memory = spill.memory;
        std::error_code ec;
        fs::remove_all(spill.directory, ec);
    }
    // The mass-difference groups are read for the summary before they move.
    if (clustering && input.spilled) {
        // Counted part by part.
    } else if (clustering) {
        const Clustering& result =
            request.specified_run ? dynamic_cast<const CHierarchicalCluster&>(*para.engine).last_clustering() : made;
        const bool dta_files = request.specified_run || request.cluster.dta;
        summary.AddClusters(input.spectra, result,
                            dta_files ? std::optional(settings.consensus_type) : std::nullopt);
    } else {
        const std::vector<ListedPair>& pairs = dynamic_cast<const CModificationCluster&>(*para.engine).last_pairs();
        summary.AddPairs(pairs.size(), request.job == kModsearchJob ? out.staging() / kMassDifferences : fs::path());
        if (!request.specified_run) {
            const auto writing_started = std::chrono::steady_clock::now();
            summary.offsets = WriteOffsetProfile(request, settings, pairs, records, out.staging());
            writing_seconds = SecondsSince(writing_started);
            summary.unimod = UnimodFile(request);
        }
    }
    summary.files_written = out.Commit();

    summary.command = request.command;
    summary.files = input.files;
    summary.spectra = records;
    summary.out_directory = out.path();
    summary.renamed = input.renamed;
    ListOutputs(request, settings, summary);
    summary.seconds = SecondsSince(started);
    summary.reading_seconds = reading_seconds;
    summary.engine_seconds = engine_seconds;
    summary.writing_seconds = writing_seconds;
    // The modification search leaves its progress text without a line end.
    if (request.job == kModsearchJob && records >= 10) std::printf("\n");
    summary.Print();
    KeepUntilExit(std::make_shared<const InputSpectra>(std::move(input)));
    KeepUntilExit(std::make_shared<const Clustering>(std::move(made)));
}

}  // namespace speclink::cli
