// Single-linkage clustering of one precursor group.

#include <vector>

#include "speclink/library/cluster/GroupScheduler.h"
#include "speclink/library/cluster/HierarchicalCluster.h"
#include "speclink/library/cluster/SingleLinkage.h"
#include "speclink/library/scoring/Similarity.h"

namespace speclink {

void CHierarchicalCluster::ClusterGroup(const std::vector<CSpectrum>& group, ClusterLinkList& links,
                                        CSimilarity* similarity, RepresentativeList& representatives,
                                        CPeakSelect* peak_select) const {
    if (similarity != nullptr) UseMethodAtHalfDalton(*similarity, SIMILAR_DOT_PRODUCT);
    ClusterLinkList group_links(group.size());
    GroupScheduler scheduler(group, {PrecursorGroup{0, group.size(), true}}, {ScaleThreshold(threshold)}, similarity,
                             peak_select, threads, {&group_links});
    const RepresentativeList& chosen = scheduler.Wait(0).front();
    representatives.insert(representatives.end(), chosen.begin(), chosen.end());
    links.insert(links.end(), group_links.begin(), group_links.end());
}

}  // namespace speclink
