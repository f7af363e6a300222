#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include "speclink/tests/peaks/PeakPrinting.h"
#include "speclink/library/peaks/PeakSelect.h"

namespace speclink {
namespace {

CPeakSelect Selector(int32_t method, int32_t whole_top, int32_t part_top, int32_t part_width) {
    return CPeakSelect(static_cast<Peak_Select_Method>(method), whole_top, part_top, part_width);
}

PeakList Ramp(int count) {
    PeakList peaks;
    for (int k = 0; k < count; ++k) peaks.push_back(Peak{1000.0 - 10.0 * k, 1.0 + (k * 7) % 31});
    return peaks;
}

PeakList InMzOrder(PeakList peaks) {
    std::sort(peaks.begin(), peaks.end(), ByMzAscending);
    return peaks;
}

struct SelectCase {
    std::string name;
    int32_t method;
    int32_t whole_top;
    int32_t part_top;
    int32_t part_width;
    PeakList input;
    PeakList expected;
};

const std::vector<SelectCase>& Cases() {
    static const std::vector<SelectCase> cases{
        {"WholeTopEmpty", 0, 50, 5, 100, {}, {}},
        {"PartTopEmpty", 1, 50, 5, 100, {}, {}},
        {"PartThenWholeEmpty", 2, 50, 5, 100, {}, {}},
        {"UnknownMethodEmpty", 3, 50, 5, 100, {}, {}},
        {"WholeTopShorterListKeepsAll", 0, 50, 5, 100, Ramp(30), InMzOrder(Ramp(30))},
        {"WholeTopKeepsMostIntense", 0, 2, 5, 100, {{300.0, 5.0}, {100.0, 9.0}, {200.0, 7.0}},
         {{100.0, 9.0}, {200.0, 7.0}}},
        {"WholeTopCountEqualToSize", 0, 3, 5, 100, {{300.0, 5.0}, {100.0, 9.0}, {200.0, 7.0}},
         {{100.0, 9.0}, {200.0, 7.0}, {300.0, 5.0}}},
        {"WholeTopZeroEmpties", 0, 0, 5, 100, {{300.0, 5.0}, {100.0, 9.0}}, {}},
        {"WholeTopNegativeKeepsAll", 0, -1, 5, 100, {{300.0, 5.0}, {100.0, 9.0}}, {{100.0, 9.0}, {300.0, 5.0}}},
        {"PartTopTwoWindows", 1, 50, 2, 100, {{100.0, 1.0}, {150.0, 3.0}, {199.0, 2.0}, {250.0, 4.0}},
         {{150.0, 3.0}, {199.0, 2.0}, {250.0, 4.0}}},
        {"PartTopSingleWindowKeepsMostIntense", 1, 50, 2, 100,
         {{100.0, 4.0}, {120.0, 1.0}, {150.0, 6.0}, {180.0, 5.0}}, {{150.0, 6.0}, {180.0, 5.0}}},
        // 200.0 lies exactly W above the window start and competes in the first window.
        {"PartTopPeakAtWindowEndBelongsToIt", 1, 50, 1, 100, {{100.0, 2.0}, {200.0, 3.0}}, {{200.0, 3.0}}},
        {"PartTopPeakJustBeyondOpensNextWindow", 1, 50, 1, 100, {{100.0, 2.0}, {200.00001, 3.0}},
         {{100.0, 2.0}, {200.00001, 3.0}}},
        // Windows restart at the peak that opens them, not at multiples of W.
        {"PartTopWindowStartsAtOpeningPeak", 1, 50, 1, 100,
         {{100.0, 2.0}, {201.0, 1.0}, {300.0, 3.0}, {301.5, 9.0}}, {{100.0, 2.0}, {300.0, 3.0}, {301.5, 9.0}}},
        // Equal intensities: a later peak does not replace an earlier one.
        {"PartTopKeepsEarlierOfEqualIntensities", 1, 50, 1, 100, {{100.0, 5.0}, {150.0, 5.0}}, {{100.0, 5.0}}},
        // Slots 5.0 (100.0) and 5.0 (110.0): 6.0 replaces the first slot of smallest intensity.
        {"PartTopReplacesFirstWeakestSlot", 1, 50, 2, 100, {{100.0, 5.0}, {110.0, 5.0}, {120.0, 6.0}},
         {{110.0, 5.0}, {120.0, 6.0}}},
        {"PartTopNeverKeepsNonPositiveIntensity", 1, 50, 3, 100, {{100.0, 0.0}, {110.0, -1.0}, {120.0, 2.0}},
         {{120.0, 2.0}}},
        // A slot at m/z 0.0 reads as empty, so a peak at m/z 0.0 is never kept.
        {"PartTopDropsPeakAtMzZero", 1, 50, 3, 100, {{0.0, 4.0}, {50.0, 2.0}}, {{50.0, 2.0}}},
        {"PartTopZeroSlotsKeepsNothing", 1, 50, 0, 100, {{100.0, 4.0}, {300.0, 2.0}}, {}},
        {"PartTopNegativeSlotsKeepsNothing", 1, 50, -3, 100, {{100.0, 4.0}, {300.0, 2.0}}, {}},
        // The list is taken as it comes: 90.0 after 300.0 stays in the window opened by 300.0.
        {"PartTopDoesNotSortFirst", 1, 50, 1, 100, {{300.0, 1.0}, {90.0, 2.0}, {100.0, 3.0}}, {{100.0, 3.0}}},
        {"PartThenWholeTop", 2, 2, 2, 100, {{100.0, 1.0}, {150.0, 3.0}, {199.0, 2.0}, {250.0, 4.0}},
         {{150.0, 3.0}, {250.0, 4.0}}},
        {"UnknownMethodOnlySorts", 3, 1, 1, 100, {{300.0, 5.0}, {100.0, 9.0}, {200.0, 7.0}},
         {{100.0, 9.0}, {200.0, 7.0}, {300.0, 5.0}}},
        {"NegativeMethodOnlySorts", -1, 1, 1, 100, {{300.0, 5.0}, {100.0, 9.0}}, {{100.0, 9.0}, {300.0, 5.0}}},
    };
    return cases;
}

class PeakSelection : public testing::TestWithParam<SelectCase> {};

TEST_P(PeakSelection, SelectsAndSortsByMz) {
    const SelectCase& c = GetParam();
    PeakList peaks = c.input;
    Selector(c.method, c.whole_top, c.part_top, c.part_width).SelectPeak(peaks);
    EXPECT_EQ(peaks, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Examples, PeakSelection, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<SelectCase>& info) { return info.param.name; });

TEST(PeakSelection, StepsLeaveTheirOwnOrder) {
    // Without the final m/z sort: the whole-spectrum step leaves intensity order, the
    // per-window step window order and, within a window, slot order.
    PeakList whole{{100.0, 1.0}, {200.0, 3.0}, {300.0, 2.0}};
    Selector(0, 2, 5, 100).SelectWholeTopPeaks(whole);
    EXPECT_EQ(whole, (PeakList{{200.0, 3.0}, {300.0, 2.0}}));

    PeakList part{{100.0, 4.0}, {110.0, 5.0}, {120.0, 6.0}, {250.0, 1.0}};
    Selector(1, 50, 2, 100).SelectPartTopPeaks(part);
    EXPECT_EQ(part, (PeakList{{120.0, 6.0}, {110.0, 5.0}, {250.0, 1.0}}));
}

rc::Gen<PeakList> RandomPeaks(int max_size) {
    const auto peak = rc::gen::apply([](int mz, int intensity) { return Peak{mz / 100.0, intensity / 4.0}; },
                                     rc::gen::inRange(5000, 200000), rc::gen::inRange(0, 4000));
    return rc::gen::mapcat(rc::gen::inRange(0, max_size + 1), [peak](int size) {
        return rc::gen::container<PeakList>(static_cast<std::size_t>(size), peak);
    });
}

bool IsSubMultiset(PeakList part, PeakList whole) {
    const auto order = [](const Peak& p, const Peak& q) {
        return p.mz < q.mz || (p.mz == q.mz && p.intensity < q.intensity);
    };
    std::sort(part.begin(), part.end(), order);
    std::sort(whole.begin(), whole.end(), order);
    return std::includes(whole.begin(), whole.end(), part.begin(), part.end(), order);
}

RC_GTEST_PROP(PeakSelection, LeavesAscendingMzSubsetOfInput, ()) {
    const auto method = *rc::gen::inRange<int32_t>(-1, 4);
    const auto whole_top = *rc::gen::inRange<int32_t>(-2, 60);
    const auto part_top = *rc::gen::inRange<int32_t>(-1, 8);
    const auto part_width = *rc::gen::inRange<int32_t>(1, 300);
    const PeakList input = *RandomPeaks(300);
    PeakList peaks = input;
    Selector(method, whole_top, part_top, part_width).SelectPeak(peaks);
    RC_ASSERT(std::is_sorted(peaks.begin(), peaks.end(), ByMzAscending));
    RC_ASSERT(IsSubMultiset(peaks, input));
    if ((method == 0 || method == 2) && whole_top >= 0) RC_ASSERT(peaks.size() <= static_cast<std::size_t>(whole_top));
    if (method == 0 || method < 0 || method > 2) {
        const std::size_t expected = whole_top >= 0 && method == 0
                                         ? std::min(input.size(), static_cast<std::size_t>(whole_top))
                                         : input.size();
        RC_ASSERT(peaks.size() == expected);
    }
}

std::vector<double> IntensitiesDescending(const PeakList& peaks, std::size_t count) {
    std::vector<double> intensities;
    for (const Peak& peak : peaks) intensities.push_back(peak.intensity);
    std::sort(intensities.begin(), intensities.end(), [](double a, double b) { return a > b; });
    intensities.resize(std::min(count, intensities.size()));
    return intensities;
}

RC_GTEST_PROP(PeakSelection, WholeTopKeepsTheMostIntense, ()) {
    const auto whole_top = *rc::gen::inRange<int32_t>(0, 60);
    const PeakList input = *RandomPeaks(120);
    PeakList kept = input;
    Selector(0, whole_top, 5, 100).SelectPeak(kept);
    RC_ASSERT(IntensitiesDescending(kept, kept.size()) ==
              IntensitiesDescending(input, static_cast<std::size_t>(whole_top)));
}

/// Per-window selection restated: cut the list into windows, then keep the K most intense
/// positive peaks of each window. (With equal intensities the slots need not keep the
/// earlier peak: a stronger peak evicts the first weakest slot, which may hold it.)
PeakList ReferencePartTop(const PeakList& peaks, int32_t k, int32_t width) {
    PeakList kept;
    PeakList window;
    const auto close = [&] {
        std::stable_sort(window.begin(), window.end(), ByIntensityDescending);
        for (std::size_t n = 0; n < window.size() && n < static_cast<std::size_t>(k); ++n) {
            if (window[n].intensity > 0.0) kept.push_back(window[n]);
        }
        window.clear();
    };
    for (const Peak& peak : peaks) {
        if (!window.empty() && peak.mz - window.front().mz > width) close();
        window.push_back(peak);
    }
    close();
    return InMzOrder(kept);
}

RC_GTEST_PROP(PeakSelection, PartTopMatchesWindowRestatement, ()) {
    const auto part_top = *rc::gen::inRange<int32_t>(1, 8);
    const auto part_width = *rc::gen::inRange<int32_t>(1, 300);
    // Distinct m/z in ascending order; distinct positive intensities, and some zeros.
    const auto slots = *rc::gen::unique<std::vector<int>>(rc::gen::inRange(1, 10007));
    PeakList input;
    for (const int slot : slots) {
        const bool zero = *rc::gen::inRange(0, 4) == 0;
        input.push_back(Peak{slot / 10.0, zero ? 0.0 : 1.0 + (slot * 7919) % 10007});
    }
    input = InMzOrder(input);
    PeakList peaks = input;
    Selector(1, 50, part_top, part_width).SelectPeak(peaks);
    RC_ASSERT(peaks == ReferencePartTop(input, part_top, part_width));
}

}  // namespace
}  // namespace speclink
