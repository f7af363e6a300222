#include "speclink/cli/RunFiles.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <system_error>

#include "speclink/cli/CommandErrors.h"
#include "speclink/formats/UnimodReader.h"
#include "speclink/library/modification/MassOffsetProfile.h"
#include "speclink/library/params/Para.h"

namespace speclink::cli {

namespace fs = std::filesystem;

namespace {

// Offsets named in the plot.
constexpr std::size_t kLabelledOffsets = 10;

}  // namespace

void RequireResultName(const std::string& name) {
    const fs::path relative = fs::path(name).lexically_normal();
    const bool escapes = std::any_of(relative.begin(), relative.end(), [](const fs::path& part) { return part == ".."; });
    if (relative.is_absolute() || escapes || relative.has_parent_path() || relative.filename().empty()) {
        throw UsageError("the result file '" + name + "' must be a plain file name: it is written into the output "
                         "directory");
    }
}

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

void WriteParametersUsed(const Settings& settings, const fs::path& path, const EngineRequest& request) {
    std::ofstream file(path, std::ios::binary);
    file << SettingsFileText(settings);
    file << "# written by: " << request.command_line << "\n";
    for (const std::string& input : request.inputs) file << "# input: " << fs::absolute(input).string() << "\n";
    // Buffered output fails only when it reaches the file: on a full device at close.
    file.close();
    if (file.fail()) throw OutputError("cannot write " + path.string());
}

bool ListsScores(const EngineRequest& request) { return request.specified_run || request.modsearch.raw_scores; }

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

std::string UnimodFile(const EngineRequest& request) {
    if (!request.modsearch.unimod.empty()) return request.modsearch.unimod;
    std::error_code ec;
    return fs::exists(kDebianUnimod, ec) ? kDebianUnimod : "";
}

std::vector<NamedOffset> NamedMassOffsets(const EngineRequest& request, const std::vector<ListedPair>& pairs) {
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
    return offsets;
}

std::vector<NamedOffset> WriteOffsetProfile(const EngineRequest& request, const Settings& settings,
                                            const std::vector<ListedPair>& pairs, std::size_t spectra,
                                            const fs::path& directory) {
    const std::string unimod_path = UnimodFile(request);
    const std::vector<NamedOffset> offsets = NamedMassOffsets(request, pairs);
    WriteOffsetTable(directory / kOffsetTable, offsets);
    const bool shift_search = request.job == kShiftSearchJob;
    const double lowest = shift_search ? 6.0 : std::max(0.0, static_cast<double>(settings.lower_mass));
    const double highest = shift_search ? 200.0 : static_cast<double>(settings.upper_mass);
    const std::string plot = OffsetPlot(offsets, lowest, highest, kLabelledOffsets);
    {
        std::ofstream svg(directory / kOffsetPlot, std::ios::binary);
        svg << plot;
        svg.close();
        if (!svg) throw OutputError("cannot write " + (directory / kOffsetPlot).string());
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
    WriteReport(directory / kReport, "speclink " + request.command + ": mass offsets", plot, offsets, shown);
    return offsets;
}

void ListOutputs(const EngineRequest& request, const Settings& settings, RunSummary& summary) {
    const bool clustering = request.job == kClusterJob;
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
}

}  // namespace speclink::cli
