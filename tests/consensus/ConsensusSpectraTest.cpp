#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "speclink/library/consensus/RepresentativeSpectra.h"
#include "speclink/tests/support/TestSupport.h"

namespace speclink {
namespace {

namespace fs = std::filesystem;
using test::CaptureStdout;
using test::ReadFile;
using test::Spectrum;
using test::TempDir;

TEST(ExtractScanLabelTest, FirstScanAndChargeOfDottedNames) {
    const std::pair<std::string, std::string> cases[] = {
        {"sample.12.15.2.dta", "12.2"},
        {"a.10.10.2.dta", "10.2"},
        {"my.run.7.9.3.dta", "7.3"},
        {".1.2.3.", "1.3"},
        {"1.2.3.dta", ""},
        {"x.y.z", ""},
        {"a.b", ""},
        {"nodot", ""},
        {"", ""},
        {"....", "."},
    };
    for (const auto& [name, label] : cases) EXPECT_EQ(CRepresentativeSpectra::ExtractScanLabel(name), label) << name;
}

TEST(MergeConsensusPeaksTest, GroupsPeaksLessThanTheWindowAboveTheirReference) {
    struct Case {
        const char* what;
        PeakList merged;
        PeakList consensus;
    };
    const Case cases[] = {
        {"the third peak becomes the reference and is dropped",
         {{100.0, 1.0}, {100.3, 2.0}, {100.5, 4.0}},
         {{(100.0 + 100.3) / 2, 3.0}}},
        {"two members with the same two peaks",
         {{100.0, 1.0}, {100.0, 1.0}, {200.0, 1.0}, {200.0, 1.0}},
         {{100.0, 2.0}, {200.0, 1.0}}},
        {"all within the window of the first peak", {{50.0, 1.0}, {50.1, 1.0}, {50.39, 2.0}}, {{(50.0 + 50.1 + 50.39) / 3, 4.0}}},
        {"beyond the window starts a new reference", {{10.0, 1.0}, {10.5, 1.0}, {10.75, 3.0}}, {{10.0, 1.0}, {10.75, 3.0}}},
        // 0.9 - 0.5 is exactly 0.4: the bound is outside the window.
        {"exactly the window apart starts a new reference", {{0.5, 1.0}, {0.9, 2.0}}, {{0.5, 1.0}}},
        {"a lone reference at the end is dropped", {{10.0, 1.0}, {20.0, 1.0}}, {{10.0, 1.0}}},
        {"one peak", {{10.0, 7.0}}, {{10.0, 7.0}}},
        {"no peak", {}, {}},
    };
    for (const Case& c : cases) EXPECT_EQ(CRepresentativeSpectra::MergeConsensusPeaks(c.merged), c.consensus) << c.what;
}

TEST(WriteConsensusSpectrumTest, KeepsTheTenMostIntenseMergedPeaksPerHundredMz) {
    TempDir dir;
    const CRepresentativeSpectra builder(CONSENSUS_SPECTRA, 0.4, TOLERANCE_DA);
    // Pairs 0.25 apart, 2.0 between pairs, intensities 1, 2, ..., 12, then two peaks at
    // 300. The first pair merges around its reference; from then on the lower peak of
    // each pair is only the reference of the next group, so the merged peaks are
    // (100.125, 2), then (102.25 + 2k, k + 1), all twelve within 100 of the first.
    // The window keeps the ten most intense: (104.25, 3) to (122.25, 12). At 300 the
    // first peak is a reference and only the second one (0.5) is emitted.
    PeakList merged;
    for (int k = 0; k < 12; ++k) {
        merged.push_back({100.0 + 2.0 * k, static_cast<double>(k + 1)});
        merged.push_back({100.25 + 2.0 * k, static_cast<double>(k + 1)});
    }
    merged.push_back({300.0, 1.0});
    merged.push_back({300.0, 0.5});
    ASSERT_TRUE(builder.WriteConsensusSpectrum(dir / "c.dta", merged, "1000.000000 2\n"));
    std::string expected = "1000.000000 2\n";
    char line[64];
    for (int k = 2; k < 12; ++k) {
        std::snprintf(line, sizeof line, "%f %f\n", 100.25 + 2.0 * k, static_cast<double>(k + 1));
        expected += line;
    }
    expected += "300.000000 0.500000\n";
    EXPECT_EQ(ReadFile(dir / "c.dta"), expected);
    EXPECT_FALSE(builder.WriteConsensusSpectrum(dir / "missing/c.dta", merged, "x\n"));
}

// Builds clusters directly from links and runs the consensus step on them.
class ConsensusTest : public ::testing::Test {
protected:
    ConsensusTest() : builder_(CONSENSUS_SPECTRA, 0.4, TOLERANCE_DA) {
        fs::create_directory(dir_.path() / "data");
        builder_.spectra_process.data_directory = dir_ / "data";
        builder_.spectra_process.out_directory = dir_ / "out";
        builder_.spectra_process.cluster_result = dir_ / "result.txt";
    }

    std::set<std::string> OutFiles() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_.path() / "out")) names.insert(entry.path().filename());
        return names;
    }

    std::string Out(const std::string& name) const { return ReadFile(dir_.path() / "out" / name); }

    TempDir dir_;
    CRepresentativeSpectra builder_;
};

TEST_F(ConsensusTest, MedianMassChargeOfTheFirstMemberAndNameFromThreeLabels) {
    const std::vector<CSpectrum> spectra = {
        Spectrum().Name("r.1.1.2.dta").Mass(1003.0).Charge(2).Peak(100.0, 1.0),
        Spectrum().Name("r.2.2.3.dta").Mass(1001.0).Charge(3).Peak(200.0, 1.0),
        Spectrum().Name("r.3.3.3.dta").Mass(1002.0).Charge(3).Peak(200.1, 2.0),
    };
    // Chain 0-2-1: the middle member in chain order is spectrum 2, the last spectrum 1.
    // Pooled peaks 100.0, 200.0, 200.1: 200.0 is the reference of the second group and
    // is not emitted itself.
    builder_.GenerateConsensusSpectra(spectra, {{0, 2}, {0, -1}, {0, 1}});
    EXPECT_EQ(OutFiles(), (std::set<std::string>{"1.2-3.3-2.3.dta"}));
    EXPECT_EQ(Out("1.2-3.3-2.3.dta"), "1002.000000 2\n100.000000 1.000000\n200.100000 2.000000\n");
}

TEST_F(ConsensusTest, EvenClusterTakesTheUpperMiddleMass) {
    const std::vector<CSpectrum> spectra = {
        Spectrum().Name("a.10.10.2.dta").Mass(1003.0).Charge(2).Peak(100.0, 1.0).Peak(200.0, 1.0),
        Spectrum().Name("a.20.20.2.dta").Mass(1000.0).Charge(2).Peak(100.0, 1.0).Peak(200.0, 1.0),
        Spectrum().Name("a.30.30.2.dta").Mass(1002.0).Charge(2),
        Spectrum().Name("a.40.40.2.dta").Mass(1001.0).Charge(2),
    };
    builder_.GenerateConsensusSpectra(spectra, {{0, 1}, {0, 2}, {0, 3}, {0, -1}});
    EXPECT_EQ(OutFiles(), (std::set<std::string>{"10.2-30.2-40.2.dta"}));
    EXPECT_EQ(Out("10.2-30.2-40.2.dta"), "1002.000000 2\n100.000000 2.000000\n200.000000 1.000000\n");

    builder_.GenerateConsensusSpectra({spectra[0], spectra[1]}, {{0, 1}, {0, -1}});
    EXPECT_EQ(Out("10.2-20.2-20.2.dta"), "1003.000000 2\n100.000000 2.000000\n200.000000 1.000000\n");
}

TEST_F(ConsensusTest, NamesWithoutLabelsShareOneFileAndTheLaterClusterWins) {
    const std::vector<CSpectrum> spectra = {
        Spectrum().Name("first.dta").Mass(500.0).Charge(1).Peak(100.0, 1.0),
        Spectrum().Name("second.dta").Mass(501.0).Charge(1).Peak(100.0, 1.0),
        Spectrum().Name("third.dta").Mass(700.0).Charge(2).Peak(300.0, 4.0),
        Spectrum().Name("fourth.dta").Mass(701.0).Charge(2).Peak(300.0, 4.0),
    };
    builder_.GenerateConsensusSpectra(spectra, {{0, 1}, {0, -1}, {2, 3}, {2, -1}});
    EXPECT_EQ(OutFiles(), (std::set<std::string>{"--.dta"}));
    EXPECT_EQ(Out("--.dta"), "701.000000 2\n300.000000 8.000000\n");
}

TEST_F(ConsensusTest, SingleSpectraAreCopiedFromADataDirectory) {
    test::WriteFile(dir_.path() / "data" / "one.2.2.2.dta", "copied as it is\n");
    const std::vector<CSpectrum> spectra = {Spectrum().Name("one.2.2.2.dta").Mass(900.0).Charge(2).Peak(1.0, 1.0)};
    builder_.GenerateConsensusSpectra(spectra, {{0, -1}});
    EXPECT_EQ(OutFiles(), (std::set<std::string>{"one.2.2.2.dta"}));
    EXPECT_EQ(Out("one.2.2.2.dta"), "copied as it is\n");
}

TEST_F(ConsensusTest, SingleSpectraAreWrittenFromMemoryWhenTheDataDirectoryIsAFile) {
    test::WriteFile(dir_.path() / "spectra.mgf", "not a directory\n");
    builder_.spectra_process.data_directory = dir_ / "spectra.mgf";
    const std::vector<CSpectrum> spectra = {Spectrum().Name("one.2.2.2.dta").Mass(500.5).Charge(2).Peak(100.0, 5.0)};
    builder_.GenerateConsensusSpectra(spectra, {{0, -1}});
    EXPECT_EQ(Out("one.2.2.2.dta"), "500.500000 2\n100.000000 5.000000\n");
}

// Hundreds of clusters and single spectra, written from memory on worker threads, with
// names that collide: a single spectrum named like a consensus spectrum, and clusters whose
// names have no labels. Every thread count leaves the files a sequential run leaves.
TEST_F(ConsensusTest, WorkerThreadsLeaveTheFilesOfASequentialRun) {
    test::WriteFile(dir_.path() / "spectra.mgf", "not a directory\n");
    builder_.spectra_process.data_directory = dir_ / "spectra.mgf";
    std::vector<CSpectrum> spectra;
    ClusterLinkList links;
    // Cluster c of three members (names with labels, or none for every fifth one), then
    // a single spectrum; the single spectrum of round 7 takes the name of cluster 3.
    for (int c = 0; c < 300; ++c) {
        const int32_t first = static_cast<int32_t>(spectra.size());
        for (int m = 0; m < 3; ++m) {
            const std::string scan = std::to_string(3 * c + m);
            const std::string name = c % 5 == 0 ? "plain" + scan + ".dta" : "r." + scan + "." + scan + ".2.dta";
            spectra.push_back(Spectrum().Name(name).Mass(500.0 + c + 0.1 * m).Charge(2).Peak(100.0 + m, 1.0 + c));
            links.push_back({first, m < 2 ? first + m + 1 : -1});
        }
        const int32_t single = static_cast<int32_t>(spectra.size());
        const std::string name = c == 7 ? "9.2-10.2-11.2.dta" : "s." + std::to_string(c) + ".1.1.dta";
        spectra.push_back(Spectrum().Name(name).Mass(2000.0 + c).Charge(1).Peak(50.0, 2.0));
        links.push_back({single, -1});
    }

    std::map<std::string, std::string> sequential;
    for (const int threads : {1, 2, 4}) {
        fs::remove_all(dir_.path() / "out");
        builder_.threads = threads;
        builder_.GenerateConsensusSpectra(spectra, links);
        std::map<std::string, std::string> files;
        for (const std::string& name : OutFiles()) files[name] = Out(name);
        if (threads == 1) {
            sequential = files;
            continue;
        }
        EXPECT_EQ(files, sequential) << threads << " threads";
    }
    // 300 single spectra, 240 labelled clusters (one of them sharing its name with a
    // single spectrum), one file for the 60 unlabelled ones: the last of them.
    EXPECT_EQ(sequential.size(), 300U + 240U - 1U + 1U);
    EXPECT_EQ(sequential["9.2-10.2-11.2.dta"], "503.100000 2\n100.000000 4.000000\n");
    EXPECT_EQ(sequential["--.dta"].substr(0, 13), "795.100000 2\n");
}

TEST_F(ConsensusTest, ConsensusTypeOneCopiesRepresentativesOnly) {
    for (const char* name : {"r.1.1.2.dta", "r.2.2.2.dta", "r.3.3.2.dta"}) {
        test::WriteFile(dir_.path() / "data" / name, std::string("file ") + name + "\n");
    }
    const std::vector<CSpectrum> spectra = {
        Spectrum().Name("r.1.1.2.dta").Mass(1.0).Peak(1.0, 1.0),
        Spectrum().Name("r.2.2.2.dta").Mass(2.0).Peak(1.0, 1.0),
        Spectrum().Name("r.3.3.2.dta").Mass(3.0).Peak(1.0, 1.0),
    };
    builder_.consensus_type = CONSENSUS_REPRESENTATIVES;
    CSpectraProcess process = builder_.spectra_process;
    process.spectra = spectra;
    builder_.spectra_process = CSpectraProcess(FORMAT_DTA, "", "", "", 10);
    const std::string printed = CaptureStdout(
        [&] { builder_.GenerateRepresentativeSpectra(spectra, {{0, 1}, {0, -1}, {2, -1}}, {1, 2}, process); });

    EXPECT_EQ(printed, "Generating consensus spectra...\n");
    EXPECT_EQ(OutFiles(), (std::set<std::string>{"r.2.2.2.dta", "r.3.3.2.dta"}));
    EXPECT_EQ(Out("r.2.2.2.dta"), "file r.2.2.2.dta\n");
    EXPECT_EQ(ReadFile(dir_.path() / "result.txt"),
              "1,r.1.1.2.dta,1,1.000000\n2,r.2.2.2.dta,1,2.000000\n3,r.3.3.2.dta,2,3.000000\n");
    // The handed-over settings replace the embedded ones.
    EXPECT_EQ(builder_.spectra_process.out_directory, dir_ / "out");
    EXPECT_EQ(builder_.spectra_process.spectra.size(), 3U);
}

TEST_F(ConsensusTest, UnwritableResultFileIsReportedAndTheConsensusGoesOn) {
    builder_.spectra_process.cluster_result = dir_ / "missing/result.txt";
    const std::vector<CSpectrum> spectra = {Spectrum().Name("x.1.1.1.dta").Mass(1.0).Peak(5.0, 1.0),
                                            Spectrum().Name("x.2.2.1.dta").Mass(1.0).Peak(5.0, 1.0)};
    const std::string printed = CaptureStdout([&] {
        builder_.GenerateRepresentativeSpectra(spectra, {{0, 1}, {0, -1}}, {0}, builder_.spectra_process);
    });
    EXPECT_EQ(printed, "Cannot generate the clustering result file!\nGenerating consensus spectra...\n");
    EXPECT_EQ(OutFiles(), (std::set<std::string>{"1.1-2.1-2.1.dta"}));
}

}  // namespace
}  // namespace speclink
