// Peak selection and scoring of peak lists of a million peaks: every selection method
// finishes and reduces as configured, and every scoring method gives a score in range.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "speclink/library/params/Para.h"
#include "speclink/library/peaks/PeakList.h"

namespace speclink {
namespace {

constexpr size_t kPeaks = 1'000'000;

// Peaks 0.001 Th apart from 100 Th on, intensities from a fixed pseudo-random sequence.
PeakList MillionPeaks(unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> intensity(0.0, 1000.0);
    PeakList peaks(kPeaks);
    for (size_t k = 0; k < kPeaks; ++k) peaks[k] = {100.0 + static_cast<double>(k) * 0.001, intensity(random)};
    return peaks;
}

struct Selection {
    Peak_Select_Method method;
    size_t most;  ///< peaks left at most
};

TEST(MillionPeaks, SelectionThenEveryScoringMethod) {
    const PeakList raw_first = MillionPeaks(1);
    const PeakList raw_second = MillionPeaks(2);
    // Windows of 100 Th over 1000 Th: 10 windows of at most 5 peaks for method 1.
    for (const Selection selection : {Selection{PEAK_SELECT_WHOLE_TOP, 50}, Selection{PEAK_SELECT_PART_TOP, 55},
                                      Selection{PEAK_SELECT_PART_THEN_WHOLE_TOP, 50}}) {
        CPara para;
        para.SetPeakSelect(selection.method, 50, 5, 100);
        PeakList first = raw_first;
        PeakList second = raw_second;
        para.SelectPeak(first);
        para.SelectPeak(second);
        ASSERT_LE(first.size(), selection.most);
        ASSERT_GE(first.size(), 10u);
        EXPECT_TRUE(std::is_sorted(first.begin(), first.end(), ByMzAscending));
        for (int method = 0; method <= 7; ++method) {
            para.SetSimilarMethod(static_cast<Similar_Method>(method), 0.5, TOLERANCE_DA);
            PeakList a = first;
            PeakList b = second;
            const double score = para.ComputeSimilarScore(a, b, 18.0);
            EXPECT_GE(score, 0.0) << "method " << method;
            EXPECT_LE(score, 1.0) << "method " << method;
        }
    }
}

// Without selection the ordered walks take both million-peak lists whole (linear work); the
// greedy methods take one whole list against a short one.
TEST(MillionPeaks, UnselectedListsScore) {
    CPara para;
    const PeakList first = MillionPeaks(3);
    for (const Similar_Method method : {SIMILAR_INTENSITY_SCORE, SIMILAR_PEAK_COUNT}) {
        para.SetSimilarMethod(method, 0.0005, TOLERANCE_DA);
        PeakList a = first;
        PeakList b = first;
        EXPECT_GT(para.ComputeSimilarScore(a, b, 0.0), 0.99) << "method " << method;
    }
    const PeakList shortlist(first.begin() + 1000, first.begin() + 1100);
    for (const Similar_Method method : {SIMILAR_DOT_PRODUCT, SIMILAR_DOT_PRODUCT_MOD, SIMILAR_DOT_PRODUCT_HALF,
                                        SIMILAR_DOT_PRODUCT_X, SIMILAR_BONANZA}) {
        para.SetSimilarMethod(method, 0.0005, TOLERANCE_DA);
        PeakList a = first;
        PeakList b = shortlist;
        const double score = para.ComputeSimilarScore(a, b, 0.0);
        EXPECT_GT(score, 0.0) << "method " << method;
        EXPECT_LE(score, 1.0) << "method " << method;
    }
}

}  // namespace
}  // namespace speclink
