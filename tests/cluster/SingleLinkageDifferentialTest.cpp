// The level-by-level merge against the plain merge that searches the whole triangle after
// every merge: same chains, same chain order, same triangle left behind.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "speclink/tests/cluster/ReferenceClustering.h"
#include "speclink/library/cluster/SingleLinkage.h"

namespace speclink {
namespace {

ClusterLinkList Singletons(size_t n) {
    ClusterLinkList links;
    for (size_t k = 0; k < n; ++k) links.push_back({static_cast<int32_t>(k), -1});
    return links;
}

// A random triangle whose links take few distinct values, so that equal best links are
// the rule: -1 (no link), 0, or a multiple of `step` up to 5 steps; the diagonal is -1.
ScoreTriangle CoarseTriangle(size_t n, int step, std::mt19937_64& random) {
    std::uniform_int_distribution<int> value(-2, 5);
    ScoreTriangle triangle(n * (n + 1) / 2, -1);
    for (size_t r = 0; r < n; ++r) {
        for (size_t c = 0; c < r; ++c) {
            const int v = value(random);
            triangle[PackedIndex(r, c)] = static_cast<ScaledScore>(v < 0 ? v + 1 : v * step);
        }
    }
    return triangle;
}

void ExpectSameMerge(const ScoreTriangle& triangle, ScaledScore threshold, const std::string& what) {
    const size_t n = static_cast<size_t>(std::sqrt(2.0 * static_cast<double>(triangle.size())));
    ScoreTriangle plain_working = triangle;
    ClusterLinkList plain = Singletons(n);
    reference::ReferenceMergeSingleLinkage(plain_working, threshold, plain);

    ClusterLinkList chains = Singletons(n);
    BuildSingleLinkageChains(triangle, threshold, chains);
    ASSERT_EQ(chains, plain) << what;
}

TEST(SingleLinkageDifferentialTest, SameChainsAsTheWholeTriangleSearchOnCoarseScores) {
    std::mt19937_64 random(7);
    std::uniform_int_distribution<size_t> size(0, 40);
    const ScaledScore thresholds[] = {0, 999, 1000, 2500, 4000, 5000};
    for (int round = 0; round < 4000; ++round) {
        const size_t n = size(random);
        const ScoreTriangle triangle = CoarseTriangle(n, 1000, random);
        const ScaledScore threshold = thresholds[round % std::size(thresholds)];
        ExpectSameMerge(triangle, threshold, "round " + std::to_string(round));
    }
}

TEST(SingleLinkageDifferentialTest, SameChainsOnLargeTrianglesAndFineScores) {
    std::mt19937_64 random(11);
    for (int round = 0; round < 6; ++round) {
        const size_t n = 150 + 50 * static_cast<size_t>(round % 3);
        ScoreTriangle triangle = CoarseTriangle(n, 1 + round, random);
        ExpectSameMerge(triangle, static_cast<ScaledScore>(round), "coarse round " + std::to_string(round));

        // Every value from 1 to 10000, so that the levels are many and mostly distinct;
        // many radix-sorted links.
        std::uniform_int_distribution<int> value(1, 10000);
        for (size_t r = 0; r < n; ++r) {
            for (size_t c = 0; c < r; ++c) triangle[PackedIndex(r, c)] = static_cast<ScaledScore>(value(random));
        }
        ExpectSameMerge(triangle, 6000, "fine round " + std::to_string(round));
    }
}

TEST(SingleLinkageDifferentialTest, ChainsOfTheLevelWiseMergeOnSmallHandmadeCases) {
    // 0-3 and 1-2 and 2-3 all 8000: the component {0,1,2,3} grows from 0 by its lowest
    // linked cluster: 3, then 2 (linked to 3), then 1 (linked to 2): chain 0-3-2-1.
    ScoreTriangle triangle(10, -1);
    triangle[PackedIndex(3, 0)] = 8000;
    triangle[PackedIndex(2, 1)] = 8000;
    triangle[PackedIndex(3, 2)] = 8000;
    ClusterLinkList links = Singletons(4);
    BuildSingleLinkageChains(triangle, 5000, links);
    EXPECT_EQ(links, (ClusterLinkList{{0, 3}, {0, -1}, {0, 1}, {0, 2}}));

    // A negative threshold acts as 0: the link of 0 stays apart.
    triangle.assign(6, -1);
    triangle[PackedIndex(1, 0)] = 0;
    triangle[PackedIndex(2, 1)] = 1;
    links = Singletons(3);
    BuildSingleLinkageChains(triangle, -7, links);
    EXPECT_EQ(links, (ClusterLinkList{{0, -1}, {1, 2}, {1, -1}}));
}

}  // namespace
}  // namespace speclink
