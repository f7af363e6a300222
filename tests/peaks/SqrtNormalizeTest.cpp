#include <cmath>

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include "speclink/tests/peaks/PeakPrinting.h"
#include "speclink/library/peaks/SqrtNormalize.h"

namespace speclink {
namespace {

TEST(SqrtNormalize, TakesRootsThenScalesToThousand) {
    // Divided by the sum, then multiplied: 1000.0 / sum first would change the last bit.
    PeakList peaks{{300.0, 1.0}, {100.0, 4.0}, {200.0, 3.0}};
    SqrtNormalize(peaks);
    const double sum = ((0.0 + 1.0) + 2.0) + std::sqrt(3.0);
    EXPECT_EQ(peaks, (PeakList{{300.0, 1.0 / sum * 1000.0}, {100.0, 2.0 / sum * 1000.0},
                               {200.0, std::sqrt(3.0) / sum * 1000.0}}));
    EXPECT_NE(peaks[0].intensity, 1.0 * 1000.0 / sum);
}

TEST(SqrtNormalize, EmptyListsAndZeroSums) {
    PeakList empty;
    SqrtNormalize(empty);
    EXPECT_TRUE(empty.empty());
    PeakList zeros{{100.0, 0.0}, {200.0, -0.0}};
    SqrtNormalize(zeros);
    EXPECT_EQ(zeros, (PeakList{{100.0, 0.0}, {200.0, 0.0}}));
    EXPECT_FALSE(std::signbit(zeros[1].intensity));
}

RC_GTEST_PROP(SqrtNormalize, PositiveListsSumToThousand, (const std::vector<unsigned>& raw)) {
    RC_PRE(!raw.empty());
    PeakList peaks;
    for (const unsigned value : raw) peaks.push_back(Peak{100.0 + peaks.size(), 1.0 + value % 100000});
    const PeakList before = peaks;
    SqrtNormalize(peaks);
    double sum = 0.0;
    for (std::size_t k = 0; k < peaks.size(); ++k) {
        RC_ASSERT(peaks[k].mz == before[k].mz);
        RC_ASSERT(peaks[k].intensity > 0.0);
        sum += peaks[k].intensity;
    }
    RC_ASSERT(std::fabs(sum - 1000.0) <= 1e-9);
}

}  // namespace
}  // namespace speclink
