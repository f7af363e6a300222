#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "speclink/cli/InputSpectra.h"
#include "speclink/cli/OffsetReport.h"
#include "speclink/library/cluster/HierarchicalCluster.h"

namespace speclink::cli {

/// "<path>: <n> spectra, <n> records, <n> skipped (<why>)" for one input.
std::string DescribeRead(const InputFileReport& file);

/// The closing report of a run, printed on standard output after the engine's own text.
struct RunSummary {
    std::string command;
    std::vector<InputFileReport> files;
    size_t spectra = 0;
    std::filesystem::path out_directory;
    /// The outputs, each with what it holds, in the order shown.
    std::vector<std::pair<std::string, std::string>> outputs;
    size_t files_written = 0;
    size_t renamed = 0;  ///< records renamed to keep names unique
    double seconds = 0.0;
    double reading_seconds = 0.0;  ///< of `seconds`, reading the inputs
    double engine_seconds = 0.0;   ///< of `seconds`, the engine's run
    double writing_seconds = 0.0;  ///< of `seconds`, writing the command's own files after the run
    // Records spilled to disk: how much, in how many buckets, under which memory bound, and
    // how often a precursor group (clustering) or a piece's partners (modification search)
    // crossed a bucket edge.
    uint64_t spilled_bytes = 0;
    std::size_t spill_buckets = 0;
    uint64_t memory = 0;
    std::size_t crossings = 0;

    // Clustering.
    bool clustering = false;
    size_t clusters = 0;
    size_t multi_clusters = 0;     ///< clusters of two or more spectra
    size_t largest_cluster = 0;
    size_t clustered_spectra = 0;  ///< in clusters of two or more
    size_t consensus_files = 0;    ///< distinct names among the consensus spectra
    // Modification search: the pairs listed and the mass-difference groups.
    size_t pairs = 0;
    std::vector<std::pair<std::string, std::string>> top_mass_differences;  ///< (mean Da, count)
    size_t mass_difference_groups = 0;
    std::vector<NamedOffset> offsets;  ///< the profile, most pairs first
    std::string unimod;                ///< the Unimod file that named it, empty for none

    /// The cluster counts; with `dta_consensus` (the consensus type of a run that wrote DTA
    /// files) also how many consensus DTA files kept a name of their own.
    void AddClusters(const std::vector<CSpectrum>& spectra, const Clustering& clustering,
                     std::optional<Representative_Spectra> dta_consensus);
    void AddPairs(size_t listed, const std::filesystem::path& mass_differences);
    void Print() const;
};

}  // namespace speclink::cli
