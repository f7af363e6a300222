#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "speclink/cli/InputSpectra.h"
#include "speclink/library/cluster/HierarchicalCluster.h"

namespace speclink::cli {

/// What speclink cluster writes besides clusters.tsv and the cluster result file.
struct ClusterFileChoices {
    bool singles = false;          ///< consensus.mgf also holds every spectrum alone in its cluster, as read
    bool representatives = false;  ///< representatives.mgf
};

/// Where the files start when other processes write the parts before: the clusters before
/// (at the run's threshold, then at each sweep threshold), the records before, and whether
/// the table's header is written here.
struct ClusterFilesStart {
    std::vector<std::size_t> clusters;  ///< empty: none before
    std::size_t records = 0;
    bool header = true;
};

/// The files speclink cluster writes from a clustering: the cluster result file (the
/// library's lines), clusters.tsv, consensus.mgf and, when chosen, representatives.mgf. A list
/// may come whole or in consecutive parts that no precursor group crosses, for a run that
/// holds only part of its records at a time: clusters are numbered on from part to part,
/// so the files are the same either way. Lines are made on up to `threads` threads, the
/// cluster result file beside the others; the files do not depend on the count.
///
/// clusters.tsv: a header, then one line per record, clusters in the order of the cluster
/// result file (ascending first member) and members in chain order. Columns: cluster,
/// cluster_size, representative (1 or 0), source_file, native_id, scan, title, charge,
/// precursor_mz, retention_time (s), file_name (as in the cluster result file), then one
/// "cluster_at_T" column per sweep threshold. Tabs and line breaks in text become blanks.
///
/// consensus.mgf: one entry per cluster of two or more spectra, in cluster order, with the
/// peaks and precursor of the consensus step (the numbers its DTA files hold), TITLE,
/// CLUSTER_ID, CLUSTER_SIZE, PEPMASS (the m/z of the consensus [M+H]+ at the cluster's
/// charge), PRECURSOR_MH, CHARGE and RTINSECONDS (the members' median).
///
/// representatives.mgf: each cluster's representative as read, with its cluster number.
class ClusterOutputFiles {
public:
    /// Creates the files in `directory`; the cluster result file is `result_name`, or none
    /// when empty. `sweep` holds the thresholds of the extra columns of clusters.tsv.
    ClusterOutputFiles(const std::filesystem::path& directory, const std::string& result_name,
                       std::vector<double> sweep, ClusterFileChoices choices, int threads,
                       const ClusterFilesStart& start = {});
    ~ClusterOutputFiles();
    ClusterOutputFiles(const ClusterOutputFiles&) = delete;
    ClusterOutputFiles& operator=(const ClusterOutputFiles&) = delete;

    /// The lines of the next part: `part` clustered at the run's threshold
    /// (clusterings.front()), then at each sweep threshold in turn. The part's origins name
    /// inputs of `files`.
    void Append(const InputSpectra& part, const std::vector<Clustering>& clusterings);

    /// Completes the files; throws OutputError when one could not be written whole.
    void Close();

    /// Consensus entries written so far.
    std::size_t consensus_spectra() const { return consensus_spectra_; }

private:
    struct Files;

    std::unique_ptr<Files> files_;
    std::vector<double> sweep_;
    ClusterFileChoices choices_;
    int threads_;
    // Clusters written so far, at the run's threshold and at each sweep threshold.
    std::vector<std::size_t> clusters_before_;
    std::size_t consensus_spectra_ = 0;
};

/// The DTA files the consensus step of `consensus_type` would write, by name; throws
/// UsageError naming the first name that two of them share (a later file would replace an
/// earlier one).
void RequireDistinctDtaNames(const std::vector<CSpectrum>& spectra, const Clustering& clustering,
                             Representative_Spectra consensus_type);

/// Thresholds given as "from:to:step" (inclusive, e.g. 0.3:0.9:0.05) or as a comma list;
/// throws std::invalid_argument for anything else or a value outside 0 to 1.
std::vector<double> ParseThresholds(const std::string& text);

}  // namespace speclink::cli
