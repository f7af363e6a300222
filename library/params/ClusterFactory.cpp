#include "speclink/library/params/ClusterFactory.h"

#include "speclink/library/cluster/HierarchicalCluster.h"
#include "speclink/library/modification/ModificationCluster.h"

namespace speclink {

CCluster* CClusterFactory::CreateCluster(CSpectraProcess* process, CRepresentativeSpectra* representatives,
                                         Cluster_Type type, double precursor_tol,
                                         Tolerance_Type precursor_tol_type, double threshold) const {
    switch (type) {
        case CLUSTER_HIERARCHICAL:
            return new CHierarchicalCluster(process, representatives, precursor_tol, precursor_tol_type,
                                            threshold);
        case CLUSTER_MODIFICATION:
            return new CModificationCluster(process, precursor_tol, precursor_tol_type, threshold, 1);
    }
    return nullptr;
}

}  // namespace speclink
