#include <gtest/gtest.h>

#include "peaks/PeakSelect.h"

namespace speclink {
namespace {

CPeakSelect Selector(int32_t method, int32_t whole_top, int32_t part_top, int32_t part_width) {
    return CPeakSelect(static_cast<Peak_Select_Method>(method), whole_top, part_top, part_width);
}

TEST(PeakSelect, WholeTopKeepsTheMostIntenseInMzOrder) {
    PeakList peaks{{300.0, 5.0}, {100.0, 9.0}, {200.0, 7.0}};
    Selector(0, 2, 5, 100).SelectPeak(peaks);
    EXPECT_EQ(peaks, (PeakList{{100.0, 9.0}, {200.0, 7.0}}));
}

TEST(PeakSelect, PartTopKeepsTheMostIntensePerWindow) {
    PeakList peaks{{100.0, 1.0}, {150.0, 3.0}, {199.0, 2.0}, {250.0, 4.0}};
    Selector(1, 50, 2, 100).SelectPeak(peaks);
    EXPECT_EQ(peaks, (PeakList{{150.0, 3.0}, {199.0, 2.0}, {250.0, 4.0}}));
}

}  // namespace
}  // namespace speclink
