// The prepared "Dot Product" against CSimilarity::DotProduct on the same lists, bit for bit.

#include "speclink/library/scoring/PreparedDotProduct.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <random>

#include "speclink/library/scoring/Similarity.h"

namespace speclink {
namespace {

PeakList ByIntensity(PeakList peaks) {
    std::sort(peaks.begin(), peaks.end(), ByIntensityDescending);
    return peaks;
}

double Plain(const PeakList& first, const PeakList& second, double tolerance) {
    const CSimilarity similarity(SIMILAR_DOT_PRODUCT, tolerance, TOLERANCE_DA);
    return similarity.DotProduct(first, second, 0.0);
}

double Prepared(const PeakList& first, const PeakList& second, double tolerance) {
    const DotProductPeaks prepared_first(first, tolerance);
    DotProductIndex index;
    index.Build(prepared_first);
    std::vector<char> taken;
    return PreparedDotProduct(index, DotProductPeaks(second, tolerance), taken);
}

TEST(PreparedDotProductTest, WorkedExamples) {
    struct Case {
        const char* what;
        PeakList first;
        PeakList second;
        double score;
    };
    const Case cases[] = {
        {"identical lists", {{100.0, 3.0}, {200.0, 4.0}}, {{100.0, 3.0}, {200.0, 4.0}}, 1.0},
        {"difference equal to the tolerance does not match", {{100.0, 1.0}}, {{100.5, 1.0}}, 0.0},
        {"empty list", {}, {{100.0, 1.0}}, 0.0},
        {"zero intensities", {{100.0, 0.0}}, {{100.0, 0.0}}, 0.0},
        // The second list's 9 takes the first list's 100.4 (listed first), not the closer 100.2.
        {"first free peak in list order, not the closest", {{100.4, 2.0}, {100.2, 1.0}}, {{100.1, 9.0}},
         18.0 / std::sqrt(5.0 * 81.0)},
        // The 9 takes 100.3; the 1 finds it taken and stays unmatched.
        {"a taken peak is not taken again", {{100.3, 5.0}}, {{100.0, 9.0}, {100.4, 1.0}}, 45.0 / std::sqrt(25.0 * 82.0)},
    };
    for (const Case& c : cases) {
        const PeakList first = ByIntensity(c.first);
        const PeakList second = ByIntensity(c.second);
        EXPECT_EQ(Prepared(first, second, 0.5), c.score) << c.what;
        EXPECT_EQ(Plain(first, second, 0.5), c.score) << c.what;
    }
}

TEST(PreparedDotProductTest, MzThatIsNotFiniteNeverMatches) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const PeakList first = ByIntensity({{nan, 5.0}, {inf, 4.0}, {100.0, 3.0}});
    const PeakList second = ByIntensity({{inf, 5.0}, {nan, 4.0}, {100.2, 3.0}});
    EXPECT_EQ(Prepared(first, second, 0.5), Plain(first, second, 0.5));
    EXPECT_EQ(Prepared(first, second, inf), Plain(first, second, inf));
}

// m/z on a grid of a quarter (so that differences of exactly the tolerance and several
// candidates per peak are common), few distinct intensities (so that ties are common),
// now and then a peak far away, an intensity of zero or below, or an m/z that is not finite.
PeakList RandomPeaks(std::mt19937_64& random) {
    std::uniform_int_distribution<int> count(0, 30);
    std::uniform_int_distribution<int> grid(0, 60);
    std::uniform_int_distribution<int> level(0, 4);
    std::uniform_int_distribution<int> rare(0, 99);
    PeakList peaks;
    for (int k = count(random); k > 0; --k) {
        double mz = 100.0 + 0.25 * grid(random);
        double intensity = 1.0 + level(random);
        const int odd = rare(random);
        if (odd == 0) mz = 1e6 + grid(random);
        if (odd == 1) intensity = 0.0;
        if (odd == 2) intensity = -2.0;
        if (odd == 3) mz = std::numeric_limits<double>::quiet_NaN();
        if (odd == 4) intensity = std::uniform_real_distribution<double>(0.0, 5.0)(random);
        peaks.push_back({mz, intensity});
    }
    return peaks;
}

TEST(PreparedDotProductTest, SameBitsAsTheGreedyScanOnRandomLists) {
    std::mt19937_64 random(20240611);
    const double tolerances[] = {0.5, 0.25, 1.0, 0.1, 0.0, 20.0};
    int matched = 0;
    for (int round = 0; round < 20000; ++round) {
        const PeakList first = ByIntensity(RandomPeaks(random));
        const PeakList second = ByIntensity(RandomPeaks(random));
        const double tolerance = tolerances[round % std::size(tolerances)];
        const double plain = Plain(first, second, tolerance);
        const double prepared = Prepared(first, second, tolerance);
        ASSERT_EQ(std::bit_cast<uint64_t>(prepared), std::bit_cast<uint64_t>(plain))
            << "round " << round << ": " << prepared << " vs " << plain;
        if (plain > 0.0) ++matched;
    }
    EXPECT_GT(matched, 10000);
}

// Peaks whose m/z differ by the tolerance give or take a few units in the last place, at
// small m/z where the difference itself is rounded.
TEST(PreparedDotProductTest, SameBitsWhereTheDifferenceRoundsToTheTolerance) {
    std::mt19937_64 random(3);
    std::uniform_real_distribution<double> mz(0.0, 2.0);
    std::uniform_int_distribution<int> ulps(-3, 3);
    int matched = 0;
    for (int round = 0; round < 20000; ++round) {
        const double a = mz(random);
        double b = round % 2 == 0 ? a - 0.5 : a + 0.5;
        for (int k = ulps(random); k != 0; k += k > 0 ? -1 : 1) b = std::nextafter(b, k > 0 ? 10.0 : -10.0);
        const PeakList first = {{a, 2.0}};
        const PeakList second = {{b, 3.0}, {a + 7.0, 1.0}};
        const double plain = Plain(first, second, 0.5);
        ASSERT_EQ(Prepared(first, second, 0.5), plain) << a << " " << b;
        if (plain > 0.0) ++matched;
    }
    EXPECT_GT(matched, 1000);
}

// One index rebuilt for list after list, as a scoring thread reuses it row after row.
TEST(PreparedDotProductTest, IndexRebuiltForAnotherList) {
    std::mt19937_64 random(5);
    DotProductIndex index;
    std::vector<char> taken;
    for (int round = 0; round < 200; ++round) {
        const DotProductPeaks first(ByIntensity(RandomPeaks(random)), 0.5);
        index.Build(first);
        for (int other = 0; other < 5; ++other) {
            const PeakList second = ByIntensity(RandomPeaks(random));
            EXPECT_EQ(PreparedDotProduct(index, DotProductPeaks(second, 0.5), taken), Plain(first.peaks(), second, 0.5));
        }
    }
}

// A peak far beyond the others lands in the last cell of the index instead of widening it.
TEST(PreparedDotProductTest, OutliersShareTheLastCell) {
    const PeakList first = ByIntensity({{100.0, 5.0}, {1e9, 4.0}, {1e9 + 0.3, 3.0}, {2e12, 2.0}, {-1e15, 1.0}});
    const PeakList second = ByIntensity({{1e9 + 0.2, 5.0}, {2e12 + 0.1, 4.0}, {100.4, 3.0}, {-1e15, 2.0}});
    // 1e9 + 0.2 takes 1e9 (listed before 1e9 + 0.3): 5*4 + 4*2 + 3*5 + 2*1.
    EXPECT_EQ(Prepared(first, second, 0.5), 45.0 / std::sqrt(55.0 * 54.0));
    EXPECT_EQ(Plain(first, second, 0.5), 45.0 / std::sqrt(55.0 * 54.0));
}

}  // namespace
}  // namespace speclink
