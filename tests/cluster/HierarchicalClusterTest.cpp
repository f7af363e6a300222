#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>

#include "speclink/library/cluster/HierarchicalCluster.h"
#include "speclink/library/consensus/RepresentativeSpectra.h"
#include "speclink/library/data/SpectraProcess.h"
#include "speclink/library/params/Para.h"
#include "speclink/library/peaks/PeakSelect.h"
#include "speclink/library/scoring/Similarity.h"
#include "speclink/tests/support/TestSupport.h"

namespace speclink {
namespace {

namespace fs = std::filesystem;
using test::CaptureStdout;
using test::ReadFile;
using test::Spectrum;
using test::TempDir;

// Spectra named s<k>.dta whose files hold "file s<k>.dta"; a single peak each, so that two
// spectra score 1.0 when their peaks lie less than 0.5 apart and 0.0 otherwise.
class RunTest : public ::testing::Test {
protected:
    RunTest() { fs::create_directory(dir_.path() / "data"); }

    void Configure(double tolerance, Tolerance_Type unit, Representative_Spectra consensus, double threshold = 0.5,
                   const std::string& data_directory = "") {
        para_.SetDataClass(FORMAT_DTA, data_directory.empty() ? dir_ / "data" : data_directory, dir_ / "out",
                           dir_ / "result.txt", 10);
        para_.SetRepresentativeClass(consensus, 0.4, TOLERANCE_DA);
        para_.SetCluster(para_.spectra_process, para_.representative_spectra, CLUSTER_HIERARCHICAL, tolerance, unit,
                         threshold);
        para_.SetSimilarMethod(SIMILAR_BONANZA, 1.0, TOLERANCE_PPM);
        para_.SetPeakSelect(PEAK_SELECT_PART_THEN_WHOLE_TOP, 50, 5, 100);
    }

    void Add(double mass, double peak_mz, int charge = 2) {
        const std::string name = "s" + std::to_string(spectra_.size()) + ".dta";
        test::WriteFile(dir_.path() / "data" / name, "file " + name + "\n");
        spectra_.push_back(Spectrum().Name(name).Mass(mass).Charge(charge).Peak(peak_mz, 100.0));
    }

    std::string Run() {
        return CaptureStdout([&] { para_.engine->Run(spectra_, para_.similarity, para_.peak_select); });
    }

    // Cluster number of every spectrum, in list order, from the result file.
    std::vector<int> ClusterNumbers() const {
        std::vector<int> numbers(spectra_.size(), 0);
        std::istringstream lines(ReadFile(dir_.path() / "result.txt"));
        std::string line;
        while (std::getline(lines, line)) {
            const auto first_comma = line.find(',');
            const auto second_comma = line.find(',', first_comma + 1);
            const auto third_comma = line.find(',', second_comma + 1);
            const std::string name = line.substr(first_comma + 1, second_comma - first_comma - 1);
            const int index = std::stoi(name.substr(1));
            numbers.at(static_cast<size_t>(index)) = std::stoi(line.substr(second_comma + 1, third_comma));
        }
        return numbers;
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

// Consensus type 3 does nothing after the result file, so the output directory shows
// exactly the spectra that the sweep copied.
constexpr auto kResultOnly = static_cast<Representative_Spectra>(3);

TEST_F(RunTest, EmptyDataDirectoryStopsBeforeAnything) {
    Configure(0.5, TOLERANCE_DA, CONSENSUS_SPECTRA);
    para_.spectra_process->data_directory.clear();
    Add(1000.0, 100.0);
    Add(1001.0, 100.0);
    EXPECT_EQ(Run(), "Wrong data path!\n");
    EXPECT_FALSE(fs::exists(dir_.path() / "result.txt"));
    EXPECT_FALSE(fs::exists(dir_.path() / "out"));
    // The scorer is not touched either.
    EXPECT_EQ(para_.similarity->similar_method, SIMILAR_BONANZA);
}

TEST_F(RunTest, EmptyListStillRunsTheConsensusStep) {
    Configure(0.5, TOLERANCE_DA, CONSENSUS_SPECTRA);
    EXPECT_EQ(Run(), "Clustering done!\nGenerating consensus spectra...\n");
    EXPECT_EQ(ReadFile(dir_.path() / "result.txt"), "");
    EXPECT_TRUE(fs::is_directory(dir_.path() / "out"));
    EXPECT_EQ(para_.similarity->similar_method, SIMILAR_DOT_PRODUCT);
    EXPECT_EQ(para_.similarity->fragment_ion_tol, 0.5);
    EXPECT_EQ(para_.similarity->fragment_ion_tol_type, TOLERANCE_DA);
}

TEST_F(RunTest, SpectraApartAreCopiedExceptTheLastOneWhichIsClustered) {
    Configure(0.5, TOLERANCE_DA, kResultOnly);
    Add(1000.0, 100.0);
    Add(1001.0, 100.0);
    Add(1002.0, 100.0);
    Run();
    EXPECT_EQ(ClusterNumbers(), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(OutFiles(), (std::set<std::string>{"s0.dta", "s1.dta"}));
    EXPECT_EQ(ReadFile(dir_.path() / "out" / "s0.dta"), "file s0.dta\n");

    // With representatives copied, the last spectrum appears as its group's representative.
    fs::remove_all(dir_.path() / "out");
    para_.representative_spectra->consensus_type = CONSENSUS_REPRESENTATIVES;
    Run();
    EXPECT_EQ(OutFiles(), (std::set<std::string>{"s0.dta", "s1.dta", "s2.dta"}));
}

TEST_F(RunTest, DistanceIsMeasuredFromTheGroupsFirstSpectrum) {
    // 0.30 from the first joins; 0.45 from the first does not, though 0.15 from the second.
    Configure(0.4, TOLERANCE_DA, kResultOnly);
    Add(1000.00, 100.0);
    Add(1000.30, 100.0);
    Add(1000.45, 100.0);
    Run();
    EXPECT_EQ(ClusterNumbers(), (std::vector<int>{1, 1, 2}));
    EXPECT_EQ(OutFiles(), std::set<std::string>{});
}

TEST_F(RunTest, DistanceEqualToTheToleranceEndsTheGroup) {
    Configure(0.5, TOLERANCE_DA, kResultOnly);
    Add(1000.0, 100.0);
    Add(1000.5, 100.0);
    Run();
    EXPECT_EQ(ClusterNumbers(), (std::vector<int>{1, 2}));
    EXPECT_EQ(OutFiles(), (std::set<std::string>{"s0.dta"}));
}

TEST_F(RunTest, AnotherChargeEndsTheGroup) {
    Configure(0.5, TOLERANCE_DA, kResultOnly);
    Add(1000.0, 100.0, 2);
    Add(1000.1, 100.0, 3);
    Add(1000.2, 100.0, 2);
    Run();
    EXPECT_EQ(ClusterNumbers(), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(OutFiles(), (std::set<std::string>{"s0.dta", "s1.dta"}));
}

TEST_F(RunTest, PpmIsRelativeToTheSpectrumBeingTested) {
    // 0.01000015 Da is 20.0003 ppm of 500.0 and 19.9999 ppm of 500.01000015.
    Configure(20.0001, TOLERANCE_PPM, kResultOnly);
    Add(500.0, 100.0);
    Add(500.01000015, 100.0);
    Run();
    EXPECT_EQ(ClusterNumbers(), (std::vector<int>{1, 1}));

    spectra_.clear();
    Add(500.01000015, 100.0);
    Add(500.0, 100.0);
    Run();
    EXPECT_EQ(ClusterNumbers(), (std::vector<int>{1, 2}));
}

TEST_F(RunTest, RepresentativesOfALaterGroupAreWholeListPositions) {
    // In each group the middle spectrum matches both others, which do not match each other.
    Configure(0.5, TOLERANCE_DA, CONSENSUS_REPRESENTATIVES);
    Add(1000.0, 100.0);
    Add(1000.1, 100.4);
    Add(1000.2, 100.8);
    Add(2000.0, 300.0);
    Add(2000.1, 300.4);
    Add(2000.2, 300.8);
    EXPECT_EQ(Run(), "Clustering done!\nGenerating consensus spectra...\n");
    EXPECT_EQ(ClusterNumbers(), (std::vector<int>{1, 1, 1, 2, 2, 2}));
    EXPECT_EQ(OutFiles(), (std::set<std::string>{"s1.dta", "s4.dta"}));
}

TEST_F(RunTest, NonPositiveToleranceMakesEverySpectrumAGroupOfItsOwn) {
    for (const double tolerance : {0.0, -1.0}) {
        SCOPED_TRACE(tolerance);
        Configure(tolerance, TOLERANCE_DA, kResultOnly);
        spectra_.clear();
        fs::remove_all(dir_.path() / "out");
        Add(1000.0, 100.0);
        Add(1000.0, 100.0);
        Add(1000.0, 100.0);
        Run();
        EXPECT_EQ(ClusterNumbers(), (std::vector<int>{1, 2, 3}));
        EXPECT_EQ(OutFiles(), (std::set<std::string>{"s0.dta", "s1.dta"}));
    }
}

TEST_F(RunTest, MassZeroInPpmOpensAGroupOfItsOwn) {
    Configure(20.0, TOLERANCE_PPM, kResultOnly);
    Add(0.0, 100.0);
    Add(0.0, 100.0);
    Add(1000.0, 100.0);
    Run();
    EXPECT_EQ(ClusterNumbers(), (std::vector<int>{1, 2, 3}));
}

TEST_F(RunTest, ProgressIsPrintedInTenthsOfTheList) {
    struct Case {
        size_t count;
        const char* progress;
    };
    const Case cases[] = {
        {0, ""},
        {9, ""},
        {10, "10%..20%..30%..40%..50%..60%..70%..80%..90%.."},
        {12, "10%..20%..30%..40%..50%..60%..70%..80%..90%..100%..110%.."},
        {100, "10%..20%..30%..40%..50%..60%..70%..80%..90%.."},
        {105, "10%..20%..30%..40%..50%..60%..70%..80%..90%..100%.."},
    };
    Configure(0.5, TOLERANCE_DA, kResultOnly);
    for (const Case& c : cases) {
        spectra_.assign(c.count, Spectrum().Name("missing.dta").Mass(1000.0).Charge(2).Peak(100.0, 1.0));
        for (size_t k = 0; k < c.count; ++k) spectra_[k].precursor_mass = 1000.0 + static_cast<double>(k);
        EXPECT_EQ(Run(), std::string(c.progress) + "Clustering done!\nGenerating consensus spectra...\n") << c.count;
    }
}

TEST_F(RunTest, TheConsensusStepReceivesACopyOfTheDataSetSettings) {
    Configure(0.5, TOLERANCE_DA, kResultOnly);
    para_.spectra_process->spectra.push_back(Spectrum().Name("kept.dta"));
    para_.spectra_process->small_peaks_count_filter = 3;
    Add(1000.0, 100.0);
    Run();
    const CSpectraProcess& embedded = para_.representative_spectra->spectra_process;
    EXPECT_EQ(embedded.data_directory, dir_ / "data");
    EXPECT_EQ(embedded.out_directory, dir_ / "out");
    EXPECT_EQ(embedded.cluster_result, dir_ / "result.txt");
    EXPECT_EQ(embedded.small_peaks_count_filter, 3);
    ASSERT_EQ(embedded.spectra.size(), 1U);
    EXPECT_EQ(embedded.spectra[0].file_name, "kept.dta");
    EXPECT_EQ(para_.spectra_process->spectra.size(), 1U);
}

TEST_F(RunTest, RunningTwiceGivesTheSameFiles) {
    Configure(0.5, TOLERANCE_DA, CONSENSUS_SPECTRA_AND_REPRESENTATIVES);
    Add(1000.0, 100.0);
    Add(1000.1, 100.2);
    Add(1200.0, 100.0);
    Add(1300.0, 100.0);
    const std::string printed = Run();
    const std::string result = ReadFile(dir_.path() / "result.txt");
    const std::set<std::string> files = OutFiles();
    fs::remove_all(dir_.path() / "out");
    EXPECT_EQ(Run(), printed);
    EXPECT_EQ(ReadFile(dir_.path() / "result.txt"), result);
    EXPECT_EQ(OutFiles(), files);
}

TEST(CopySpectrumFileTest, CreatesTheOutputDirectoryAndReplacesTheTarget) {
    TempDir dir;
    fs::create_directory(dir.path() / "data");
    test::WriteFile(dir.path() / "data" / "a.dta", "new\n");
    CSpectraProcess process(FORMAT_DTA, dir / "data", dir / "out", "", 10);
    const CHierarchicalCluster engine(&process, nullptr, 0.5, TOLERANCE_DA, 0.5);
    engine.CopySpectrumFile("a.dta");
    EXPECT_EQ(ReadFile(dir.path() / "out" / "a.dta"), "new\n");
    test::WriteFile(dir.path() / "data" / "a.dta", "newer\n");
    engine.CopySpectrumFile("a.dta");
    EXPECT_EQ(ReadFile(dir.path() / "out" / "a.dta"), "newer\n");
    engine.CopySpectrumFile("missing.dta");
    EXPECT_FALSE(fs::exists(dir.path() / "out" / "missing.dta"));
}

}  // namespace
}  // namespace speclink
