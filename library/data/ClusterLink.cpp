#include "speclink/library/data/ClusterLink.h"

namespace speclink {

ClusterWalks WalkClusters(const ClusterLinkList& links) {
    ClusterWalks walks;
    walks.members.reserve(links.size());
    std::vector<bool> seen(links.size(), false);
    for (std::size_t first = 0; first < links.size(); ++first) {
        if (seen[first]) continue;
        walks.starts.push_back(walks.members.size());
        for (int32_t member = static_cast<int32_t>(first); member != -1; member = links[member].next) {
            seen[member] = true;
            walks.members.push_back(member);
        }
    }
    walks.starts.push_back(walks.members.size());
    return walks;
}

}  // namespace speclink
