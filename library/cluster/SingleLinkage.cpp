#include "cluster/SingleLinkage.h"

#include <algorithm>
#include <cmath>

namespace speclink {

namespace {

constexpr double kScoreScale = 10000.0;

// Highest link in the working triangle, searched pair by pair: d ascending, then e
// ascending. Only a link above 0 becomes the best pair.
struct BestLink {
    ScaledScore score = 0;
    size_t first = 0;
    size_t second = 0;
};

BestLink FindBestLink(const ScoreTriangle& working, size_t n) {
    BestLink best;
    for (size_t d = 0; d < n; ++d) {
        for (size_t e = d + 1; e < n; ++e) {
            const ScaledScore score = working[PackedIndex(e, d)];
            if (score > best.score) best = {score, d, e};
        }
    }
    return best;
}

}  // namespace

ScaledScore ScaleScore(double score) {
    const double scaled = std::trunc(score * kScoreScale);
    if (!std::isfinite(scaled)) return 0;
    // fmod of a whole number is exact, so this is the value modulo 2^16 for any magnitude.
    double low = std::fmod(scaled, 65536.0);
    if (low < 0.0) low += 65536.0;
    return static_cast<ScaledScore>(static_cast<uint16_t>(low));
}

ScaledScore ScaleThreshold(double threshold) {
    const double scaled = std::trunc(threshold * kScoreScale);
    if (!(scaled > 0.0)) return 0;
    return static_cast<ScaledScore>(std::min(scaled, 32767.0));
}

void MergeSingleLinkage(ScoreTriangle& working, ScaledScore threshold, ClusterLinkList& links) {
    const size_t n = links.size();
    BestLink best = FindBestLink(working, n);
    while (best.score > threshold) {
        const size_t bi = best.first;
        const size_t bj = best.second;

        // Append bj's chain to the end of bi's chain and relabel it.
        size_t last = bi;
        while (links[last].next != -1) last = static_cast<size_t>(links[last].next);
        links[last].next = static_cast<int32_t>(bj);
        const int32_t head = links[bi].cluster;
        for (int32_t member = static_cast<int32_t>(bj); member != -1; member = links[member].next) {
            links[member].cluster = head;
        }

        // The merged cluster keeps the better link of either part to every other cluster;
        // bj leaves the triangle.
        working[PackedIndex(bj, bi)] = -1;
        for (size_t c = 0; c < n; ++c) {
            ScaledScore& toward_bi = working[PackedIndex(c, bi)];
            ScaledScore& toward_bj = working[PackedIndex(c, bj)];
            toward_bi = std::max(toward_bi, toward_bj);
            toward_bj = -1;
        }

        best = FindBestLink(working, n);
    }
}

void PickRepresentatives(const ScoreTriangle& reference, const ClusterLinkList& links,
                         RepresentativeList& representatives) {
    const size_t n = links.size();
    std::vector<uint8_t> visited(n, 0);
    std::vector<int32_t> members;
    for (size_t k = 0; k < n; ++k) {
        if (visited[k] != 0) continue;
        members.clear();
        for (int32_t member = static_cast<int32_t>(k); member != -1; member = links[member].next) {
            visited[member] = 1;
            members.push_back(member);
        }

        int32_t representative = members.front();
        int32_t best_sum = 0;
        if (members.size() > 1) {
            for (const int32_t m : members) {
                // 32-bit sum, wrapping as such a sum does on overflow.
                uint32_t sum_bits = 0;
                for (const int32_t q : members) {
                    if (q != m) sum_bits += static_cast<uint32_t>(static_cast<int32_t>(reference[PackedIndex(m, q)]));
                }
                const auto sum = static_cast<int32_t>(sum_bits);
                if (sum > best_sum) {
                    best_sum = sum;
                    representative = m;
                }
            }
        }
        representatives.push_back(representative);
    }
}

}  // namespace speclink
