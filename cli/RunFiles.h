#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "speclink/cli/EngineRun.h"
#include "speclink/cli/OffsetReport.h"
#include "speclink/cli/RunSummary.h"
#include "speclink/library/modification/ModificationCluster.h"
#include "speclink/library/params/Settings.h"

namespace speclink::cli {

// The files of a run besides the engine's own, and the checks on where they go, shared by
// the hosts that run the engines.

inline constexpr const char* kClusterResultDefault = "clusters.csv";
inline constexpr const char* kPairListDefault = "pairs.csv";
inline constexpr const char* kParametersUsed = "speclink.params";
inline constexpr const char* kScoreFile = "score.txt";
inline constexpr const char* kScoreHistogram = "score_histogram.tsv";
inline constexpr const char* kMassDifferences = "temp.temp";
inline constexpr const char* kClusterTable = "clusters.tsv";
inline constexpr const char* kConsensusMgf = "consensus.mgf";
inline constexpr const char* kRepresentativesMgf = "representatives.mgf";
inline constexpr const char* kOffsetTable = "offsets.tsv";
inline constexpr const char* kOffsetPlot = "offsets.svg";
inline constexpr const char* kReport = "report.html";

inline double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

/// The result file is named relative to the output directory and stays inside it, so that a
/// run never writes a file elsewhere; throws UsageError otherwise.
void RequireResultName(const std::string& name);

/// No output may land on an input: throws UsageError when an input lies in `out`.
void RequireInputsOutside(const std::vector<std::string>& inputs, const std::filesystem::path& out);

/// The settings used, as a parameter file that reads back to exactly them, with the inputs
/// and the command line as comments.
void WriteParametersUsed(const Settings& settings, const std::filesystem::path& path, const EngineRequest& request);

/// Whether the modification search writes score.txt: the engine's own run does, the command
/// on request.
bool ListsScores(const EngineRequest& request);

/// How often each value of score.txt occurs (CModificationCluster::score_counts):
/// "sqrt_score" as score.txt writes it, "pairs", one line per value that occurs, ascending.
void WriteScoreHistogram(const std::filesystem::path& path, const std::vector<uint64_t>& counts);

/// The names a run is sure to write, for the check of the output directory.
std::vector<std::string> PlannedNames(const EngineRequest& request, const std::string& result);

/// The Unimod file the profile is named from: the one given, else Debian's when installed;
/// empty when there is none.
std::string UnimodFile(const EngineRequest& request);

/// The mass-offset profile of the search's pairs (the request's smoothing), each offset named
/// from Unimod (UnimodFile), most pairs first. Throws InputError for a Unimod file that
/// cannot be read.
std::vector<NamedOffset> NamedMassOffsets(const EngineRequest& request, const std::vector<ListedPair>& pairs);

/// The mass-offset profile of the search's pairs, named from Unimod, as offsets.tsv,
/// offsets.svg and report.html in `directory`.
std::vector<NamedOffset> WriteOffsetProfile(const EngineRequest& request, const Settings& settings,
                                            const std::vector<ListedPair>& pairs, std::size_t spectra,
                                            const std::filesystem::path& directory);

/// The outputs of the run for the summary, each with what it holds, from its counts.
void ListOutputs(const EngineRequest& request, const Settings& settings, RunSummary& summary);

}  // namespace speclink::cli
