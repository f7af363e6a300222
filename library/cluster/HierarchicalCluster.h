#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "speclink/library/cluster/PrecursorSweep.h"
#include "speclink/library/data/ClusterLink.h"
#include "speclink/library/params/Cluster.h"

namespace speclink {

/// What a clustering run found: one link per spectrum, in list order (positions in the
/// whole list), and the representatives of the clustered groups in the order the consensus
/// step receives them, with the precursor groups of the sweep.
struct Clustering {
    ClusterLinkList links;
    RepresentativeList representatives;
    std::vector<PrecursorGroup> groups;
};

/// Cluster_Type 0: sweeps the spectrum list into precursor groups (one charge, precursor
/// masses within `precursor_ion_tol` of the group's first spectrum), clusters each group
/// by single linkage above `threshold`, and hands the clustering to the consensus step.
///
/// Behaviour at the edges of the settings:
/// - Progress ("10%.." ... without line end) is printed in steps of a tenth of the list;
///   with fewer than 10 spectra there is no such step and no progress text at all.
/// - The distance in ppm is taken relative to the spectrum being tested, not to the
///   group's first spectrum; the bound is strict. A spectrum that arrives while the group
///   is empty always opens the group, so with a tolerance <= 0 (or NaN, or a NaN distance
///   such as mass 0 in ppm) every spectrum is a group of its own. A unit other than ppm
///   counts as Da.
/// - The scaled threshold is clamped into 0..32767 before merging: a negative threshold
///   acts as 0 (every positive link merges, then merging ends) and one above 3.2767
///   merges nothing, so a chain never turns into a cycle.
/// - Members of different charges in one group (possible only when ClusterGroup is called
///   directly) are not scored; their pair holds -1, no link.
/// - A peak list whose intensities sum to 0 is left with intensities 0.0 by SqrtNormalize;
///   such a member scores 0.0 against every other and never links.
/// - Without a data directory ("Wrong data path!") or with no CSpectraProcess, Run does
///   nothing else, and CopySpectrumFile copies nothing without a CSpectraProcess. Without
///   a CRepresentativeSpectra no result file is written. A missing peak selector leaves
///   the peaks unreduced; a missing scorer scores every pair 0.0.
///
/// With `threads` above 1, groups (and the rows of a large group's pair scores) are
/// clustered on worker threads, each scoring through its own copy of the scorer, while the
/// caller's thread prints the progress, copies the single spectra and collects the results
/// in list order. The outputs are the same for every thread count; a count below 1 counts
/// as 1.
class CHierarchicalCluster : public CCluster {
public:
    CHierarchicalCluster(CSpectraProcess* process, CRepresentativeSpectra* representatives,
                         double precursor_tol, Tolerance_Type precursor_tol_type, double threshold_value)
        : CCluster(process, representatives, precursor_tol, precursor_tol_type, threshold_value,
                   CLUSTER_HIERARCHICAL) {}

    /// `spectra` must be in sweep order: spectra that belong together adjacent. Spectra
    /// alone in a group closed during the sweep are copied into the output directory; the
    /// last group is always clustered, whatever its size.
    void Run(const std::vector<CSpectrum>& spectra, CSimilarity* similarity,
             CPeakSelect* peak_select) override;

    /// The clustering Run makes of `spectra`, without a file or a word on standard output.
    /// Switches the scorer to "Dot Product" at 0.5 Da. `progress`, when given, is called on
    /// the caller's thread with the number of spectra the sweep has passed, rising to the
    /// size of the list.
    Clustering ClusterSpectra(const std::vector<CSpectrum>& spectra, CSimilarity* similarity,
                              CPeakSelect* peak_select,
                              const std::function<void(std::size_t passed)>& progress = {}) const;

    /// ClusterSpectra at each of `thresholds` in place of `threshold`, from one set of pair
    /// scores: a clustering per threshold, in the same order.
    std::vector<Clustering> ClusterSpectraAt(const std::vector<CSpectrum>& spectra, CSimilarity* similarity,
                                             CPeakSelect* peak_select, std::span<const double> thresholds,
                                             const std::function<void(std::size_t passed)>& progress = {}) const;

    /// What Run does with a finished clustering: copies the files of the spectra that stood
    /// alone in a group closed during the sweep, prints "Clustering done!" and hands the
    /// clustering to the consensus step.
    void WriteClustering(const std::vector<CSpectrum>& spectra, const Clustering& clustering) const;

    /// The clustering of the last Run (empty before the first).
    const Clustering& last_clustering() const { return last_clustering_; }

    /// Clusters one precursor group. Appends one link per member (positions local to the
    /// group) to `links` and one representative per cluster to `representatives`. Switches
    /// the scorer to "Dot Product" at 0.5 Da, also for an empty group.
    void ClusterGroup(const std::vector<CSpectrum>& group, ClusterLinkList& links, CSimilarity* similarity,
                      RepresentativeList& representatives, CPeakSelect* peak_select) const;

    /// Copies a spectrum file from the data directory into the output directory, creating
    /// the output directory (one level) when nothing exists at its path. Failures are silent.
    void CopySpectrumFile(std::string file_name) const;

private:
    Clustering last_clustering_;
};

}  // namespace speclink
