// The clustering engine from the outside: the precursor sweep, ClusterGroup on small
// groups, and Run with its files and standard output.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "speclink/library/cluster/HierarchicalCluster.h"
#include "speclink/library/consensus/RepresentativeSpectra.h"
#include "speclink/library/data/SpectraProcess.h"
#include "speclink/library/params/Para.h"
#include "speclink/library/peaks/PeakSelect.h"
#include "speclink/library/scoring/Similarity.h"
#include "speclink/tests/support/TestSupport.h"

namespace speclink {

void PrintTo(const PrecursorGroup& group, std::ostream* os) {
    *os << "{" << group.start << ", " << group.size << (group.clustered ? ", clustered}" : "}");
}
bool operator==(const PrecursorGroup& a, const PrecursorGroup& b) {
    return a.start == b.start && a.size == b.size && a.clustered == b.clustered;
}

namespace {

namespace fs = std::filesystem;
using test::CaptureStdout;
using test::ReadFile;
using test::Spectrum;
using test::TempDir;

struct SweepCase {
    std::string name;
    std::vector<double> masses;
    std::vector<int> charges;  ///< charge 2 where none is given
    double tolerance;
    Tolerance_Type unit;
    std::vector<PrecursorGroup> groups;
};

const std::vector<SweepCase>& SweepCases() {
    static const std::vector<SweepCase> cases{
        {"EmptyListIsOneEmptyClusteredGroup", {}, {}, 0.5, TOLERANCE_DA, {{0, 0, true}}},
        {"ApartAllAloneTheLastClustered", {1000, 1001, 1002}, {}, 0.5, TOLERANCE_DA,
         {{0, 1, false}, {1, 1, false}, {2, 1, true}}},
        // 0.30 from the first joins; 0.45 from the first does not, though 0.15 from the second.
        {"MeasuredFromTheGroupsFirst", {1000.0, 1000.3, 1000.45}, {}, 0.4, TOLERANCE_DA, {{0, 2, true}, {2, 1, true}}},
        {"DistanceEqualToToleranceEnds", {1000.0, 1000.5}, {}, 0.5, TOLERANCE_DA, {{0, 1, false}, {1, 1, true}}},
        {"AnotherChargeEnds", {1000.0, 1000.1, 1000.2}, {2, 3, 2}, 0.5, TOLERANCE_DA,
         {{0, 1, false}, {1, 1, false}, {2, 1, true}}},
        // 0.01000015 Da is 19.9999 ppm of 500.01000015 (the spectrum tested), 20.0003 of 500.0.
        {"PpmOfTheSpectrumTested", {500.0, 500.01000015}, {}, 20.0001, TOLERANCE_PPM, {{0, 2, true}}},
        {"PpmOfTheSpectrumTestedDescending", {500.01000015, 500.0}, {}, 20.0001, TOLERANCE_PPM,
         {{0, 1, false}, {1, 1, true}}},
        {"ZeroToleranceEveryoneAlone", {1000, 1000, 1000}, {}, 0.0, TOLERANCE_DA,
         {{0, 1, false}, {1, 1, false}, {2, 1, true}}},
        {"NegativeToleranceEveryoneAlone", {1000, 1000}, {}, -1.0, TOLERANCE_DA, {{0, 1, false}, {1, 1, true}}},
        {"MassZeroInPpmAlone", {0.0, 0.0, 1000.0}, {}, 20.0, TOLERANCE_PPM,
         {{0, 1, false}, {1, 1, false}, {2, 1, true}}},
    };
    return cases;
}

class Sweep : public testing::TestWithParam<SweepCase> {};

TEST_P(Sweep, CutsTheListIntoPrecursorGroups) {
    const SweepCase& c = GetParam();
    std::vector<CSpectrum> spectra;
    for (std::size_t k = 0; k < c.masses.size(); ++k) {
        spectra.push_back(Spectrum().Mass(c.masses[k]).Charge(c.charges.empty() ? 2 : c.charges[k]));
    }
    EXPECT_EQ(SweepPrecursorGroups(spectra, c.tolerance, c.unit), c.groups);
}

INSTANTIATE_TEST_SUITE_P(Edges, Sweep, testing::ValuesIn(SweepCases()),
                         [](const testing::TestParamInfo<SweepCase>& info) { return info.param.name; });

// Single-peak spectra score 1.0 when their peaks lie less than 0.5 apart and 0.0 otherwise.
CSpectrum OnePeak(double mz, int charge = 2) { return Spectrum().Mass(1000.0).Charge(charge).Peak(mz, 100.0); }

struct GroupCase {
    std::string name;
    std::vector<CSpectrum> group;
    double threshold;
    ClusterLinkList links;
    RepresentativeList representatives;
};

const std::vector<GroupCase>& GroupCases() {
    static const std::vector<GroupCase> cases{
        {"EmptyGroup", {}, 0.5, {}, {}},
        {"OneMember", {OnePeak(100.0)}, 0.5, {{0, -1}}, {0}},
        // 100.4 matches both others, which do not match each other: the middle one represents.
        {"ChainRepresentedByItsBestConnectedMember", {OnePeak(100.0), OnePeak(100.4), OnePeak(100.8)}, 0.5,
         {{0, 1}, {0, 2}, {0, -1}}, {1}},
        // Identical spectra score 1.0, scaled 10000, which does not exceed threshold 1.0.
        {"ScoreEqualToThresholdStaysApart", {OnePeak(100.0), OnePeak(100.0)}, 1.0, {{0, -1}, {1, -1}}, {0, 1}},
        // Negative: every positive link merges, pairs that scored 0 stay apart.
        {"NegativeThreshold", {OnePeak(100.0), OnePeak(300.0), OnePeak(100.2)}, -2.0, {{0, 2}, {1, -1}, {0, -1}},
         {0, 1}},
        // Above 3.2767 (whose low 16 bits would be negative): nothing merges.
        {"ThresholdAboveTheScaledRange", {OnePeak(100.0), OnePeak(300.0), OnePeak(100.2)}, 3.5,
         {{0, -1}, {1, -1}, {2, -1}}, {0, 1, 2}},
        {"DifferentChargesNeverLinked", {OnePeak(100.0, 2), OnePeak(100.0, 3), OnePeak(100.0, 2)}, 0.0,
         {{0, 2}, {1, -1}, {0, -1}}, {0, 1}},
        // Intensities 100 and 1 crosswise: after the square root the cosine is 20/101 = 0.198.
        {"ScoresTheSquareRootedPeaks",
         {Spectrum().Charge(2).Peak(100.0, 100.0).Peak(200.0, 1.0), Spectrum().Charge(2).Peak(100.0, 1.0).Peak(200.0, 100.0)},
         0.19, {{0, 1}, {0, -1}}, {0}},
        {"ZeroIntensitiesNeverLink",
         {Spectrum().Charge(2).Peak(100.0, 0.0).Peak(200.0, 0.0), OnePeak(100.0), OnePeak(100.0)}, 0.0,
         {{0, -1}, {1, 2}, {1, -1}}, {0, 1}},
    };
    return cases;
}

class Group : public testing::TestWithParam<GroupCase> {};

TEST_P(Group, LinksAndRepresentatives) {
    const GroupCase& c = GetParam();
    CSimilarity similarity(SIMILAR_PEAK_COUNT, 2.0, TOLERANCE_PPM);
    const CPeakSelect peak_select(PEAK_SELECT_PART_THEN_WHOLE_TOP, 50, 5, 100);
    const CHierarchicalCluster engine(nullptr, nullptr, 0.5, TOLERANCE_DA, c.threshold);
    ClusterLinkList links;
    RepresentativeList representatives{42};
    engine.ClusterGroup(c.group, links, &similarity, representatives, const_cast<CPeakSelect*>(&peak_select));
    EXPECT_EQ(links, c.links);
    RepresentativeList expected{42};
    expected.insert(expected.end(), c.representatives.begin(), c.representatives.end());
    EXPECT_EQ(representatives, expected);
    // Every group, the empty one too, switches the scorer to "Dot Product" at 0.5 Da.
    EXPECT_EQ(similarity.similar_method, SIMILAR_DOT_PRODUCT);
    EXPECT_EQ(similarity.fragment_ion_tol, 0.5);
    EXPECT_EQ(similarity.fragment_ion_tol_type, TOLERANCE_DA);
}

INSTANTIATE_TEST_SUITE_P(Examples, Group, testing::ValuesIn(GroupCases()),
                         [](const testing::TestParamInfo<GroupCase>& info) { return info.param.name; });

// Run over spectra named s<k>.dta whose files hold "file s<k>.dta".
class RunTest : public ::testing::Test {
protected:
    RunTest() { fs::create_directory(dir_.path() / "data"); }

    void Configure(Representative_Spectra consensus, const std::string& data_directory = "") {
        para_.SetDataClass(FORMAT_DTA, data_directory.empty() ? dir_ / "data" : data_directory, dir_ / "out",
                           dir_ / "result.txt", 10);
        para_.SetRepresentativeClass(consensus, 0.4, TOLERANCE_DA);
        para_.SetCluster(para_.spectra_process, para_.representative_spectra, CLUSTER_HIERARCHICAL, 0.5, TOLERANCE_DA,
                         0.5);
        para_.SetSimilarMethod(SIMILAR_BONANZA, 1.0, TOLERANCE_PPM);
        para_.SetPeakSelect(PEAK_SELECT_PART_THEN_WHOLE_TOP, 50, 5, 100);
    }

    void Add(double mass, double peak_mz) {
        const std::string name = "s" + std::to_string(spectra_.size()) + ".dta";
        test::WriteFile(dir_.path() / "data" / name, "file " + name + "\n");
        spectra_.push_back(Spectrum().Name(name).Mass(mass).Charge(2).Peak(peak_mz, 100.0));
    }

    std::string Run() {
        return CaptureStdout([&] { para_.engine->Run(spectra_, para_.similarity, para_.peak_select); });
    }

    std::set<std::string> OutFiles() const {
        std::set<std::string> names;
        if (!fs::exists(dir_.path() / "out")) return names;
        for (const auto& entry : fs::directory_iterator(dir_.path() / "out")) names.insert(entry.path().filename());
        return names;
    }

    TempDir dir_;
    CPara para_;
    std::vector<CSpectrum> spectra_;
};

// Consensus type 3 does nothing after the result file: the output directory shows exactly
// what the sweep copied.
constexpr auto kResultOnly = static_cast<Representative_Spectra>(3);

TEST_F(RunTest, EmptyDataDirectoryStopsBeforeAnything) {
    Configure(CONSENSUS_SPECTRA);
    para_.spectra_process->data_directory.clear();
    Add(1000.0, 100.0);
    EXPECT_EQ(Run(), "Wrong data path!\n");
    EXPECT_FALSE(fs::exists(dir_.path() / "result.txt"));
    EXPECT_FALSE(fs::exists(dir_.path() / "out"));
    EXPECT_EQ(para_.similarity->similar_method, SIMILAR_BONANZA);
}

TEST_F(RunTest, EmptyListStillRunsTheConsensusStep) {
    Configure(CONSENSUS_SPECTRA);
    EXPECT_EQ(Run(), "Clustering done!\nGenerating consensus spectra...\n");
    EXPECT_EQ(ReadFile(dir_.path() / "result.txt"), "");
    EXPECT_TRUE(fs::is_directory(dir_.path() / "out"));
}

TEST_F(RunTest, SpectraAloneInTheSweepAreCopiedTheLastIsClustered) {
    Configure(kResultOnly);
    Add(1000.0, 100.0);
    Add(1001.0, 100.0);
    Add(1002.0, 100.0);
    Run();
    EXPECT_EQ(OutFiles(), (std::set<std::string>{"s0.dta", "s1.dta"}));
    EXPECT_EQ(ReadFile(dir_.path() / "out" / "s0.dta"), "file s0.dta\n");
    const Clustering& last = dynamic_cast<const CHierarchicalCluster&>(*para_.engine).last_clustering();
    EXPECT_EQ(last.links, (ClusterLinkList{{0, -1}, {1, -1}, {2, -1}}));
    EXPECT_EQ(last.representatives, (RepresentativeList{2}));
}

TEST_F(RunTest, RepresentativesOfALaterGroupAreWholeListPositions) {
    // In each group the middle spectrum matches both others, which do not match each other.
    Configure(CONSENSUS_REPRESENTATIVES);
    for (const double mass : {1000.0, 2000.0}) {
        Add(mass, mass / 10.0);
        Add(mass + 0.1, mass / 10.0 + 0.4);
        Add(mass + 0.2, mass / 10.0 + 0.8);
    }
    EXPECT_EQ(Run(), "Clustering done!\nGenerating consensus spectra...\n");
    EXPECT_EQ(OutFiles(), (std::set<std::string>{"s1.dta", "s4.dta"}));
}

TEST_F(RunTest, ProgressIsPrintedInTenthsOfTheList) {
    const std::pair<std::size_t, const char*> cases[] = {
        {9, ""},
        {12, "10%..20%..30%..40%..50%..60%..70%..80%..90%..100%..110%.."},
        {100, "10%..20%..30%..40%..50%..60%..70%..80%..90%.."},
        {105, "10%..20%..30%..40%..50%..60%..70%..80%..90%..100%.."},
    };
    Configure(kResultOnly);
    for (const auto& [count, progress] : cases) {
        spectra_.assign(count, Spectrum().Name("missing.dta").Charge(2).Peak(100.0, 1.0));
        for (std::size_t k = 0; k < count; ++k) spectra_[k].precursor_mass = 1000.0 + static_cast<double>(k);
        EXPECT_EQ(Run(), std::string(progress) + "Clustering done!\nGenerating consensus spectra...\n") << count;
    }
}

// A spectrum source stands for the data directory: the copies take their content from it.
TEST_F(RunTest, CopiesComeFromTheSpectrumSource) {
    struct Source : SpectrumSource {
        std::optional<std::string> Content(const std::string& name) const override {
            if (name == "s1.dta") return std::nullopt;
            return "from source " + name + "\n";
        }
    } source;
    Configure(CONSENSUS_SPECTRA, (dir_.path() / "nowhere").string());
    para_.spectra_process->spectrum_source = &source;
    Add(1000.0, 100.0);
    Add(1001.0, 100.0);
    Add(1002.0, 100.0);
    Run();
    EXPECT_EQ(OutFiles(), (std::set<std::string>{"s0.dta", "s2.dta"}));
    EXPECT_EQ(ReadFile(dir_.path() / "out" / "s0.dta"), "from source s0.dta\n");
    EXPECT_EQ(ReadFile(dir_.path() / "out" / "s2.dta"), "from source s2.dta\n");
}

}  // namespace
}  // namespace speclink
