#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "speclink/cli/InputSpectra.h"
#include "speclink/library/cluster/HierarchicalCluster.h"

namespace speclink::cli {

/// A clustering made at one threshold of a sweep, for an extra column of the cluster table.
struct SweepClustering {
    double threshold;
    const Clustering* clustering;
};

/// Writes the cluster table: a header, then one line per record, clusters in the order of
/// the cluster result file (ascending first member) and members in chain order. Columns:
/// cluster, cluster_size, representative (1 or 0), source_file, native_id, scan, title,
/// charge, precursor_mz, retention_time (s), file_name (as in the cluster result file), then
/// one "cluster_at_T" column per sweep threshold. Tabs and line breaks in text become blanks.
/// Lines are made on up to `threads` threads; the file does not depend on the count.
void WriteClusterTable(const std::filesystem::path& path, const InputSpectra& input, const Clustering& clustering,
                       const std::vector<SweepClustering>& sweep, int threads = 1);

/// What consensus.mgf holds besides the consensus spectra.
struct ConsensusMgfOptions {
    bool singles = false;  ///< also every spectrum alone in its cluster, as read
    int threads = 1;       ///< threads that make the entries; the file is the same for every count
};

/// Writes consensus.mgf: one entry per cluster of two or more spectra, in cluster order,
/// with the peaks and precursor of the consensus step (the numbers its DTA files hold),
/// TITLE, CLUSTER_ID, CLUSTER_SIZE, PEPMASS (the m/z of the consensus [M+H]+ at the
/// cluster's charge), PRECURSOR_MH, CHARGE and RTINSECONDS (the members' median). Returns
/// the number of consensus entries.
std::size_t WriteConsensusMgf(const std::filesystem::path& path, const InputSpectra& input,
                              const Clustering& clustering, const ConsensusMgfOptions& options);

/// Writes each cluster's representative as read, with its cluster number, as MGF.
void WriteRepresentativesMgf(const std::filesystem::path& path, const InputSpectra& input,
                             const Clustering& clustering);

/// The DTA files the consensus step of `consensus_type` would write, by name; throws
/// UsageError naming the first name that two of them share (a later file would replace an
/// earlier one).
void RequireDistinctDtaNames(const std::vector<CSpectrum>& spectra, const Clustering& clustering,
                             Representative_Spectra consensus_type);

/// Thresholds given as "from:to:step" (inclusive, e.g. 0.3:0.9:0.05) or as a comma list;
/// throws std::invalid_argument for anything else or a value outside 0 to 1.
std::vector<double> ParseThresholds(const std::string& text);

}  // namespace speclink::cli
