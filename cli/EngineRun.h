#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "speclink/cli/SettingOptions.h"
#include "speclink/library/params/Settings.h"

namespace speclink::cli {

/// Largest precursor group clustered by default. A group of n spectra takes n (n - 1) / 2
/// scores and a score triangle of n (n + 1) bytes: at this size 5e7 scores (minutes to tens
/// of minutes) and 0.1 GB. Memory would allow far more; time is the bound.
inline constexpr size_t kDefaultMaxGroupSize = 10000;

/// What `speclink cluster` writes besides the cluster result file.
struct ClusterRequest {
    bool dta = false;              ///< the consensus step's DTA files, as consensus_type says
    bool mgf_singles = false;      ///< consensus.mgf also holds the single spectra
    bool representatives = false;  ///< representatives.mgf
    std::vector<double> sweep;     ///< more thresholds, one extra column each in clusters.tsv
};

/// What `speclink modsearch` writes besides the pair list: the mass-offset profile.
struct ModsearchRequest {
    std::string unimod;           ///< Unimod XML file; empty: Debian's, when installed
    double offset_width = 0.01;   ///< Da, half width of the smoothing of the mass differences
    double offset_tol = 0.02;     ///< Da, how far a named modification may lie from an offset
    bool raw_scores = false;      ///< score.txt besides score_histogram.tsv
};

/// A clustering or modification-search run of the command line: which inputs, where the
/// results go, and how the spectra are read and ordered.
struct EngineRequest {
    Settings settings;
    Job job = kClusterJob;
    std::vector<std::string> inputs;
    std::filesystem::path out_directory;
    std::vector<int> assign_charges;
    bool keep_order = false;     ///< keep the input order instead of the job's own (OrderForClustering, ...)
    bool overwrite = false;      ///< replace the outputs of an earlier run in the output directory
    int threads = 1;             ///< worker threads of the engine; outputs do not depend on it
    /// `speclink run`: the engine's own run, which writes exactly its specified files.
    bool specified_run = false;
    ClusterRequest cluster;
    ModsearchRequest modsearch;
    std::string command;         ///< the subcommand, shown in the summary
    std::string command_line;    ///< recorded in speclink.params
    /// Clustering: the largest precursor group run; a larger one is refused before any work.
    size_t max_group_size = kDefaultMaxGroupSize;
    /// Bytes the records may take in memory before they spill to disk; 0: DefaultMemoryBound.
    uint64_t memory = 0;
    /// Where spilled records go; empty: inside the staging directory.
    std::filesystem::path spill_directory;
};

/// Reads the inputs, runs the engine in a staging directory inside the output directory,
/// moves the finished files into place, writes the parameters used there and prints a
/// summary. Throws the errors of CommandErrors.h or FormatError.
void RunEngine(const EngineRequest& request);

}  // namespace speclink::cli
