// ClusterGroup and Run at 1, 2 and 4 threads against the plain sequential algorithms:
// the same links, representatives, scorer settings, files and standard output.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "speclink/library/cluster/HierarchicalCluster.h"
#include "speclink/tests/cluster/ReferenceClustering.h"
#include "speclink/library/params/Para.h"
#include "speclink/library/peaks/PeakSelect.h"
#include "speclink/library/scoring/Similarity.h"
#include "speclink/tests/support/TestSupport.h"

namespace speclink {
namespace {

namespace fs = std::filesystem;

constexpr int kThreadCounts[] = {1, 2, 4};

// Re-measurements of a few base spectra: m/z on a grid of a quarter, a handful of
// intensity levels (equal intensities are common, also after the square root), so that
// pair scores tie often and the order of equal peaks matters.
class GroupMaker {
public:
    explicit GroupMaker(uint64_t seed) : random_(seed) {}

    PeakList Peaks(int count) {
        std::uniform_int_distribution<int> grid(0, 400);
        std::uniform_int_distribution<int> level(1, 4);
        PeakList peaks;
        for (int k = 0; k < count; ++k) peaks.push_back({150.0 + 0.25 * grid(random_), 16.0 * level(random_)});
        return peaks;
    }

    // A member that keeps some peaks of `base`, moves some by a quarter, and adds others.
    PeakList Variant(const PeakList& base) {
        std::uniform_int_distribution<int> fate(0, 5);
        PeakList peaks;
        for (const Peak& peak : base) {
            const int f = fate(random_);
            if (f == 0) continue;
            peaks.push_back({peak.mz + (f == 1 ? 0.25 : 0.0), f == 2 ? 16.0 : peak.intensity});
        }
        const PeakList extra = Peaks(std::uniform_int_distribution<int>(0, 8)(random_));
        peaks.insert(peaks.end(), extra.begin(), extra.end());
        std::shuffle(peaks.begin(), peaks.end(), random_);
        return peaks;
    }

    std::vector<CSpectrum> Group(size_t size, bool mixed_charges) {
        std::vector<PeakList> bases;
        for (int b = std::uniform_int_distribution<int>(1, 3)(random_); b > 0; --b) {
            bases.push_back(Peaks(std::uniform_int_distribution<int>(5, 40)(random_)));
        }
        std::vector<CSpectrum> group;
        for (size_t k = 0; k < size; ++k) {
            const PeakList& base = bases[random_() % bases.size()];
            const int charge = mixed_charges && random_() % 5 == 0 ? 3 : 2;
            group.push_back(test::Spectrum().Mass(1000.0 + 0.01 * static_cast<double>(k)).Charge(charge).Peaks(
                Variant(base)));
        }
        return group;
    }

    std::mt19937_64& random() { return random_; }

private:
    std::mt19937_64 random_;
};

struct GroupResult {
    ClusterLinkList links;
    RepresentativeList representatives;
};

void ExpectSameScorer(const CSimilarity& actual, const CSimilarity& expected) {
    EXPECT_EQ(actual.similar_method, expected.similar_method);
    EXPECT_EQ(actual.fragment_ion_tol, expected.fragment_ion_tol);
    EXPECT_EQ(actual.fragment_ion_tol_type, expected.fragment_ion_tol_type);
    EXPECT_EQ(actual.score_table, expected.score_table);
}

// Random groups, now and then one large enough that its rows are shared among threads;
// every third round the "Dot Product" entry of the scorer, which every group switches to, is
// another operation, which is scored pair by pair through its own ComputeScore on each
// thread's copy; every seventh round there is no scorer, so every pair scores 0.
TEST(ThreadedClusterGroupTest, SameClustersAsThePlainAlgorithm) {
    GroupMaker maker(99);
    const double thresholds[] = {0.0, 0.3, 0.5, 0.7, 0.9};
    const CPeakSelect selectors[] = {
        CPeakSelect(PEAK_SELECT_PART_THEN_WHOLE_TOP, 50, 5, 100),
        CPeakSelect(PEAK_SELECT_WHOLE_TOP, 12, 5, 100),
        CPeakSelect(static_cast<Peak_Select_Method>(3), 50, 5, 100),  // no reduction: long lists
    };
    int merged_groups = 0;
    for (int round = 0; round < 1500; ++round) {
        const size_t size = round % 300 == 299 ? 140 + static_cast<size_t>(round / 3)
                                               : std::uniform_int_distribution<size_t>(0, 14)(maker.random());
        const std::vector<CSpectrum> group = maker.Group(size, round % 4 == 0);
        const double threshold = thresholds[round % std::size(thresholds)];
        CPeakSelect peak_select = selectors[round % std::size(selectors)];
        CSimilarity configured(SIMILAR_PEAK_COUNT, 2.0, TOLERANCE_PPM);
        if (round % 3 == 1) configured.score_table[SIMILAR_DOT_PRODUCT] = &CSimilarity::Bonanza;
        const bool scored = round % 7 != 0;

        CSimilarity plain_scorer = configured;
        GroupResult plain{{}, {5}};
        reference::ReferenceClusterGroup(threshold, group, plain.links, scored ? &plain_scorer : nullptr,
                                         plain.representatives, &peak_select);
        if (plain.representatives.size() < size + 1) ++merged_groups;
        for (const int threads : kThreadCounts) {
            CSimilarity scorer = configured;
            CHierarchicalCluster engine(nullptr, nullptr, 0.5, TOLERANCE_DA, threshold);
            engine.threads = threads;
            GroupResult result{{}, {5}};
            engine.ClusterGroup(group, result.links, scored ? &scorer : nullptr, result.representatives, &peak_select);
            ASSERT_EQ(result.links, plain.links) << "round " << round << ", " << threads << " threads";
            ASSERT_EQ(result.representatives, plain.representatives) << "round " << round << ", " << threads;
            ExpectSameScorer(scorer, plain_scorer);
        }
    }
    EXPECT_GT(merged_groups, 500);
}

// A threshold sweep from one set of scores gives, at every threshold, the clustering of a
// run at that threshold alone.
TEST(ThresholdSweep, EqualsSeparateRunsAtEachThreshold) {
    GroupMaker maker(29);
    CPeakSelect peak_select(PEAK_SELECT_PART_THEN_WHOLE_TOP, 50, 5, 100);
    const std::vector<double> thresholds = {0.6, 0.0, 0.35, 0.5, 0.8, 0.95};
    for (int round = 0; round < 40; ++round) {
        std::vector<CSpectrum> spectra;
        double mass = 900.0;
        while (spectra.size() < 60) {
            mass += 0.2 + 0.01 * static_cast<double>(maker.random()() % 50);
            for (CSpectrum& spectrum : maker.Group(1 + maker.random()() % 15, round % 3 == 0)) {
                spectrum.precursor_mass = mass + 0.001 * static_cast<double>(maker.random()() % 30);
                spectra.push_back(std::move(spectrum));
            }
        }
        CHierarchicalCluster engine(nullptr, nullptr, 0.05, TOLERANCE_DA, 0.6);
        engine.threads = 1 + round % 3;
        CSimilarity similarity(SIMILAR_DOT_PRODUCT, 0.5, TOLERANCE_DA);
        const std::vector<Clustering> swept = engine.ClusterSpectraAt(spectra, &similarity, &peak_select, thresholds);
        ASSERT_EQ(swept.size(), thresholds.size());
        for (std::size_t t = 0; t < thresholds.size(); ++t) {
            engine.threshold = thresholds[t];
            const Clustering alone = engine.ClusterSpectra(spectra, &similarity, &peak_select);
            ASSERT_EQ(swept[t].links, alone.links) << "round " << round << ", threshold " << thresholds[t];
            ASSERT_EQ(swept[t].representatives, alone.representatives) << "round " << round;
        }
    }
}

// Whole runs over spectrum lists with files: every output byte for byte against the plain
// sequential run.
class ThreadedRunTest : public ::testing::Test {
protected:
    struct Outputs {
        std::string printed;
        std::string result;
        std::map<std::string, std::string> files;
        CSimilarity scorer{SIMILAR_INTENSITY_SCORE, 0.0, TOLERANCE_DA};
    };

    // Spectra in sweep order: runs of one to a dozen re-measurements within a few
    // hundredths of a Dalton, now and then a charge change inside a run, and a file for
    // each spectrum (two spectra share a file name now and then).
    std::vector<CSpectrum> MakeList(GroupMaker& maker, size_t count) {
        std::vector<CSpectrum> spectra;
        double mass = 900.0;
        while (spectra.size() < count) {
            mass += 0.3 + 0.01 * static_cast<double>(maker.random()() % 100);
            const size_t run = std::min<size_t>(count - spectra.size(), 1 + maker.random()() % 12);
            std::vector<CSpectrum> group = maker.Group(run, maker.random()() % 4 == 0);
            for (CSpectrum& spectrum : group) {
                const size_t k = spectra.size();
                const size_t file = maker.random()() % 30 == 0 && k > 0 ? k - 1 : k;
                spectrum.file_name = "f." + std::to_string(file) + "." + std::to_string(file) + "." +
                                     std::to_string(spectrum.charge) + ".dta";
                spectrum.precursor_mass = mass + 0.001 * static_cast<double>(maker.random()() % 40);
                test::WriteFile(dir_.path() / "data" / spectrum.file_name, "file " + spectrum.file_name + "\n");
                spectra.push_back(std::move(spectrum));
            }
        }
        return spectra;
    }

    Outputs RunOnce(const std::vector<CSpectrum>& spectra, int threads, Representative_Spectra consensus,
                    double threshold) {
        fs::remove_all(dir_.path() / "out");
        fs::remove(dir_.path() / "result.txt");
        CPara para;
        para.SetDataClass(FORMAT_DTA, dir_ / "data", dir_ / "out", dir_ / "result.txt", 10);
        para.SetRepresentativeClass(consensus, 0.4, TOLERANCE_DA);
        para.SetCluster(para.spectra_process, para.representative_spectra, CLUSTER_HIERARCHICAL, 0.05,
                        TOLERANCE_DA, threshold);
        para.SetSimilarMethod(SIMILAR_DOT_PRODUCT_X, 20.0, TOLERANCE_PPM);
        para.SetPeakSelect(PEAK_SELECT_PART_THEN_WHOLE_TOP, 50, 5, 100);
        Outputs outputs;
        if (threads == 0) {
            const auto& engine = static_cast<const CHierarchicalCluster&>(*para.engine);
            outputs.printed = test::CaptureStdout(
                [&] { reference::ReferenceRun(engine, spectra, para.similarity, para.peak_select); });
        } else {
            para.engine->threads = threads;
            para.representative_spectra->threads = threads;
            outputs.printed =
                test::CaptureStdout([&] { para.engine->Run(spectra, para.similarity, para.peak_select); });
        }
        outputs.result = test::ReadFile(dir_.path() / "result.txt");
        if (fs::is_directory(dir_.path() / "out")) {
            for (const auto& entry : fs::directory_iterator(dir_.path() / "out")) {
                outputs.files[entry.path().filename()] = test::ReadFile(entry.path());
            }
        }
        outputs.scorer = *para.similarity;
        return outputs;
    }

    test::TempDir dir_;
};

TEST_F(ThreadedRunTest, SameOutputsAsThePlainRunAtEveryThreadCount) {
    fs::create_directory(dir_.path() / "data");
    GroupMaker maker(31);
    const Representative_Spectra consensus_types[] = {CONSENSUS_SPECTRA, CONSENSUS_REPRESENTATIVES,
                                                      CONSENSUS_SPECTRA_AND_REPRESENTATIVES};
    const size_t sizes[] = {0, 1, 2, 9, 10, 37, 120, 250};
    for (int round = 0; round < 16; ++round) {
        const size_t count = sizes[round % std::size(sizes)];
        const std::vector<CSpectrum> spectra = MakeList(maker, count);
        const Representative_Spectra consensus = consensus_types[round % std::size(consensus_types)];
        const double threshold = 0.2 + 0.1 * (round % 6);
        const Outputs plain = RunOnce(spectra, 0, consensus, threshold);
        for (const int threads : kThreadCounts) {
            const Outputs outputs = RunOnce(spectra, threads, consensus, threshold);
            const std::string what = "round " + std::to_string(round) + ", " + std::to_string(threads) + " threads";
            ASSERT_EQ(outputs.printed, plain.printed) << what;
            ASSERT_EQ(outputs.result, plain.result) << what;
            ASSERT_EQ(outputs.files, plain.files) << what;
            ExpectSameScorer(outputs.scorer, plain.scorer);
        }
    }
}

}  // namespace
}  // namespace speclink
