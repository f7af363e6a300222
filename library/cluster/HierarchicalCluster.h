#pragma once

#include <string>
#include <vector>

#include "data/ClusterLink.h"
#include "params/Cluster.h"

namespace speclink {

/// Cluster_Type 0: sweeps the spectrum list into precursor groups (one charge, precursor
/// masses within `precursor_ion_tol` of the group's first spectrum), clusters each group
/// by single linkage above `threshold`, and hands the clustering to the consensus step.
class CHierarchicalCluster : public CCluster {
public:
    CHierarchicalCluster(CSpectraProcess* process, CRepresentativeSpectra* representatives,
                         double precursor_tol, Tolerance_Type precursor_tol_type, double threshold_value)
        : CCluster(process, representatives, precursor_tol, precursor_tol_type, threshold_value,
                   CLUSTER_HIERARCHICAL) {}

    /// `spectra` must be in sweep order: spectra that belong together adjacent.
    void Run(const std::vector<CSpectrum>& spectra, CSimilarity* similarity,
             CPeakSelect* peak_select) override;

    /// Clusters one precursor group. Appends one link per member (positions local to the
    /// group) to `links` and one representative per cluster to `representatives`. Switches
    /// the scorer to "Dot Product" at 0.5 Da.
    void ClusterGroup(const std::vector<CSpectrum>& group, ClusterLinkList& links, CSimilarity* similarity,
                      RepresentativeList& representatives, CPeakSelect* peak_select) const;

    /// Copies a spectrum file from the data directory into the output directory.
    void CopySpectrumFile(std::string file_name) const;
};

}  // namespace speclink
