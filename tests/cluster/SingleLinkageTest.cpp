#include "speclink/library/cluster/SingleLinkage.h"
#include "speclink/tests/cluster/ReferenceClustering.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <cmath>
#include <limits>
#include <numeric>
#include <set>

namespace speclink {
namespace {

// A triangle of n members with every pair unlinked (-1).
ScoreTriangle Unlinked(size_t n) { return ScoreTriangle(n * (n + 1) / 2, -1); }

ClusterLinkList Singletons(size_t n) {
    ClusterLinkList links;
    for (size_t k = 0; k < n; ++k) links.push_back({static_cast<int32_t>(k), -1});
    return links;
}

TEST(ScaleScoreTest, KeepsTheLowSixteenBitsOfTheTruncatedScore) {
    struct Case {
        double score;
        ScaledScore scaled;
    };
    const Case cases[] = {
        {0.0, 0},         {0.9, 9000},        {0.50001, 5000},    {0.50009, 5000},  {0.99999999, 9999},
        {1.0, 10000},     {3.2767, 32767},    {3.2768, -32768},   {3.5, -30536},    {6.5536, 0},
        {-0.00019, -1},   {-0.5, -5000},      {-3.2769, 32767},   {1e12, 0},        {10.0, -31072},
        {std::numeric_limits<double>::quiet_NaN(), 0}, {std::numeric_limits<double>::infinity(), 0},
    };
    for (const Case& c : cases) EXPECT_EQ(ScaleScore(c.score), c.scaled) << c.score;
}

TEST(ScaleThresholdTest, ClampsIntoTheRangeOfPositiveScaledScores) {
    struct Case {
        double threshold;
        ScaledScore scaled;
    };
    const Case cases[] = {
        {0.5, 5000}, {0.6, 6000}, {0.0, 0}, {-0.3, 0}, {3.2767, 32767}, {3.5, 32767}, {1e9, 32767},
        {std::numeric_limits<double>::quiet_NaN(), 0},
    };
    for (const Case& c : cases) EXPECT_EQ(ScaleThreshold(c.threshold), c.scaled) << c.threshold;
}

TEST(PackedIndexTest, AddressesTheLowerTriangleFromEitherSide) {
    EXPECT_EQ(PackedIndex(0, 0), 0U);
    EXPECT_EQ(PackedIndex(1, 0), 1U);
    EXPECT_EQ(PackedIndex(1, 1), 2U);
    EXPECT_EQ(PackedIndex(2, 0), 3U);
    EXPECT_EQ(PackedIndex(0, 2), 3U);
    EXPECT_EQ(PackedIndex(3, 2), 8U);
}

// Scores (0,1) = 0.9, (0,2) = 0.2, (1,2) = 0.7 at threshold 0.5: (0,1) merges, the merged
// cluster's link to 2 becomes max(2000, 7000), so 2 joins; member 1 has the highest sum.
TEST(SingleLinkageTest, ThreeMemberWorkedExample) {
    ScoreTriangle working = Unlinked(3);
    working[PackedIndex(1, 0)] = ScaleScore(0.9);
    working[PackedIndex(2, 0)] = ScaleScore(0.2);
    working[PackedIndex(2, 1)] = ScaleScore(0.7);
    const ScoreTriangle reference = working;
    ClusterLinkList links = Singletons(3);

    reference::ReferenceMergeSingleLinkage(working, ScaleThreshold(0.5), links);
    EXPECT_EQ(links, (ClusterLinkList{{0, 1}, {0, 2}, {0, -1}}));
    // Every link of the merged cluster is used up.
    for (const ScaledScore entry : working) EXPECT_EQ(entry, -1);

    RepresentativeList representatives;
    PickRepresentatives(reference, links, representatives);
    EXPECT_EQ(representatives, (RepresentativeList{1}));
}

TEST(SingleLinkageTest, EqualBestLinksMergeLowestFirstMemberThenLowestSecond) {
    // Links (0,3), (1,2) and (0,2) all 8000. (0,2) is found before (0,3) and (1,2).
    ScoreTriangle working = Unlinked(4);
    working[PackedIndex(3, 0)] = 8000;
    working[PackedIndex(2, 1)] = 8000;
    working[PackedIndex(2, 0)] = 8000;
    ClusterLinkList links = Singletons(4);
    reference::ReferenceMergeSingleLinkage(working, 5000, links);
    // (0,2) merges first. Member 1's link to 2 then becomes the merged cluster's (0,1)
    // entry, which the search meets before (0,3): chain 0-2-1-3.
    EXPECT_EQ(links, (ClusterLinkList{{0, 2}, {0, 3}, {0, 1}, {0, -1}}));
}

TEST(SingleLinkageTest, AbsorbedChainsAreAppendedAndRelabelled) {
    // (2,3) merges first, then (0,2) takes the chain 2-3 behind 0, then (0,1).
    ScoreTriangle working = Unlinked(4);
    working[PackedIndex(3, 2)] = 9000;
    working[PackedIndex(2, 0)] = 8000;
    working[PackedIndex(1, 0)] = 7000;
    ClusterLinkList links = Singletons(4);
    reference::ReferenceMergeSingleLinkage(working, 0, links);
    EXPECT_EQ(links, (ClusterLinkList{{0, 2}, {0, -1}, {0, 3}, {0, 1}}));
}

TEST(SingleLinkageTest, LinksAtOrBelowTheThresholdNeverMerge) {
    ScoreTriangle working = Unlinked(3);
    working[PackedIndex(1, 0)] = 5000;
    working[PackedIndex(2, 1)] = 4999;
    ClusterLinkList links = Singletons(3);
    reference::ReferenceMergeSingleLinkage(working, 5000, links);
    EXPECT_EQ(links, Singletons(3));
    RepresentativeList representatives{7};
    PickRepresentatives(working, links, representatives);
    EXPECT_EQ(representatives, (RepresentativeList{7, 0, 1, 2}));
}

TEST(SingleLinkageTest, ThresholdZeroMergesEveryLinkOfAtLeastOne) {
    ScoreTriangle working = Unlinked(4);
    working[PackedIndex(1, 0)] = 1;
    working[PackedIndex(3, 2)] = 0;
    ClusterLinkList links = Singletons(4);
    reference::ReferenceMergeSingleLinkage(working, ScaleThreshold(0.0), links);
    EXPECT_EQ(links, (ClusterLinkList{{0, 1}, {0, -1}, {2, -1}, {3, -1}}));
}

TEST(SingleLinkageTest, NegativeThresholdStopsWhenNoPositiveLinkIsLeft) {
    ScoreTriangle working = Unlinked(3);
    working[PackedIndex(1, 0)] = 300;
    ClusterLinkList links = Singletons(3);
    reference::ReferenceMergeSingleLinkage(working, ScaleThreshold(-0.5), links);
    EXPECT_EQ(links, (ClusterLinkList{{0, 1}, {0, -1}, {2, -1}}));
}

TEST(PickRepresentativesTest, TiesGoToTheEarliestInChainOrderAndNonPositiveSumsToTheFirst) {
    // Chain 0-2-1 (as a merge of 0 with 2, then 1 would leave it). Sums: 0 -> 10, 2 -> 10, 1 -> 0.
    ScoreTriangle reference = Unlinked(3);
    reference[PackedIndex(2, 0)] = 10;
    reference[PackedIndex(1, 0)] = 0;
    reference[PackedIndex(2, 1)] = 0;
    RepresentativeList representatives;
    PickRepresentatives(reference, {{0, 2}, {0, -1}, {0, 1}}, representatives);
    EXPECT_EQ(representatives, (RepresentativeList{0}));

    // Chain 0-2-1 with sums 0 -> 2, 2 -> 6, 1 -> 6: member 2 comes first in the chain.
    reference[PackedIndex(2, 0)] = 1;
    reference[PackedIndex(1, 0)] = 1;
    reference[PackedIndex(2, 1)] = 5;
    representatives.clear();
    PickRepresentatives(reference, {{0, 2}, {0, -1}, {0, 1}}, representatives);
    EXPECT_EQ(representatives, (RepresentativeList{2}));

    // Every pair unlinked: all sums are negative, the first member represents the cluster.
    representatives.clear();
    PickRepresentatives(Unlinked(3), {{0, 2}, {0, -1}, {0, 1}}, representatives);
    EXPECT_EQ(representatives, (RepresentativeList{0}));
}

// Single linkage above a threshold ends with the connected components of the graph of
// links above it: checked against a union-find over the same random triangle.
RC_GTEST_PROP(SingleLinkageProperty, ClustersAreTheComponentsOfLinksAboveTheThreshold, ()) {
    const auto n = *rc::gen::inRange<size_t>(0, 14);
    const auto threshold = *rc::gen::inRange<int>(0, 60);
    ScoreTriangle working = Unlinked(n);
    for (size_t r = 0; r < n; ++r) {
        for (size_t c = 0; c < r; ++c) working[PackedIndex(r, c)] = static_cast<ScaledScore>(*rc::gen::inRange(-1, 100));
    }
    const ScoreTriangle reference = working;

    std::vector<size_t> parent(n);
    std::iota(parent.begin(), parent.end(), 0);
    const auto root = [&](size_t k) {
        while (parent[k] != k) k = parent[k];
        return k;
    };
    for (size_t r = 0; r < n; ++r) {
        for (size_t c = 0; c < r; ++c) {
            if (reference[PackedIndex(r, c)] > threshold) parent[root(r)] = root(c);
        }
    }

    ClusterLinkList links = Singletons(n);
    reference::ReferenceMergeSingleLinkage(working, static_cast<ScaledScore>(threshold), links);

    std::set<int32_t> reached;
    for (size_t k = 0; k < n; ++k) {
        // The head is the lowest member of the component, and every member lies on its chain.
        size_t lowest = k;
        for (size_t m = 0; m < n; ++m) {
            if (root(m) == root(k)) lowest = std::min(lowest, m);
        }
        RC_ASSERT(links[k].cluster == static_cast<int32_t>(lowest));
        if (links[k].cluster != static_cast<int32_t>(k)) continue;
        size_t length = 0;
        for (int32_t m = static_cast<int32_t>(k); m != -1; m = links[m].next) {
            RC_ASSERT(reached.insert(m).second);
            RC_ASSERT(root(static_cast<size_t>(m)) == root(k));
            RC_ASSERT(++length <= n);
        }
    }
    RC_ASSERT(reached.size() == n);

    RepresentativeList representatives;
    PickRepresentatives(reference, links, representatives);
    size_t cluster = 0;
    for (size_t k = 0; k < n; ++k) {
        if (links[k].cluster != static_cast<int32_t>(k)) continue;
        const int32_t chosen = representatives.at(cluster++);
        RC_ASSERT(links[chosen].cluster == static_cast<int32_t>(k));
    }
    RC_ASSERT(cluster == representatives.size());
}

}  // namespace
}  // namespace speclink
