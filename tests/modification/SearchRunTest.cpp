// Both searches of the modification engine on small hand-made lists: the mass window,
// the charge rule, thresholds, the whole-number shift, progress and the files they leave.

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
using test::WriteFile;

// An engine, scorer and selector working in a fresh current directory; the selector keeps
// every peak, so the prepared lists differ from the input only by SqrtNormalize.
class ModificationRun : public ::testing::Test {
protected:
    std::string Run(const std::vector<CSpectrum>& spectra) {
        return CaptureStdout([&] { engine.Run(spectra, &similarity, &keep_all); });
    }
    static std::string Pairs() { return ReadFile("pairs.txt"); }
    static std::string Scores() { return ReadFile("score.txt"); }

    TempDir dir;
    ScopedCurrentDirectory cwd{dir.path()};
    CSpectraProcess process{FORMAT_DTA, "", "", "pairs.txt", 10};
    CModificationCluster engine{&process, 20.0, TOLERANCE_PPM, 0.5, CLUSTER_MODIFICATION};
    CSimilarity similarity{SIMILAR_DOT_PRODUCT, 0.5, TOLERANCE_DA};
    CPeakSelect keep_all{static_cast<Peak_Select_Method>(3), 50, 5, 100};
};

// One peak at m/z 300: two of them score 1.0 by every dot product.
CSpectrum OnePeak(const std::string& name, double mass, int charge = 2) {
    return Spectrum().Name(name).Mass(mass).Charge(charge).Peak(300.0, 1.0);
}

struct WindowCase {
    const char* name;
    double second_mass;
    const char* pair_line;  // empty when the pair is not scored
};

void PrintTo(const WindowCase& c, std::ostream* os) { *os << c.name; }

class MassWindow : public ModificationRun, public ::testing::WithParamInterface<WindowCase> {};

TEST_P(MassWindow, BoundsAreInside) {
    Run({OnePeak("a.dta", 1000.0), OnePeak("b.dta", GetParam().second_mass)});
    const std::string line = GetParam().pair_line;
    EXPECT_EQ(Pairs(), line);
    EXPECT_EQ(Scores(), line.empty() ? "" : "1.0000\n");
}

const WindowCase kWindowCases[] = {
    {"LowerBound", 1006.0, "a.dta,1000.000000,b.dta,1006.000000,-6.000000,1.000000\n"},
    {"LowerBoundHeavierFirst", 994.0, "a.dta,1000.000000,b.dta,994.000000,6.000000,1.000000\n"},
    {"UpperBound", 1200.0, "a.dta,1000.000000,b.dta,1200.000000,-200.000000,1.000000\n"},
    {"UpperBoundHeavierFirst", 800.0, "a.dta,1000.000000,b.dta,800.000000,200.000000,1.000000\n"},
    {"JustBelowLower", 994.001, ""},
    {"JustBelowLowerNegative", 1005.999, ""},
    {"JustAboveUpper", 799.999, ""},
    {"JustAboveUpperNegative", 1200.001, ""},
    {"SameMass", 1000.0, ""},
};

INSTANTIATE_TEST_SUITE_P(Run, MassWindow, ::testing::ValuesIn(kWindowCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ModificationRun, MassWindowFollowsTheEngineSettings) {
    engine.lower_mass = 10;
    engine.upper_mass = 20;
    Run({OnePeak("a.dta", 1000.0), OnePeak("b.dta", 1006.0), OnePeak("c.dta", 1020.0), OnePeak("d.dta", 1021.0)});
    EXPECT_EQ(Pairs(),
              "a.dta,1000.000000,c.dta,1020.000000,-20.000000,1.000000\n"
              "b.dta,1006.000000,c.dta,1020.000000,-14.000000,1.000000\n"
              "b.dta,1006.000000,d.dta,1021.000000,-15.000000,1.000000\n");
}

// Four equal peaks against one of them: P / sqrt(Q1 Q2) = 250^2 / (500 * 1000) = 0.5 exactly.
std::vector<CSpectrum> HalfScorePair() {
    return {Spectrum().Name("four.dta").Mass(1000.0).Charge(2).Peak(100, 1).Peak(200, 1).Peak(300, 1).Peak(400, 1),
            Spectrum().Name("one.dta").Mass(1010.0).Charge(2).Peak(100, 1)};
}

TEST_F(ModificationRun, ScoreEqualToThresholdIsNotListed) {
    engine.threshold = 0.5;
    Run(HalfScorePair());
    EXPECT_EQ(Pairs(), "");
    EXPECT_EQ(Scores(), "0.7071\n");
    EXPECT_EQ(ReadFile("temp.temp"), "");

    engine.threshold = 0.4999;
    Run(HalfScorePair());
    EXPECT_EQ(Pairs(), "four.dta,1000.000000,one.dta,1010.000000,-10.000000,0.500000\n");
    EXPECT_EQ(ReadFile("temp.temp"), "-10.000000,1, 0, 0, 0, 0, 0\n");
}

// `count` peaks one m/z apart from 100 on; "Peak Count" scores one match among them 1 / count.
CSpectrum Comb(const std::string& name, double mass, int count) {
    test::SpectrumBuilder builder = Spectrum().Name(name).Mass(mass).Charge(2);
    for (int k = 0; k < count; ++k) builder.Peak(100.0 + k, 1.0);
    return builder;
}

TEST_F(ModificationRun, ScoreOfExactlyOneTenThousandthIsNotInScoreFile) {
    ASSERT_EQ(1.0 / 10000.0, 0.0001);
    similarity.similar_method = SIMILAR_PEAK_COUNT;
    Run({Comb("comb10000.dta", 1000.0, 10000), Spectrum().Name("x.dta").Mass(1010.0).Charge(2).Peak(100.0, 1.0),
         Comb("comb9999.dta", 2000.0, 9999), Spectrum().Name("y.dta").Mass(2010.0).Charge(2).Peak(100.0, 1.0)});
    // Only 1 / 9999, just above 0.0001, is written: sqrt gives 0.0100005.
    EXPECT_EQ(Scores(), "0.0100\n");
    EXPECT_EQ(Pairs(), "");
}

TEST_F(ModificationRun, ScoreFileGrowsAndPairListIsReplaced) {
    WriteFile("pairs.txt", "stale line\n");
    engine.threshold = 0.4;
    Run(HalfScorePair());
    const std::string pairs = Pairs();
    EXPECT_EQ(pairs, "four.dta,1000.000000,one.dta,1010.000000,-10.000000,0.500000\n");
    Run(HalfScorePair());
    EXPECT_EQ(Pairs(), pairs);
    EXPECT_EQ(Scores(), "0.7071\n0.7071\n");
}

struct ChargeCase {
    const char* name;
    Similar_Method method;
    int first_charge;
    int second_charge;
    const char* score;  // the listed score, or empty when the pair is skipped
};

void PrintTo(const ChargeCase& c, std::ostream* os) { *os << c.name; }

class ChargeRule : public ModificationRun, public ::testing::WithParamInterface<ChargeCase> {};

TEST_P(ChargeRule, DecidesWhichPairsAreScored) {
    const ChargeCase& c = GetParam();
    similarity.similar_method = c.method;
    engine.threshold = -1.0;  // every scored pair is listed, 0.0 included
    Run({OnePeak("i.dta", 1020.0, c.first_charge), OnePeak("j.dta", 1000.0, c.second_charge)});
    const std::string score = c.score;
    EXPECT_EQ(Pairs(), score.empty() ? "" : "i.dta,1020.000000,j.dta,1000.000000,20.000000," + score + "\n");
}

const ChargeCase kChargeCases[] = {
    {"DotProductEqualCharges", SIMILAR_DOT_PRODUCT, 2, 2, "1.000000"},
    {"DotProductThreeThenTwoSkipped", SIMILAR_DOT_PRODUCT, 3, 2, ""},
    {"DotProductXThreeThenTwo", SIMILAR_DOT_PRODUCT_X, 3, 2, "1.000000"},
    {"DotProductXTwoThenThreeSkipped", SIMILAR_DOT_PRODUCT_X, 2, 3, ""},
    // Equal charges under "Dot Product X" score 0.0 without scoring the identical peaks.
    {"DotProductXEqualChargesScoreZero", SIMILAR_DOT_PRODUCT_X, 2, 2, "0.000000"},
    {"ComprehensiveThreeThenTwo", SIMILAR_COMPREHENSIVE, 3, 2, "1.000000"},
    {"ComprehensiveTwoThenThreeSkipped", SIMILAR_COMPREHENSIVE, 2, 3, ""},
    {"ComprehensiveOtherChargesSkipped", SIMILAR_COMPREHENSIVE, 4, 2, ""},
    {"ComprehensiveChargeOneScoresZero", SIMILAR_COMPREHENSIVE, 1, 1, "0.000000"},
    {"ComprehensiveTwoTwo", SIMILAR_COMPREHENSIVE, 2, 2, "1.000000"},
};

INSTANTIATE_TEST_SUITE_P(Run, ChargeRule, ::testing::ValuesIn(kChargeCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ModificationRun, ComprehensiveTriesHalfTheShiftForTripleCharges) {
    similarity.similar_method = SIMILAR_COMPREHENSIVE;
    // d = 20: the peak at 310 lies d / 2 above 300, so only the second try matches.
    Run({Spectrum().Name("i.dta").Mass(1020.0).Charge(3).Peak(310.0, 1.0),
         Spectrum().Name("j.dta").Mass(1000.0).Charge(3).Peak(300.0, 1.0)});
    EXPECT_EQ(Pairs(), "i.dta,1020.000000,j.dta,1000.000000,20.000000,1.000000\n");

    // Doubly charged: only d itself is tried.
    Run({Spectrum().Name("i.dta").Mass(1020.0).Charge(2).Peak(310.0, 1.0),
         Spectrum().Name("j.dta").Mass(1000.0).Charge(2).Peak(300.0, 1.0)});
    EXPECT_EQ(Pairs(), "");
}

TEST_F(ModificationRun, ComprehensiveLeavesTheLastResolvedMethod) {
    similarity = CSimilarity(SIMILAR_COMPREHENSIVE, 0.3, TOLERANCE_PPM);
    Run({OnePeak("a.dta", 1000.0, 2), OnePeak("b.dta", 2000.0, 2)});
    EXPECT_EQ(similarity.similar_method, SIMILAR_COMPREHENSIVE);
    EXPECT_EQ(similarity.fragment_ion_tol, 0.3);
    EXPECT_EQ(similarity.fragment_ion_tol_type, TOLERANCE_PPM);

    Run({OnePeak("a.dta", 1020.0, 3), OnePeak("b.dta", 1000.0, 2)});
    EXPECT_EQ(similarity.similar_method, SIMILAR_DOT_PRODUCT_X);
    EXPECT_EQ(similarity.fragment_ion_tol, 0.5);
    EXPECT_EQ(similarity.fragment_ion_tol_type, TOLERANCE_DA);

    // The configured method was read once: the second pair is still resolved, now to method 2.
    similarity.similar_method = SIMILAR_COMPREHENSIVE;
    Run({OnePeak("a.dta", 1020.0, 3), OnePeak("b.dta", 1000.0, 2), OnePeak("c.dta", 1010.0, 2)});
    EXPECT_EQ(similarity.similar_method, SIMILAR_DOT_PRODUCT_MOD);
}

struct ProgressCase {
    int spectra;
    const char* text;
};

class ProgressText : public ModificationRun, public ::testing::WithParamInterface<ProgressCase> {};

TEST_P(ProgressText, OneFigurePerTenth) {
    // Equal masses: no pair is scored.
    const std::vector<CSpectrum> spectra(static_cast<size_t>(GetParam().spectra), OnePeak("s.dta", 1000.0));
    EXPECT_EQ(Run(spectra), GetParam().text);
    EXPECT_EQ(Pairs(), "");
    EXPECT_EQ(ReadFile("temp.temp"), "");
}

INSTANTIATE_TEST_SUITE_P(Run, ProgressText,
                         ::testing::Values(ProgressCase{0, ""}, ProgressCase{9, ""},
                                           ProgressCase{10, "10%..20%..30%..40%..50%..60%..70%..80%..90%.."},
                                           ProgressCase{15,
                                                        "10%..20%..30%..40%..50%..60%..70%..80%..90%..100%..110%.."
                                                        "120%..130%..140%.."},
                                           ProgressCase{100, "10%..20%..30%..40%..50%..60%..70%..80%..90%.."},
                                           ProgressCase{105, "10%..20%..30%..40%..50%..60%..70%..80%..90%..100%.."}),
                         [](const auto& info) { return std::to_string(info.param.spectra) + "Spectra"; });

TEST_F(ModificationRun, EmptyListLeavesScoreFileAsItWas) {
    WriteFile("score.txt", "0.9000\n");
    EXPECT_EQ(Run({}), "");
    EXPECT_EQ(Pairs(), "");
    EXPECT_EQ(ReadFile("temp.temp"), "");
    EXPECT_EQ(Scores(), "0.9000\n");
}

TEST_F(ModificationRun, UnopenablePairList) {
    const std::string path = dir / "missing/pairs.txt";
    process.cluster_result = path;
    EXPECT_EQ(Run(HalfScorePair()), "Cannot open file: " + path + "!\n");
    // score.txt was opened first, so it exists, and received nothing; temp.temp is not made.
    EXPECT_EQ(Scores(), "");
    EXPECT_FALSE(std::filesystem::exists("temp.temp"));
}

TEST_F(ModificationRun, UnopenableScoreFileIsSkipped) {
    std::filesystem::create_directory("score.txt");
    engine.threshold = 0.4;
    EXPECT_EQ(Run(HalfScorePair()), "");
    EXPECT_EQ(Pairs(), "four.dta,1000.000000,one.dta,1010.000000,-10.000000,0.500000\n");
    EXPECT_EQ(ReadFile("temp.temp"), "-10.000000,1, 0, 0, 0, 0, 0\n");
}

class ShiftSearchRun : public ModificationRun {
protected:
    std::string Search(const std::vector<CSpectrum>& spectra) {
        return CaptureStdout([&] { engine.RunShiftSearch(spectra, &similarity, &keep_all); });
    }
};

CSpectrum Doubly(const std::string& name, double mass, const PeakList& peaks) {
    return Spectrum().Name(name).Mass(mass).Charge(2).Peaks(peaks);
}

TEST_F(ShiftSearchRun, ScoresAtTheBestWholeNumberShift) {
    // d = 15.99: the light peak at 300 meets 316 moved by 16, so the shift is 15.99 - 16 + 16.
    Search({Doubly("h.dta", 1015.99, {{316.0, 1.0}}), Doubly("l.dta", 1000.0, {{300.0, 1.0}})});
    EXPECT_EQ(Pairs(), "h.dta,1015.990000,l.dta,1000.000000,15.990000,1.000000, 16\n");

    // Met at 15 the shift becomes 14.99, which matches 315 with 300 + 14.99; 15.99 would not.
    Search({Doubly("h.dta", 1015.99, {{315.0, 1.0}}), Doubly("l.dta", 1000.0, {{300.0, 1.0}})});
    EXPECT_EQ(Pairs(), "h.dta,1015.990000,l.dta,1000.000000,15.990000,1.000000, 15\n");
}

TEST_F(ShiftSearchRun, NegativeDifferenceRoundsTowardZero) {
    // d = -10.3: (d + 0.5) truncates to -9, so k = 10 gives the shift -10.3 + 19 = 8.7, which
    // matches the light 408.7 with the heavy 400 + 8.7 (score 250^2 / 500^2 = 0.5). The light
    // spectrum comes first, and its 300 moved by 10 meets 310 only.
    engine.threshold = 0.4;
    Search({Doubly("l.dta", 1000.0, {{300.0, 1.0}, {408.7, 1.0}}),
            Doubly("h.dta", 1010.3, {{310.0, 1.0}, {400.0, 1.0}})});
    EXPECT_EQ(Pairs(), "l.dta,1000.000000,h.dta,1010.300000,-10.300000,0.500000, 10\n");
}

TEST_F(ShiftSearchRun, NoMatchGivesShiftZero) {
    engine.threshold = -1.0;
    Search({Doubly("a.dta", 1050.0, {{300.0, 1.0}}), Doubly("b.dta", 1000.0, {{900.0, 1.0}})});
    EXPECT_EQ(Pairs(), "a.dta,1050.000000,b.dta,1000.000000,50.000000,0.000000, 0\n");
}

TEST_F(ShiftSearchRun, OnlyDoublyChargedPairsInTheFixedWindow) {
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

TEST_F(ShiftSearchRun, ScorerIsLeftAtDotProductMod) {
    similarity = CSimilarity(SIMILAR_BONANZA, 0.3, TOLERANCE_PPM);
    Search({Doubly("a.dta", 1000.0, {{300.0, 1.0}}), Doubly("b.dta", 5000.0, {{300.0, 1.0}})});
    EXPECT_EQ(similarity.similar_method, SIMILAR_BONANZA);
    EXPECT_EQ(similarity.fragment_ion_tol, 0.3);
    EXPECT_EQ(similarity.fragment_ion_tol_type, TOLERANCE_PPM);

    Search({Doubly("a.dta", 1000.0, {{300.0, 1.0}}), Doubly("b.dta", 1050.0, {{300.0, 1.0}})});
    EXPECT_EQ(similarity.similar_method, SIMILAR_DOT_PRODUCT_MOD);
    EXPECT_EQ(similarity.fragment_ion_tol, 0.5);
    EXPECT_EQ(similarity.fragment_ion_tol_type, TOLERANCE_DA);
}

TEST_F(ShiftSearchRun, ScoreEqualToThresholdIsNotListed) {
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

TEST_F(ShiftSearchRun, UnopenablePairList) {
    similarity = CSimilarity(SIMILAR_BONANZA, 0.3, TOLERANCE_PPM);
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
