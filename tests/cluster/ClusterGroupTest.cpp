#include <gtest/gtest.h>

#include "speclink/library/cluster/HierarchicalCluster.h"
#include "speclink/library/peaks/PeakSelect.h"
#include "speclink/library/scoring/Similarity.h"
#include "speclink/tests/support/TestSupport.h"

namespace speclink {
namespace {

using test::Spectrum;

// Single-peak spectra score 1.0 when their peaks lie less than 0.5 apart and 0.0 otherwise.
CSpectrum OnePeak(double mz, int charge = 2) { return Spectrum().Mass(1000.0).Charge(charge).Peak(mz, 100.0); }

class ClusterGroupTest : public ::testing::Test {
protected:
    struct Result {
        ClusterLinkList links;
        RepresentativeList representatives;
    };

    Result Cluster(const std::vector<CSpectrum>& group, double threshold, RepresentativeList earlier = {}) {
        const CHierarchicalCluster engine(nullptr, nullptr, 0.5, TOLERANCE_DA, threshold);
        Result result{{}, std::move(earlier)};
        engine.ClusterGroup(group, result.links, &similarity_, result.representatives, &peak_select_);
        return result;
    }

    CSimilarity similarity_{SIMILAR_PEAK_COUNT, 2.0, TOLERANCE_PPM};
    CPeakSelect peak_select_{PEAK_SELECT_PART_THEN_WHOLE_TOP, 50, 5, 100};
};

TEST_F(ClusterGroupTest, SwitchesTheScorerToDotProductAtHalfADaltonEvenForAnEmptyGroup) {
    const Result result = Cluster({}, 0.5);
    EXPECT_TRUE(result.links.empty());
    EXPECT_TRUE(result.representatives.empty());
    EXPECT_EQ(similarity_.similar_method, SIMILAR_DOT_PRODUCT);
    EXPECT_EQ(similarity_.fragment_ion_tol, 0.5);
    EXPECT_EQ(similarity_.fragment_ion_tol_type, TOLERANCE_DA);
}

TEST_F(ClusterGroupTest, OneMemberIsItsOwnClusterAndRepresentative) {
    const Result result = Cluster({OnePeak(100.0)}, 0.5, {42});
    EXPECT_EQ(result.links, (ClusterLinkList{{0, -1}}));
    EXPECT_EQ(result.representatives, (RepresentativeList{42, 0}));
}

// 100.0 and 100.8 do not match, 100.4 matches both: scores (0,1) = (1,2) = 1.0, (0,2) = 0.
// The best-connected member, the middle one, represents the cluster.
TEST_F(ClusterGroupTest, ChainOfMatchesFormsOneClusterRepresentedByItsBestConnectedMember) {
    const Result result = Cluster({OnePeak(100.0), OnePeak(100.4), OnePeak(100.8)}, 0.5, {7});
    EXPECT_EQ(result.links, (ClusterLinkList{{0, 1}, {0, 2}, {0, -1}}));
    EXPECT_EQ(result.representatives, (RepresentativeList{7, 1}));
}

TEST_F(ClusterGroupTest, ScoresAtOrBelowTheThresholdLeaveEveryMemberAlone) {
    const Result apart = Cluster({OnePeak(100.0), OnePeak(300.0), OnePeak(500.0)}, 0.0);
    EXPECT_EQ(apart.links, (ClusterLinkList{{0, -1}, {1, -1}, {2, -1}}));
    EXPECT_EQ(apart.representatives, (RepresentativeList{0, 1, 2}));

    // Identical spectra score 1.0, scaled 10000, which does not exceed threshold 1.0.
    const Result equal = Cluster({OnePeak(100.0), OnePeak(100.0)}, 1.0);
    EXPECT_EQ(equal.links, (ClusterLinkList{{0, -1}, {1, -1}}));
}

TEST_F(ClusterGroupTest, ThresholdsOutsideTheScaledRange) {
    const std::vector<CSpectrum> group = {OnePeak(100.0), OnePeak(300.0), OnePeak(100.2)};
    // Negative: every positive link merges, pairs that scored 0 stay apart.
    EXPECT_EQ(Cluster(group, -2.0).links, (ClusterLinkList{{0, 2}, {1, -1}, {0, -1}}));
    // Above 3.2767 (whose low 16 bits would be negative): nothing merges.
    EXPECT_EQ(Cluster(group, 3.5).links, (ClusterLinkList{{0, -1}, {1, -1}, {2, -1}}));
}

TEST_F(ClusterGroupTest, MembersOfDifferentChargesAreNeverLinked) {
    const Result result = Cluster({OnePeak(100.0, 2), OnePeak(100.0, 3), OnePeak(100.0, 2)}, 0.0);
    EXPECT_EQ(result.links, (ClusterLinkList{{0, 2}, {1, -1}, {0, -1}}));
    EXPECT_EQ(result.representatives, (RepresentativeList{0, 1}));
}

TEST_F(ClusterGroupTest, ScoresThePreparedPeaks) {
    // Only the most intense peak survives selection, and those differ: no link.
    peak_select_ = CPeakSelect(PEAK_SELECT_WHOLE_TOP, 1, 5, 100);
    const CSpectrum a = Spectrum().Charge(2).Peak(100.0, 100.0).Peak(500.0, 1.0);
    const CSpectrum b = Spectrum().Charge(2).Peak(300.0, 100.0).Peak(500.0, 1.0);
    EXPECT_EQ(Cluster({a, b}, 0.0).links, (ClusterLinkList{{0, -1}, {1, -1}}));

    // Intensities 100 and 1 crosswise: raw cosine 200 / 10001 = 0.02, after the square
    // root 20 / 101 = 0.198. Only the square-rooted score exceeds 0.1.
    peak_select_ = CPeakSelect(PEAK_SELECT_PART_THEN_WHOLE_TOP, 50, 5, 100);
    const CSpectrum c = Spectrum().Charge(2).Peak(100.0, 100.0).Peak(200.0, 1.0);
    const CSpectrum d = Spectrum().Charge(2).Peak(100.0, 1.0).Peak(200.0, 100.0);
    EXPECT_EQ(Cluster({c, d}, 0.1).links, (ClusterLinkList{{0, 1}, {0, -1}}));
    EXPECT_EQ(Cluster({c, d}, 0.2).links, (ClusterLinkList{{0, -1}, {1, -1}}));
}

TEST_F(ClusterGroupTest, LeavesTheMembersUntouched) {
    const std::vector<CSpectrum> group = {
        Spectrum().Charge(2).Peak(300.0, 4.0).Peak(100.0, 9.0).Peak(200.0, 1.0),
        Spectrum().Charge(2).Peak(100.1, 9.0).Peak(300.0, 4.0),
    };
    const std::vector<CSpectrum> before = group;
    Cluster(group, 0.5);
    for (size_t k = 0; k < group.size(); ++k) EXPECT_EQ(group[k].peaks, before[k].peaks);
}

TEST_F(ClusterGroupTest, MemberWithoutIntensityNeverLinks) {
    // No reduction, so the zero intensities reach the square-root scaling (which keeps them 0.0).
    peak_select_ = CPeakSelect(static_cast<Peak_Select_Method>(3), 50, 5, 100);
    const CSpectrum silent = Spectrum().Charge(2).Peak(100.0, 0.0).Peak(200.0, 0.0);
    const Result result = Cluster({silent, OnePeak(100.0), OnePeak(100.0)}, 0.0);
    EXPECT_EQ(result.links, (ClusterLinkList{{0, -1}, {1, 2}, {1, -1}}));
    EXPECT_EQ(result.representatives, (RepresentativeList{0, 1}));
}

}  // namespace
}  // namespace speclink
