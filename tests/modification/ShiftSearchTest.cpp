#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "speclink/library/speclink.h"
#include "speclink/tests/support/TestSupport.h"

namespace speclink {
namespace {

using test::CaptureStdout;
using test::ReadFile;
using test::ScopedCurrentDirectory;
using test::Spectrum;
using test::TempDir;

class ShiftSearch : public ::testing::Test {
protected:
    std::string Search(const std::vector<CSpectrum>& spectra) {
        return CaptureStdout([&] { engine.RunShiftSearch(spectra, &similarity, &keep_all); });
    }
    static std::string Pairs() { return ReadFile("pairs.txt"); }

    TempDir dir;
    ScopedCurrentDirectory cwd{dir.path()};
    CSpectraProcess process{FORMAT_DTA, "", "", "pairs.txt", 10};
    CModificationCluster engine{&process, 20.0, TOLERANCE_PPM, 0.5, CLUSTER_MODIFICATION};
    CSimilarity similarity{SIMILAR_BONANZA, 0.3, TOLERANCE_PPM};
    CPeakSelect keep_all{static_cast<Peak_Select_Method>(3), 50, 5, 100};
};

CSpectrum Doubly(const std::string& name, double mass, const PeakList& peaks) {
    return Spectrum().Name(name).Mass(mass).Charge(2).Peaks(peaks);
}

TEST_F(ShiftSearch, ScoresAtTheBestWholeNumberShift) {
    // d = 15.99: the light peak at 300 meets 316 moved by 16, so the shift is 15.99 - 16 + 16.
    Search({Doubly("h.dta", 1015.99, {{316.0, 1.0}}), Doubly("l.dta", 1000.0, {{300.0, 1.0}})});
    EXPECT_EQ(Pairs(), "h.dta,1015.990000,l.dta,1000.000000,15.990000,1.000000, 16\n");

    // Met at 15 the shift becomes 14.99, which matches 315 with 300 + 14.99; 15.99 would not.
    Search({Doubly("h.dta", 1015.99, {{315.0, 1.0}}), Doubly("l.dta", 1000.0, {{300.0, 1.0}})});
    EXPECT_EQ(Pairs(), "h.dta,1015.990000,l.dta,1000.000000,15.990000,1.000000, 15\n");
}

TEST_F(ShiftSearch, NegativeDifferenceRoundsTowardZero) {
    // d = -10.3: (d + 0.5) truncates to -9, so k = 10 gives the shift -10.3 + 19 = 8.7, which
    // matches the light 408.7 with the heavy 400 + 8.7 (score 250^2 / 500^2 = 0.5). The light
    // spectrum comes first, and its 300 moved by 10 meets 310 only.
    engine.threshold = 0.4;
    Search({Doubly("l.dta", 1000.0, {{300.0, 1.0}, {408.7, 1.0}}),
            Doubly("h.dta", 1010.3, {{310.0, 1.0}, {400.0, 1.0}})});
    EXPECT_EQ(Pairs(), "l.dta,1000.000000,h.dta,1010.300000,-10.300000,0.500000, 10\n");
}

TEST_F(ShiftSearch, NoMatchGivesShiftZero) {
    engine.threshold = -1.0;
    Search({Doubly("a.dta", 1050.0, {{300.0, 1.0}}), Doubly("b.dta", 1000.0, {{900.0, 1.0}})});
    EXPECT_EQ(Pairs(), "a.dta,1050.000000,b.dta,1000.000000,50.000000,0.000000, 0\n");
}

TEST_F(ShiftSearch, OnlyDoublyChargedPairsInTheFixedWindow) {
    engine.threshold = -1.0;
    engine.lower_mass = 50;   // not used by the shift search
    engine.upper_mass = 60;
    const PeakList peaks = {{300.0, 1.0}};
    Search({Doubly("a.dta", 1000.0, peaks), Doubly("b.dta", 1006.0, peaks), Doubly("c.dta", 1200.0, peaks),
            Doubly("d.dta", 1205.999, peaks), Doubly("e.dta", 1400.001, peaks),
            Spectrum().Name("t.dta").Mass(1100.0).Charge(3).Peaks(peaks),
            Spectrum().Name("u.dta").Mass(1110.0).Charge(3).Peaks(peaks)});
    // No k of 1 to 205 brings 300 back onto 300, so k is 0 and the shift stays below 0.5; the
    // direct match scores 1.0. c-d (5.999) and c-e (200.001) lie outside 6.0 .. 200.0.
    EXPECT_EQ(Pairs(),
              "a.dta,1000.000000,b.dta,1006.000000,-6.000000,1.000000, 0\n"
              "a.dta,1000.000000,c.dta,1200.000000,-200.000000,1.000000, 0\n"
              "b.dta,1006.000000,c.dta,1200.000000,-194.000000,1.000000, 0\n"
              "b.dta,1006.000000,d.dta,1205.999000,-199.999000,1.000000, 0\n"
              "d.dta,1205.999000,e.dta,1400.001000,-194.002000,1.000000, 0\n");
}

TEST_F(ShiftSearch, ScorerIsLeftAtDotProductMod) {
    Search({Doubly("a.dta", 1000.0, {{300.0, 1.0}}), Doubly("b.dta", 5000.0, {{300.0, 1.0}})});
    EXPECT_EQ(similarity.similar_method, SIMILAR_BONANZA);
    EXPECT_EQ(similarity.fragment_ion_tol, 0.3);
    EXPECT_EQ(similarity.fragment_ion_tol_type, TOLERANCE_PPM);

    Search({Doubly("a.dta", 1000.0, {{300.0, 1.0}}), Doubly("b.dta", 1050.0, {{300.0, 1.0}})});
    EXPECT_EQ(similarity.similar_method, SIMILAR_DOT_PRODUCT_MOD);
    EXPECT_EQ(similarity.fragment_ion_tol, 0.5);
    EXPECT_EQ(similarity.fragment_ion_tol_type, TOLERANCE_DA);
}

TEST_F(ShiftSearch, ScoreEqualToThresholdIsNotListed) {
    // Four equal peaks against one of them score 0.5 exactly.
    const std::vector<CSpectrum> spectra = {
        Doubly("four.dta", 1000.0, {{100, 1}, {200, 1}, {300, 1}, {400, 1}}), Doubly("one.dta", 1050.0, {{100, 1}})};
    Search(spectra);
    EXPECT_EQ(Pairs(), "");
    engine.threshold = 0.4999;
    Search(spectra);
    EXPECT_EQ(Pairs(), "four.dta,1000.000000,one.dta,1050.000000,-50.000000,0.500000, 0\n");
    // Neither score.txt nor temp.temp belongs to the shift search.
    EXPECT_FALSE(std::filesystem::exists("score.txt"));
    EXPECT_FALSE(std::filesystem::exists("temp.temp"));
}

TEST_F(ShiftSearch, UnopenablePairList) {
    const std::string path = dir / "missing/pairs.txt";
    process.cluster_result = path;
    EXPECT_EQ(Search({Doubly("a.dta", 1000.0, {{300.0, 1.0}}), Doubly("b.dta", 1050.0, {{300.0, 1.0}})}),
              "Cannot open file: " + path + "!\n");
    EXPECT_EQ(similarity.similar_method, SIMILAR_BONANZA);
}

struct BestShiftCase {
    const char* name;
    double mass_a;
    PeakList a;
    double mass_b;
    PeakList b;
    int32_t expected;
};

void PrintTo(const BestShiftCase& c, std::ostream* os) { *os << c.name; }

class FindBestShift : public ::testing::TestWithParam<BestShiftCase> {};

TEST_P(FindBestShift, PicksTheFirstBestK) {
    const BestShiftCase& c = GetParam();
    const CModificationCluster engine(nullptr, 20.0, TOLERANCE_PPM, 0.5, CLUSTER_MODIFICATION);
    const CSpectrum a = Spectrum().Mass(c.mass_a).Charge(2);
    const CSpectrum b = Spectrum().Mass(c.mass_b).Charge(2);
    const PeakList a_before = c.a;
    const PeakList b_before = c.b;
    EXPECT_EQ(engine.FindBestShift(a, b, c.a, c.b, c.mass_a - c.mass_b), c.expected);
    EXPECT_EQ(c.a, a_before);
    EXPECT_EQ(c.b, b_before);
}

const BestShiftCase kBestShiftCases[] = {
    {"NothingMatches", 1016.0, {{316.0, 500.0}}, 1000.0, {{700.0, 1000.0}}, 0},
    {"LighterSecondMoves", 1016.0, {{316.0, 1000.0}}, 1000.0, {{300.0, 1000.0}}, 16},
    {"LighterFirstMoves", 1000.0, {{300.0, 1000.0}}, 1016.0, {{316.0, 1000.0}}, 16},
    // Around N = 16 only k = 11 .. 21 is tried: 21 is, 22 is not.
    {"EdgeOfTheRange", 1016.0, {{321.0, 1000.0}}, 1000.0, {{300.0, 1000.0}}, 21},
    {"OutsideTheRange", 1016.0, {{322.0, 1000.0}}, 1000.0, {{300.0, 1000.0}}, 0},
    // 15 and 16 each bring one of two equal peaks into line: the smaller wins.
    {"TieTakesTheSmallestK", 1016.0, {{315.0, 500.0}, {516.0, 500.0}}, 1000.0, {{300.0, 500.0}, {500.0, 500.0}}, 15},
    // A better agreement at a larger k wins over a weaker one at a smaller k.
    {"BestScoreWins", 1016.0, {{315.0, 100.0}, {516.0, 500.0}}, 1000.0, {{300.0, 100.0}, {500.0, 500.0}}, 16},
    // |d| = 10.3 rounds to 10, so 5 .. 15 is searched.
    {"NegativeDifference", 1000.0, {{300.0, 1.0}}, 1010.3, {{305.0, 1.0}}, 5},
};

INSTANTIATE_TEST_SUITE_P(ShiftSearch, FindBestShift, ::testing::ValuesIn(kBestShiftCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace speclink
