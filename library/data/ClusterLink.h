#pragma once

#include <cstdint>
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

}  // namespace speclink
