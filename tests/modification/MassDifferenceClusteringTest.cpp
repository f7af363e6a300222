#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <filesystem>
#include <string>
#include <vector>

#include "speclink/library/speclink.h"
#include "speclink/tests/modification/PlainModificationSearch.h"
#include "speclink/tests/support/TestSupport.h"

namespace speclink {
namespace {

using test::CaptureStdout;
using test::ReadFile;
using test::ScopedCurrentDirectory;
using test::TempDir;
using test::WriteFile;

// Writes `pair_list` into a fresh directory, groups it with `tolerance` there and returns
// what "temp.temp" then holds.
std::string Grouped(const std::string& pair_list, double tolerance = 0.01) {
    const TempDir dir;
    const ScopedCurrentDirectory cwd(dir.path());
    WriteFile("pairs.txt", pair_list);
    ClusterMassDifferences("pairs.txt", tolerance);
    return ReadFile("temp.temp");
}

// A pair-list line as Run writes it, with the mass difference `d`.
std::string PairLine(const std::string& d) { return "a.dta,1000.000000,b.dta,984.000000," + d + ",0.800000\n"; }

std::string PairLines(const std::vector<std::string>& differences) {
    std::string text;
    for (const std::string& d : differences) text += PairLine(d);
    return text;
}

struct GroupingCase {
    const char* name;
    std::vector<std::string> differences;
    double tolerance;
    const char* expected;
};

void PrintTo(const GroupingCase& c, std::ostream* os) { *os << c.name; }

class Grouping : public ::testing::TestWithParam<GroupingCase> {};

TEST_P(Grouping, WritesTheGroupsLargestFirst) {
    EXPECT_EQ(Grouped(PairLines(GetParam().differences), GetParam().tolerance), GetParam().expected);
}

const GroupingCase kGroupingCases[] = {
    // Equal first gaps: positions 0 and 1 merge first, then the gap to 16.0078125 is taken
    // from 16.0, 0.0078125 < 0.01, so it joins; 32 - 16 ends the merging.
    {"ThreeNearSixteen", {"32.000000", "16.0078125", "16.0", "16.00390625"}, 0.01,
     "16.003906,3, 0, 0, 0, 0, 0\n32.000000,1, 0, 0, 0, 0, 0\n"},
    // 0.0078125 and 0.01171875 merge first; their gap to 0.0 is then 0.01171875, not below t.
    {"MergedGroupMeasuredFromItsFarEnd", {"0.0", "0.0078125", "0.01171875"}, 0.01,
     "0.009766,2, 0, 0, 0, 0, 0\n0.000000,1, 0, 0, 0, 0, 0\n"},
    // Equal gaps: the first wins, and the gap to 0.01171875 is then 0.01171875 - 0.0.
    {"TieTakesTheFirstGap", {"0.01171875", "0.005859375", "0.0"}, 0.01,
     "0.002930,2, 0, 0, 0, 0, 0\n0.011719,1, 0, 0, 0, 0, 0\n"},
    {"OneLine", {"-17.026549"}, 0.01, "-17.026549,1, 0, 0, 0, 0, 0\n"},
    {"OppositeSignsStaySeparate", {"16.0", "-16.0", "-16.001", "16.001", "16.002"}, 0.01,
     "16.001000,3, 0, 0, 0, 0, 0\n-16.000500,2, 0, 0, 0, 0, 0\n"},
    // Groups of equal size keep ascending mass order; the last group is written too.
    {"EqualCountsInMassOrder", {"79.966", "14.016", "-18.011", "79.967", "14.015", "-18.010"}, 0.01,
     "-18.010500,2, 0, 0, 0, 0, 0\n14.015500,2, 0, 0, 0, 0, 0\n79.966500,2, 0, 0, 0, 0, 0\n"},
    // A gap exactly equal to the tolerance does not merge.
    {"GapEqualToToleranceStaysApart", {"1.0", "1.5"}, 0.5, "1.000000,1, 0, 0, 0, 0, 0\n1.500000,1, 0, 0, 0, 0, 0\n"},
    {"ZeroToleranceMergesNothing", {"5.0", "5.0"}, 0.0, "5.000000,1, 0, 0, 0, 0, 0\n5.000000,1, 0, 0, 0, 0, 0\n"},
    // Above 1000 Da of tolerance the merging ends once everything is one group.
    {"HugeToleranceOneGroup", {"6.0", "200.0", "100.0"}, 5000.0, "102.000000,3, 0, 0, 0, 0, 0\n"},
};

INSTANTIATE_TEST_SUITE_P(MassDifferences, Grouping, ::testing::ValuesIn(kGroupingCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct FieldCase {
    const char* name;
    const char* line;
    double expected;
};

void PrintTo(const FieldCase& c, std::ostream* os) { *os << c.name; }

class MassDifferenceField : public ::testing::TestWithParam<FieldCase> {};

TEST_P(MassDifferenceField, IsTheFifthField) {
    char expected[64];
    std::snprintf(expected, sizeof expected, "%lf,1, 0, 0, 0, 0, 0\n", GetParam().expected);
    EXPECT_EQ(Grouped(GetParam().line), expected);
}

const FieldCase kFieldCases[] = {
    {"RunLayout", "x.dta,1016.0,y.dta,1000.0,15.994915,0.712300\n", 15.994915},
    {"ShiftSearchLayout", "x.dta,1000.0,y.dta,1016.0,-16.000000,0.700000, 16\n", -16.0},
    {"NoFifthComma", "a,b,c,d,  -42.25", -42.25},
    {"LeadingBlanksAndTrailingText", "a,b,c,d, \t 7.5 Da,0.9\n", 7.5},
    {"NoNumber", "a,b,c,d,mass,0.9\n", 0.0},
    {"EmptyField", "a,b,c,d,,0.9\n", 0.0},
    {"ThreeCommasTakesAfterTheLast", "a,b,c,12.5\n", 12.5},
    {"NoCommaTakesTheWholeLine", "  31.25xyz\n", 31.25},
    {"BlankLine", "\n", 0.0},
    {"Exponent", "a,b,c,d,1.5e1,0.9\n", 15.0},
};

INSTANTIATE_TEST_SUITE_P(PairList, MassDifferenceField, ::testing::ValuesIn(kFieldCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ClusterMassDifferences, BlankLineCountsAsZero) {
    EXPECT_EQ(Grouped(PairLine("16.0") + "\n" + PairLine("0.004")),
              "0.002000,2, 0, 0, 0, 0, 0\n16.000000,1, 0, 0, 0, 0, 0\n");
}

TEST(ClusterMassDifferences, OverLongLineIsReadInPieces) {
    // 250 + 9 characters fill the first read: "<name>,1000.0,b" has two commas and no number
    // after the last; the rest ",900.0,100.0,0.5" has three commas and gives 0.5.
    const std::string line = std::string(250, 'x') + ",1000.0,b,900.0,100.0,0.5\n";
    ASSERT_EQ(line.find(",900.0"), 259u);
    EXPECT_EQ(Grouped(line + PairLine("16.0")),
              "0.000000,1, 0, 0, 0, 0, 0\n0.500000,1, 0, 0, 0, 0, 0\n16.000000,1, 0, 0, 0, 0, 0\n");

    // A line of exactly 259 characters before its line break leaves the break as a blank line.
    const std::string exact = "a,b,c,d,2.5," + std::string(247, 'y') + "\n";
    ASSERT_EQ(exact.size(), 260u);
    EXPECT_EQ(Grouped(exact), "0.000000,1, 0, 0, 0, 0, 0\n2.500000,1, 0, 0, 0, 0, 0\n");
}

TEST(ClusterMassDifferences, EmptyPairListEmptiesTempTemp) {
    const TempDir dir;
    const ScopedCurrentDirectory cwd(dir.path());
    WriteFile("pairs.txt", "");
    WriteFile("temp.temp", "old content\n");
    const std::string out = CaptureStdout([] { ClusterMassDifferences("pairs.txt", 0.01); });
    EXPECT_EQ(out, "");
    EXPECT_EQ(ReadFile("temp.temp"), "");
}

TEST(ClusterMassDifferences, MissingInputLeavesTempTempAlone) {
    const TempDir dir;
    const ScopedCurrentDirectory cwd(dir.path());
    WriteFile("temp.temp", "old content\n");
    const std::string path = dir / "no-such-pairs.txt";
    const std::string out = CaptureStdout([&] { ClusterMassDifferences(path, 0.01); });
    EXPECT_EQ(out, "Can not read file:" + path + "\n");
    EXPECT_EQ(ReadFile("temp.temp"), "old content\n");

    // Without an earlier temp.temp none is created.
    std::filesystem::remove("temp.temp");
    CaptureStdout([&] { ClusterMassDifferences(path, 0.01); });
    EXPECT_FALSE(std::filesystem::exists("temp.temp"));
}

TEST(ClusterMassDifferences, UnwritableTempTempIsSilent) {
    const TempDir dir;
    const ScopedCurrentDirectory cwd(dir.path());
    WriteFile("pairs.txt", PairLine("16.0"));
    std::filesystem::create_directory("temp.temp");
    const std::string out = CaptureStdout([] { ClusterMassDifferences("pairs.txt", 0.01); });
    EXPECT_EQ(out, "");
    EXPECT_TRUE(std::filesystem::is_directory("temp.temp"));
}

// Labels are first positions. A gap of 1001 Da or more is never the smallest, so 5000.0
// stays apart for good; re-measuring the left group's right gap (999.95 from its first
// value) lets groups merge that the gap of 1000.35 measured by the right group could not;
// a boundary gap of exactly 1000 Da, re-measured by a merge on its right, is not taken for
// the smallest gap afterwards.
TEST(MergeMassDifferences, LabelsAreFirstPositions) {
    const struct {
        std::vector<double> values;
        double tolerance;
        std::vector<int32_t> labels;
    } cases[] = {
        {{}, 0.01, {}},
        {{3.0}, 0.01, {0}},
        {{16.0, 16.00390625, 16.0078125, 32.0}, 0.01, {0, 0, 0, 3}},
        {{0.0, 0.0078125, 0.01171875}, 0.01, {0, 1, 1}},
        {{0.0, 0.001, 5000.0}, 2000.0, {0, 0, 2}},
        {{0.0, 0.1, 999.95, 1000.45}, 2000.0, {0, 0, 0, 0}},
        {{-150.0, 0.0, 150.0}, 1e9, {0, 0, 0}},
        {{0.0, 1000.0, 1000.5}, 2000.0, {0, 1, 1}},
    };
    for (const auto& c : cases) {
        std::vector<int32_t> labels = {9, 9};
        MergeMassDifferences(c.values, labels, c.tolerance);
        EXPECT_EQ(labels, c.labels) << c.values.size() << " values, tolerance " << c.tolerance;
    }
}

// The merging against the plain one that searches all gaps after every merge.

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

// Infinities and NaN are added now and then.
RC_GTEST_PROP(MergeDifferential, SameLabelsAsThePlainMerge, ()) {
    std::vector<double> d = *rc::gen::container<std::vector<double>>(MassDifference());
    if (*rc::gen::inRange(0, 3) == 0) {
        const auto extra = *rc::gen::container<std::vector<double>>(
            rc::gen::element(std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN()));
        d.insert(d.end(), extra.begin(), extra.end());
    }
    ExpectSameLabels(Sorted(d), *Tolerance());
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
