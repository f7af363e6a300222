#include "speclink/cli/EngineRun.h"

#include <algorithm>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <future>
#include <memory>
#include <stdexcept>
#include <system_error>

#include "speclink/cli/ClusterOutputs.h"
#include "speclink/cli/OffsetReport.h"
#include "speclink/formats/UnimodReader.h"
#include "speclink/library/modification/MassOffsetProfile.h"
#include "speclink/cli/CommandErrors.h"
#include "speclink/cli/GroupLimit.h"
#include "speclink/cli/InputSpectra.h"
#include "speclink/cli/InputSpectrumFiles.h"
#include "speclink/cli/MemoryBound.h"
#include "speclink/cli/SpilledRun.h"
#include "speclink/cli/Interruption.h"
#include "speclink/cli/OutputCheck.h"
#include "speclink/cli/OutputDirectory.h"
#include "speclink/cli/ProcessEnd.h"
#include "speclink/cli/ProgressBar.h"
#include "speclink/cli/RunSummary.h"
#include "speclink/cli/ScopedWorkingDirectory.h"
#include "speclink/library/cluster/HierarchicalCluster.h"
#include "speclink/library/cluster/PrecursorSweep.h"
#include "speclink/library/cluster/SingleLinkage.h"
#include "speclink/library/consensus/RepresentativeSpectra.h"
#include "speclink/library/data/SpectraProcess.h"
#include "speclink/library/modification/ModificationCluster.h"
#include "speclink/library/params/Para.h"

namespace speclink::cli {

namespace fs = std::filesystem;

namespace {

constexpr const char* kClusterResultDefault = "clusters.csv";
constexpr const char* kPairListDefault = "pairs.csv";
constexpr const char* kParametersUsed = "speclink.params";
constexpr const char* kScoreFile = "score.txt";
constexpr const char* kScoreHistogram = "score_histogram.tsv";
constexpr const char* kMassDifferences = "temp.temp";
constexpr const char* kClusterTable = "clusters.tsv";
constexpr const char* kConsensusMgf = "consensus.mgf";
constexpr const char* kRepresentativesMgf = "representatives.mgf";
constexpr const char* kOffsetTable = "offsets.tsv";
constexpr const char* kOffsetPlot = "offsets.svg";
constexpr const char* kReport = "report.html";
// Offsets named in the plot.
constexpr std::size_t kLabelledOffsets = 10;

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The result file is named relative to the output directory and stays inside it, so that a
// run never writes a file elsewhere.
void RequireResultName(const std::string& name) {
    const fs::path relative = fs::path(name).lexically_normal();
    const bool escapes = std::any_of(relative.begin(), relative.end(), [](const fs::path& part) { return part == ".."; });
    if (relative.is_absolute() || escapes || relative.has_parent_path() || relative.filename().empty()) {
        throw UsageError("the result file '" + name + "' must be a plain file name: it is written into the output "
                         "directory");
    }
}

// No output may land on an input: results are only written into the output directory.
void RequireInputsOutside(const std::vector<std::string>& inputs, const fs::path& out) {
    for (const std::string& path : inputs) {
        std::error_code ec;
        const fs::path input = fs::weakly_canonical(path, ec);
        const bool inside = fs::is_directory(input, ec) ? input == out : input.parent_path() == out;
        if (inside) {
            throw UsageError("the input " + path + " lies where results are written (" + out.string() +
                             "); choose another output directory so that no input is overwritten");
        }
    }
}

// The settings used, as a parameter file that reads back to exactly them, with the inputs
// and the command line as comments.
void WriteParametersUsed(const Settings& settings, const fs::path& path, const EngineRequest& request) {
    std::ofstream file(path, std::ios::binary);
    file << SettingsFileText(settings);
    file << "# written by: " << request.command_line << "\n";
    for (const std::string& input : request.inputs) file << "# input: " << fs::absolute(input).string() << "\n";
    // Buffered output fails only when it reaches the file: on a full device at close.
    file.close();
    if (file.fail()) throw OutputError("cannot write " + path.string());
}

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

// Whether the modification search writes score.txt: the engine's own run does, the command
// on request.
bool ListsScores(const EngineRequest& request) { return request.specified_run || request.modsearch.raw_scores; }

// How often each value of score.txt occurs: "sqrt_score" as score.txt writes it, "pairs",
// one line per value that occurs, ascending.
void WriteScoreHistogram(const fs::path& path, const std::vector<uint64_t>& counts) {
    std::string text = "sqrt_score\tpairs\n";
    for (std::size_t value = 0; value < counts.size(); ++value) {
        if (counts[value] == 0) continue;
        char line[64];
        std::snprintf(line, sizeof line, "%zu.%04zu\t%llu\n", value / 10000, value % 10000,
                      static_cast<unsigned long long>(counts[value]));
        text += line;
    }
    std::ofstream file(path, std::ios::binary);
    file << text;
    file.close();
    if (file.fail()) throw OutputError("cannot write " + path.string());
}

// The names a run is sure to write, for the check of the output directory.
std::vector<std::string> PlannedNames(const EngineRequest& request, const std::string& result) {
    std::vector<std::string> names = {result, kParametersUsed};
    if (request.job == kModsearchJob) {
        if (ListsScores(request)) names.push_back(kScoreFile);
        if (!request.specified_run) names.push_back(kScoreHistogram);
        names.push_back(kMassDifferences);
    }
    if (request.job != kClusterJob && !request.specified_run) {
        names.push_back(kOffsetTable);
        names.push_back(kOffsetPlot);
        names.push_back(kReport);
    }
    if (request.job == kClusterJob && !request.specified_run) {
        names.push_back(kClusterTable);
        names.push_back(kConsensusMgf);
        if (request.cluster.representatives) names.push_back(kRepresentativesMgf);
    }
    return names;
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

// The Unimod file the profile is named from: the one given, else Debian's when installed;
// empty when there is none.
std::string UnimodFile(const EngineRequest& request) {
    if (!request.modsearch.unimod.empty()) return request.modsearch.unimod;
    std::error_code ec;
    return fs::exists(kDebianUnimod, ec) ? kDebianUnimod : "";
}

// The mass-offset profile of the search's pairs, named from Unimod, as offsets.tsv,
// offsets.svg and report.html.
std::vector<NamedOffset> WriteOffsetProfile(const EngineRequest& request, const Settings& settings,
                                            const std::vector<ListedPair>& pairs, std::size_t spectra,
                                            const fs::path& staging) {
    const std::string unimod_path = UnimodFile(request);
    Unimod unimod;
    if (!unimod_path.empty()) {
        try {
            unimod = ReadUnimod(unimod_path);
        } catch (const std::system_error& error) {
            throw InputError(unimod_path + ": " + error.what());
        }
    }
    std::vector<NamedOffset> offsets;
    for (const MassOffset& offset : PickMassOffsets(pairs, {request.modsearch.offset_width, 2})) {
        offsets.push_back({offset, AnnotateOffset(offset.apex, unimod.modifications, unimod.residues,
                                                  request.modsearch.offset_tol)});
    }
    WriteOffsetTable(staging / kOffsetTable, offsets);
    const bool shift_search = request.job == kShiftSearchJob;
    const double lowest = shift_search ? 6.0 : std::max(0.0, static_cast<double>(settings.lower_mass));
    const double highest = shift_search ? 200.0 : static_cast<double>(settings.upper_mass);
    const std::string plot = OffsetPlot(offsets, lowest, highest, kLabelledOffsets);
    {
        std::ofstream svg(staging / kOffsetPlot, std::ios::binary);
        svg << plot;
        svg.close();
        if (!svg) throw OutputError("cannot write " + (staging / kOffsetPlot).string());
    }
    std::vector<std::pair<std::string, std::string>> shown = {
        {"command", request.command_line},
        {"spectra", std::to_string(spectra)},
        {"pairs listed", std::to_string(pairs.size())},
        {"method", shift_search ? "Dot Product Mod at the best whole-number shift"
                                : SimilarMethodNames[settings.similar_method]},
        {"fragment tolerance", shift_search ? "0.5Da" : FormatTolerance(settings.fragment_ion_tol)},
        {"threshold", std::to_string(settings.threshold)},
        {"mass window", std::to_string(static_cast<int>(lowest)) + " to " + std::to_string(static_cast<int>(highest)) + " Da"},
        {"peak selection", std::to_string(settings.peak_select_method) + " (" + std::to_string(settings.whole_top_peak_num) +
                               ", " + std::to_string(settings.part_top_peak_num) + " per " +
                               std::to_string(settings.part_top_peak_per_num) + " Th)"},
        {"spectrum order", request.keep_order ? "as read" : "charge, then precursor mass, highest first"},
        {"offset smoothing", std::to_string(request.modsearch.offset_width) + " Da"},
        {"Unimod", unimod_path.empty() ? "none found: offsets without names" : unimod_path},
    };
    for (const std::string& input : request.inputs) shown.push_back({"input", fs::absolute(input).string()});
    WriteReport(staging / kReport, "speclink " + request.command + ": mass offsets", plot, offsets, shown);
    return offsets;
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
    auto& outputs = summary.outputs;
    if (clustering && !request.specified_run) {
        outputs.push_back({kClusterTable, "one line per spectrum: its cluster, whether it represents it, source file, "
                                          "native id, scan, title, charge, m/z, retention time"});
        outputs.push_back({kConsensusMgf, std::to_string(summary.multi_clusters) + " consensus spectra" +
                                              (request.cluster.mgf_singles ? " and the single spectra" : "")});
        if (request.cluster.representatives) outputs.push_back({kRepresentativesMgf, "one representative per cluster"});
    }
    if (clustering) outputs.push_back({settings.cluster_result, "the cluster list: line, name, cluster, [M+H]+"});
    if (request.job == kModsearchJob || request.job == kShiftSearchJob) {
        outputs.push_back({settings.cluster_result, std::to_string(summary.pairs) + " pairs above the threshold"});
    }
    if (request.job == kModsearchJob) {
        if (ListsScores(request)) outputs.push_back({kScoreFile, "square roots of the pair scores above 0.0001"});
        if (!request.specified_run) {
            outputs.push_back({kScoreHistogram, "how many pairs scored each square root of a score above 0.0001"});
        }
        outputs.push_back({kMassDifferences, "mass differences of the pairs, grouped and counted"});
    }
    if (!clustering && !request.specified_run) {
        outputs.push_back({kOffsetTable, std::to_string(summary.offsets.size()) + " mass offsets, most pairs first" +
                                             (summary.unimod.empty() ? " (no Unimod file: without names)" : ", named from Unimod")});
        outputs.push_back({kOffsetPlot, "the offsets plotted"});
        outputs.push_back({kReport, "plot, offsets and settings on one page"});
    }
    outputs.push_back({kParametersUsed, "the settings used, the inputs and the command line"});
    if (summary.files_written > outputs.size()) {
        outputs.push_back({"*.dta", std::to_string(summary.files_written - outputs.size()) + " spectrum files"});
    }
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
