#include "speclink/library/cluster/SingleLinkage.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numeric>
#include <utility>

namespace speclink {

namespace {

constexpr double kScoreScale = 10000.0;

// A link above the threshold packed into one word: the level (32767 minus the scaled
// score, so that the highest link comes first) in the top 16 bits, then the two members,
// 24 bits each. A triangle of 2^24 members could never be held in memory.
constexpr int kLevelShift = 48;
constexpr int kMemberBits = 24;
constexpr uint64_t kMemberMask = (uint64_t{1} << kMemberBits) - 1;

uint64_t PackLink(ScaledScore score, size_t lower, size_t higher) {
    return (static_cast<uint64_t>(32767 - score) << kLevelShift) | (static_cast<uint64_t>(lower) << kMemberBits) |
           static_cast<uint64_t>(higher);
}

// The links of `scores` above `floor`, ordered by level, highest link first; the order
// within a level does not matter.
std::vector<uint64_t> LinksByLevel(const ScoreTriangle& scores, size_t n, ScaledScore floor) {
    size_t count = 0;
    for (size_t r = 1; r < n; ++r) {
        const ScaledScore* row = scores.data() + PackedIndex(r, 0);
        for (size_t c = 0; c < r; ++c) count += row[c] > floor ? 1 : 0;
    }
    std::vector<uint64_t> links;
    if (count < 4096) {
        links.reserve(count);
        for (size_t r = 1; r < n; ++r) {
            const ScaledScore* row = scores.data() + PackedIndex(r, 0);
            for (size_t c = 0; c < r; ++c) {
                if (row[c] > floor) links.push_back(PackLink(row[c], c, r));
            }
        }
        std::sort(links.begin(), links.end());
        return links;
    }
    // Many links: count them per level, then put each straight into its level's place.
    std::vector<size_t> start(32769 - static_cast<size_t>(floor), 0);
    for (size_t r = 1; r < n; ++r) {
        const ScaledScore* row = scores.data() + PackedIndex(r, 0);
        for (size_t c = 0; c < r; ++c) {
            if (row[c] > floor) ++start[static_cast<size_t>(32767 - row[c]) + 1];
        }
    }
    for (size_t level = 1; level < start.size(); ++level) start[level] += start[level - 1];
    links.resize(count);
    for (size_t r = 1; r < n; ++r) {
        const ScaledScore* row = scores.data() + PackedIndex(r, 0);
        for (size_t c = 0; c < r; ++c) {
            if (row[c] > floor) links[start[static_cast<size_t>(32767 - row[c])]++] = PackLink(row[c], c, r);
        }
    }
    return links;
}

// Union-find over the members whose root is the cluster's first member.
class ClusterHeads {
public:
    explicit ClusterHeads(size_t n) : parent_(n) { std::iota(parent_.begin(), parent_.end(), 0U); }

    uint32_t Find(uint32_t member) {
        while (parent_[member] != member) {
            parent_[member] = parent_[parent_[member]];
            member = parent_[member];
        }
        return member;
    }

    void Absorb(uint32_t head, uint32_t other) { parent_[other] = head; }

private:
    std::vector<uint32_t> parent_;
};

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

void BuildSingleLinkageChains(const ScoreTriangle& scores, ScaledScore threshold, ClusterLinkList& links) {
    const size_t n = links.size();
    const std::vector<uint64_t> above = LinksByLevel(scores, n, std::max<ScaledScore>(threshold, 0));

    // Links are taken level by level, highest first. When a level starts, no link between
    // two clusters lies above it (those merged their clusters already), and a merge keeps
    // the better link of either part, so the search over the whole triangle finds links of
    // this level until none is left between two clusters. It takes the lowest cluster d
    // that has one, and the lowest cluster linked to d: d grows through its whole
    // component of this level, always taking in next the lowest cluster linked to what it
    // holds. Components of one level never touch each other, so their order is free.
    ClusterHeads heads(n);
    std::vector<uint32_t> tail(n);
    std::iota(tail.begin(), tail.end(), 0U);
    std::vector<uint32_t> joined(n, 0);        // level stamp: cluster taken into a component
    std::vector<uint32_t> listed(n, 0);        // level stamp: neighbour range below is valid
    std::vector<uint32_t> neighbours_begin(n);
    std::vector<uint32_t> neighbours_end(n);
    std::vector<std::pair<uint32_t, uint32_t>> pairs;  // (cluster, linked cluster), both ways
    std::vector<uint32_t> frontier;                    // min-heap of linked clusters
    uint32_t stamp = 0;

    const auto push_neighbours = [&](uint32_t cluster) {
        for (uint32_t k = neighbours_begin[cluster]; k < neighbours_end[cluster]; ++k) {
            const uint32_t other = pairs[k].second;
            if (joined[other] == stamp) continue;
            frontier.push_back(other);
            std::push_heap(frontier.begin(), frontier.end(), std::greater<>());
        }
    };

    for (size_t first = 0; first < above.size();) {
        const uint64_t level = above[first] >> kLevelShift;
        pairs.clear();
        size_t last = first;
        for (; last < above.size() && (above[last] >> kLevelShift) == level; ++last) {
            const uint32_t a = heads.Find(static_cast<uint32_t>((above[last] >> kMemberBits) & kMemberMask));
            const uint32_t b = heads.Find(static_cast<uint32_t>(above[last] & kMemberMask));
            if (a == b) continue;
            pairs.emplace_back(a, b);
            pairs.emplace_back(b, a);
        }
        first = last;
        if (pairs.empty()) continue;

        ++stamp;
        std::sort(pairs.begin(), pairs.end());
        for (uint32_t k = 0; k < pairs.size(); ++k) {
            const uint32_t cluster = pairs[k].first;
            if (listed[cluster] != stamp) {
                listed[cluster] = stamp;
                neighbours_begin[cluster] = k;
            }
            neighbours_end[cluster] = k + 1;
        }
        for (const auto& [start, unused] : pairs) {
            if (joined[start] == stamp) continue;
            joined[start] = stamp;
            frontier.clear();
            push_neighbours(start);
            while (!frontier.empty()) {
                std::pop_heap(frontier.begin(), frontier.end(), std::greater<>());
                const uint32_t next = frontier.back();
                frontier.pop_back();
                if (joined[next] == stamp) continue;
                joined[next] = stamp;
                // The chain of `next` goes behind the chain of `start`.
                links[tail[start]].next = static_cast<int32_t>(next);
                tail[start] = tail[next];
                heads.Absorb(start, next);
                push_neighbours(next);
            }
        }
    }
    for (size_t member = 0; member < n; ++member) {
        links[member].cluster = static_cast<int32_t>(heads.Find(static_cast<uint32_t>(member)));
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
