#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace speclink {

/// The clustering result of one spectrum. A cluster is a chain: it starts at its first
/// (lowest-positioned) member and follows `next` until -1.
struct ClusterLink {
    int32_t cluster = 0;  ///< position of the cluster's first member
    int32_t next = -1;    ///< position of the following member, or -1

    friend bool operator==(const ClusterLink&, const ClusterLink&) = default;
};

using ClusterLinkList = std::vector<ClusterLink>;

/// Positions in the spectrum list, one representative per cluster.
using RepresentativeList = std::vector<int32_t>;

/// The clusters of a link list, each as the members its chain visits, in chain order;
/// clusters in ascending order of their first member.
struct ClusterWalks {
    std::vector<int32_t> members;   ///< the walks one after the other
    std::vector<std::size_t> starts;  ///< where each walk begins in `members`, then the end

    std::size_t size() const { return starts.size() - 1; }
    std::span<const int32_t> operator[](std::size_t cluster) const {
        return {members.data() + starts[cluster], starts[cluster + 1] - starts[cluster]};
    }
};

/// Walks every chain of `links` from its first member (the chains must be acyclic and
/// every position on exactly one of them).
ClusterWalks WalkClusters(const ClusterLinkList& links);

}  // namespace speclink
