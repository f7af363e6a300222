#pragma once

#include "speclink/library/params/Cluster.h"

namespace speclink {

/// Builds the engine of a Cluster_Type.
class CClusterFactory {
public:
    /// A new engine, or null for a cluster type other than 0 and 1. The caller owns it.
    CCluster* CreateCluster(CSpectraProcess* process, CRepresentativeSpectra* representatives,
                            Cluster_Type type, double precursor_tol, Tolerance_Type precursor_tol_type,
                            double threshold) const;
};

}  // namespace speclink
