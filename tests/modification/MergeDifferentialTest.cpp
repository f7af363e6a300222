// The library's merging of mass differences against the plain one that searches all gaps
// after every merge: the same labels for every input, the tie and the huge-tolerance rules
// included.
#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "speclink/tests/modification/PlainModificationSearch.h"
#include "speclink/library/speclink.h"
#include "speclink/tests/support/TestSupport.h"

namespace speclink {
namespace {

// Ascending, NaN last, as ClusterMassDifferences sorts them.
std::vector<double> Sorted(std::vector<double> d) {
    std::sort(d.begin(), d.end(), [](double a, double b) { return a < b || (!std::isnan(a) && std::isnan(b)); });
    return d;
}

void ExpectSameLabels(const std::vector<double>& d, double tolerance) {
    std::vector<int32_t> expected;
    test::plain::MergeMassDifferences(d, expected, tolerance);
    std::vector<int32_t> labels = {7, 7, 7};
    MergeMassDifferences(d, labels, tolerance);
    RC_ASSERT(labels == expected);
}

// Values on a coarse grid near a few anchors 500.25 Da apart or at 1000 and 1001 Da: many
// equal gaps, gaps equal to the tolerance, and gaps of exactly 1000 and 1001 Da and just
// above or below them. Signed zeros included.
rc::Gen<double> MassDifference() {
    const auto anchor = rc::gen::oneOf(rc::gen::map(rc::gen::inRange(-2, 6), [](int k) { return k * 500.25; }),
                                       rc::gen::element(0.0, -0.0, 1000.0, 1001.0, -1000.0));
    const auto offset = rc::gen::oneOf(rc::gen::just(0.0), rc::gen::map(rc::gen::inRange(-64, 64), [](int k) {
                                           return k / 128.0;
                                       }));
    return rc::gen::apply([](double a, double o) { return a + o; }, anchor, offset);
}

rc::Gen<double> Tolerance() {
    return rc::gen::oneOf(rc::gen::element(0.0, 0.01, 1.0 / 64.0, 0.5, 999.0, 1000.0, 1000.5, 1001.0, 2000.0, 1e9),
                          rc::gen::map(rc::gen::inRange(0, 100), [](int k) { return k / 128.0; }));
}

RC_GTEST_PROP(MergeDifferential, SameLabelsAsThePlainMerge, ()) {
    const auto d = Sorted(*rc::gen::container<std::vector<double>>(MassDifference()));
    ExpectSameLabels(d, *Tolerance());
}

RC_GTEST_PROP(MergeDifferential, SameLabelsWithInfinitiesAndNan, ()) {
    std::vector<double> d = *rc::gen::container<std::vector<double>>(MassDifference());
    const auto extra = *rc::gen::container<std::vector<double>>(
        rc::gen::element(std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                         std::numeric_limits<double>::quiet_NaN()));
    d.insert(d.end(), extra.begin(), extra.end());
    ExpectSameLabels(Sorted(d), *Tolerance());
}

// A boundary gap of exactly 1000 Da, re-measured by a merge on its right, must not be
// taken for the smallest gap afterwards: the gap inside the new group (1000.0, further
// right) is the first smallest, changes nothing, and ends the merging.
TEST(MergeDifferential, ReplacedGapOf1000IsForgotten) {
    std::vector<int32_t> labels;
    MergeMassDifferences({0.0, 1000.0, 1000.5}, labels, 2000.0);
    EXPECT_EQ(labels, (std::vector<int32_t>{0, 1, 1}));
}

TEST(MergeDifferential, LongListsNearModificationMasses) {
    // Thousands of values in tight clusters: many merges, each re-measuring its neighbours.
    std::vector<double> d;
    uint64_t state = 12345;
    const auto next = [&state] {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(state >> 11) / 9007199254740992.0;
    };
    for (int k = 0; k < 3000; ++k) {
        const double centre = k % 3 == 0 ? 15.994915 : (k % 3 == 1 ? 79.966331 : next() * 400.0 - 200.0);
        d.push_back(centre + (next() - 0.5) * 0.03);
    }
    d = Sorted(d);
    for (const double tolerance : {0.001, 0.01, 0.05, 3.0, 1500.0}) {
        std::vector<int32_t> expected;
        test::plain::MergeMassDifferences(d, expected, tolerance);
        std::vector<int32_t> labels;
        MergeMassDifferences(d, labels, tolerance);
        EXPECT_EQ(labels, expected) << "tolerance " << tolerance;
    }
}

}  // namespace
}  // namespace speclink
