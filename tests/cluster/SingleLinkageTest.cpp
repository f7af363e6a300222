// Single linkage on scaled pair scores: the scaling, worked examples of the merge, the
// level-by-level merge against the plain merge that searches the whole triangle after every
// merge, and the choice of representatives.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "speclink/library/cluster/SingleLinkage.h"
#include "speclink/tests/cluster/ReferenceClustering.h"

namespace speclink {
namespace {

// A triangle of n members with every pair unlinked (-1).
ScoreTriangle Unlinked(size_t n) { return ScoreTriangle(TriangleSize(n), -1); }

ClusterLinkList Singletons(size_t n) {
    ClusterLinkList links;
    for (size_t k = 0; k < n; ++k) links.push_back({static_cast<int32_t>(k), -1});
    return links;
}

// Scores keep the low sixteen bits of their truncated ten-thousandths; thresholds clamp into
// the range of positive scaled scores.
TEST(ScaleScoreTest, KeepsTheLowSixteenBitsOfTheTruncatedScore) {
    constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
    const std::pair<double, ScaledScore> scores[] = {
        {0.0, 0},       {0.9, 9000},     {0.50001, 5000}, {0.50009, 5000}, {0.99999999, 9999}, {1.0, 10000},
        {3.2767, 32767}, {3.2768, -32768}, {3.5, -30536},  {6.5536, 0},     {-0.00019, -1},     {-0.5, -5000},
        {-3.2769, 32767}, {1e12, 0},     {10.0, -31072},  {kNan, 0},       {std::numeric_limits<double>::infinity(), 0},
    };
    for (const auto& [score, scaled] : scores) EXPECT_EQ(ScaleScore(score), scaled) << score;
    const std::pair<double, ScaledScore> thresholds[] = {{0.5, 5000},     {0.6, 6000},  {0.0, 0},   {-0.3, 0},
                                                         {3.2767, 32767}, {3.5, 32767}, {1e9, 32767}, {kNan, 0}};
    for (const auto& [threshold, scaled] : thresholds) EXPECT_EQ(ScaleThreshold(threshold), scaled) << threshold;
}

struct MergeCase {
    std::string name;
    size_t members;
    std::vector<std::tuple<size_t, size_t, ScaledScore>> scores;  ///< (row, column, scaled score)
    ScaledScore threshold;
    ClusterLinkList links;
};

const std::vector<MergeCase>& MergeCases() {
    static const std::vector<MergeCase> cases{
        // (0,1) = 0.9 merges; the merged cluster's link to 2 is max(2000, 7000), so 2 joins.
        {"ThreeMemberWorkedExample", 3, {{1, 0, 9000}, {2, 0, 2000}, {2, 1, 7000}}, 5000, {{0, 1}, {0, 2}, {0, -1}}},
        // (0,2) comes first among equal links; 1 then joins through 2 before 3 through 0.
        {"EqualLinksLowestFirstMemberFirst", 4, {{3, 0, 8000}, {2, 1, 8000}, {2, 0, 8000}}, 5000,
         {{0, 2}, {0, 3}, {0, 1}, {0, -1}}},
        // The component {0,1,2,3} of one level grows from 0 by its lowest linked cluster.
        {"ComponentGrowsByItsLowestNeighbour", 4, {{3, 0, 8000}, {2, 1, 8000}, {3, 2, 8000}}, 5000,
         {{0, 3}, {0, -1}, {0, 1}, {0, 2}}},
        // (2,3) merges first, then (0,2) takes the chain 2-3 behind 0, then (0,1).
        {"AbsorbedChainsAreAppended", 4, {{3, 2, 9000}, {2, 0, 8000}, {1, 0, 7000}}, 0, {{0, 2}, {0, -1}, {0, 3}, {0, 1}}},
        {"LinksAtOrBelowTheThresholdStay", 3, {{1, 0, 5000}, {2, 1, 4999}}, 5000, {{0, -1}, {1, -1}, {2, -1}}},
        {"ThresholdZeroMergesLinksOfOne", 4, {{1, 0, 1}, {3, 2, 0}}, 0, {{0, 1}, {0, -1}, {2, -1}, {3, -1}}},
        {"NegativeThresholdActsAsZero", 3, {{1, 0, 0}, {2, 1, 1}}, -7, {{0, -1}, {1, 2}, {1, -1}}},
    };
    return cases;
}

class Merge : public testing::TestWithParam<MergeCase> {};

TEST_P(Merge, Chains) {
    const MergeCase& c = GetParam();
    ScoreTriangle scores = Unlinked(c.members);
    for (const auto& [row, column, score] : c.scores) scores[PackedIndex(row, column)] = score;
    ClusterLinkList links = Singletons(c.members);
    BuildSingleLinkageChains(scores, c.threshold, links);
    EXPECT_EQ(links, c.links);
    // The plain merge needs a threshold of at least 0.
    ClusterLinkList plain = Singletons(c.members);
    reference::ReferenceMergeSingleLinkage(scores, std::max<ScaledScore>(c.threshold, 0), plain);
    EXPECT_EQ(plain, c.links);
}

INSTANTIATE_TEST_SUITE_P(Examples, Merge, testing::ValuesIn(MergeCases()),
                         [](const testing::TestParamInfo<MergeCase>& info) { return info.param.name; });

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

// Coarse scores make equal best links the rule; large triangles of fine scores make the
// levels many and mostly distinct, with many radix-sorted links.
TEST(SingleLinkageDifferential, SameChainsAsTheWholeTriangleSearch) {
    std::mt19937_64 random(7);
    std::uniform_int_distribution<size_t> size(0, 40);
    const ScaledScore thresholds[] = {0, 999, 1000, 2500, 4000, 5000};
    for (int round = 0; round < 4000; ++round) {
        const ScoreTriangle triangle = CoarseTriangle(size(random), 1000, random);
        ExpectSameMerge(triangle, thresholds[round % std::size(thresholds)], "round " + std::to_string(round));
    }
    for (int round = 0; round < 6; ++round) {
        const size_t n = 150 + 50 * static_cast<size_t>(round % 3);
        ScoreTriangle triangle = CoarseTriangle(n, 1 + round, random);
        ExpectSameMerge(triangle, static_cast<ScaledScore>(round), "coarse round " + std::to_string(round));
        std::uniform_int_distribution<int> value(1, 10000);
        for (size_t r = 0; r < n; ++r) {
            for (size_t c = 0; c < r; ++c) triangle[PackedIndex(r, c)] = static_cast<ScaledScore>(value(random));
        }
        ExpectSameMerge(triangle, 6000, "fine round " + std::to_string(round));
    }
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

}  // namespace
}  // namespace speclink
