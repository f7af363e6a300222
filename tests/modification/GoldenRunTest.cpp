#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "speclink/library/speclink.h"
#include "speclink/tests/support/TestSupport.h"

namespace speclink {
namespace {

using test::CaptureStdout;
using test::ReadFile;
using test::ScopedCurrentDirectory;
using test::SourceFile;
using test::Spectrum;
using test::TempDir;
using test::WriteFile;

// A modification search as a host sets it up: "Comprehensive" scoring, threshold 0.3, the
// default peak selection (5 peaks per 100 m/z, then 50) and the default mass window.
const char* const kParameterFile =
    "[clustername]\n"
    "cluster_name=golden\n"
    "[file]\n"
    "data_type=0\n"
    "cluster_result=pairs.txt\n"
    "[preprocessing]\n"
    "peak_select_method=2\n"
    "whole_top_peak_num=50\n"
    "part_top_peak_num=5\n"
    "part_top_peak_per_num=100\n"
    "[similarity]\n"
    "similar_method=7\n"
    "fragment_ion_tol=0.5\n"
    "fragment_ion_tol_type=Da\n"
    "[cluster]\n"
    "cluster_type=1\n"
    "threshold=0.3\n"
    "[modification]\n"
    "lower_mass=6\n"
    "upper_mass=200\n"
    "cluster_masses_tol=0.01\n";

// Twelve spectra: peptides and their modified forms (oxidation +15.9949, phosphorylation
// +79.9664 seen 3+ against 2+, dimethylation +28.0313 seen 3+ against 3+), a 1+ pair, a
// 2+ before a 3+, and a spectrum without partner.
std::vector<CSpectrum> GoldenSpectra() {
    return {
        // Oxidised form of the next one: the four heaviest fragments carry +15.995, and a
        // peak at 900.0 has no partner.
        Spectrum().Name("run1.0101.0101.2.dta").Mass(1016.4949).Charge(2)
            .Peak(175.12, 400).Peak(262.15, 900).Peak(333.19, 1600).Peak(462.265, 2500)
            .Peak(575.355, 100).Peak(688.435, 3600).Peak(801.515, 900).Peak(900.0, 576),
        Spectrum().Name("run1.0102.0102.2.dta").Mass(1000.5).Charge(2)
            .Peak(175.12, 400).Peak(262.15, 900).Peak(333.19, 1600).Peak(446.27, 2500)
            .Peak(559.36, 100).Peak(672.44, 3600).Peak(785.52, 900),
        // Phosphorylated, triply charged: one doubly charged fragment (230.16 * 2 = 460.32),
        // two fragments carrying +79.966, an unexplained 1200.0.
        Spectrum().Name("run1.0201.0201.3.dta").Mass(1580.6663).Charge(3)
            .Peak(147.11, 100).Peak(230.16, 1600).Peak(248.16, 400).Peak(653.37, 400)
            .Peak(766.45, 900).Peak(1200.0, 2500),
        Spectrum().Name("run1.0202.0202.2.dta").Mass(1500.6999).Charge(2)
            .Peak(147.11, 100).Peak(248.16, 400).Peak(347.23, 900).Peak(460.31, 1600)
            .Peak(573.40, 400).Peak(686.48, 900).Peak(801.51, 100),
        // Dimethylated, both triply charged: two fragments move by half the mass difference.
        Spectrum().Name("run1.0301.0301.3.dta").Mass(2028.0313).Charge(3)
            .Peak(314.0157, 400).Peak(414.0157, 900).Peak(528.0313, 1600).Peak(600.0, 400),
        Spectrum().Name("run1.0302.0302.3.dta").Mass(2000.0).Charge(3)
            .Peak(300.0, 400).Peak(400.0, 900).Peak(500.0, 1600).Peak(600.0, 400),
        // Singly charged: "Comprehensive" scores them 0.0.
        Spectrum().Name("run1.0401.0401.1.dta").Mass(800.0).Charge(1)
            .Peak(200.0, 100).Peak(300.0, 100).Peak(400.0, 100),
        Spectrum().Name("run1.0402.0402.1.dta").Mass(830.0).Charge(1)
            .Peak(200.0, 100).Peak(300.0, 100).Peak(400.0, 100),
        // Oxidised form of the next one; the five weak peaks after 201.12 crowd its window,
        // so the last of them is dropped by the peak selection.
        Spectrum().Name("run1.0501.0501.2.dta").Mass(1216.5949).Charge(2)
            .Peak(201.12, 900).Peak(205.0, 1).Peak(210.0, 1).Peak(215.0, 1).Peak(220.0, 1).Peak(225.0, 1)
            .Peak(330.195, 1600).Peak(443.285, 400).Peak(540.37, 2500).Peak(669.455, 100),
        Spectrum().Name("run1.0502.0502.2.dta").Mass(1200.6).Charge(2)
            .Peak(201.12, 900).Peak(314.20, 1600).Peak(427.29, 400).Peak(540.37, 2500).Peak(653.46, 100),
        // Triply charged after a doubly charged one: that pair is skipped.
        Spectrum().Name("run1.0601.0601.3.dta").Mass(1550.0).Charge(3)
            .Peak(147.11, 100).Peak(248.16, 100).Peak(460.31, 400),
        Spectrum().Name("run1.0701.0701.2.dta").Mass(3000.0).Charge(2)
            .Peak(110.0, 5).Peak(120.0, 9).Peak(130.0, 2).Peak(140.0, 7).Peak(150.0, 4).Peak(160.0, 8)
            .Peak(170.0, 1).Peak(1000.0, 50),
    };
}

std::string Golden(const std::string& name) { return ReadFile(SourceFile("modification/golden/" + name)); }

TEST(GoldenRun, ModificationSearchAndShiftSearch) {
    const TempDir dir;
    const ScopedCurrentDirectory cwd(dir.path());
    WriteFile("search.param", kParameterFile);
    CPara para;
    ASSERT_TRUE(para.ReadParaFile("search.param"));
    auto* engine = dynamic_cast<CModificationCluster*>(para.engine);
    ASSERT_NE(engine, nullptr);
    const std::vector<CSpectrum> spectra = GoldenSpectra();

    const std::string progress = CaptureStdout([&] { para.engine->Run(spectra, para.similarity, para.peak_select); });
    EXPECT_EQ(progress, Golden("run.stdout"));
    const std::string pairs = ReadFile("pairs.txt");
    EXPECT_EQ(pairs, Golden("run_pairs.txt"));
    EXPECT_EQ(ReadFile("score.txt"), Golden("run_score.txt"));
    EXPECT_EQ(ReadFile("temp.temp"), Golden("run_temp.temp"));
    // The last pair scored was the doubly charged oxidation pair: "Dot Product Mod" stays.
    EXPECT_EQ(para.similarity->similar_method, SIMILAR_DOT_PRODUCT_MOD);

    // Worked by hand. Oxidised first, so d = +15.9949 is tried as a shift: every fragment of
    // the unmodified spectrum finds its partner, directly or shifted, and only 900.0 stays
    // alone. With square-root intensities the matched products add up to
    // 400 + 900 + 1600 + 2500 + 100 + 3600 + 900 = 10000 and the norms are 10000 and
    // 10000 + 576, so the score is 10000 / sqrt(10000 * 10576) = 0.972387 (sqrt 0.986097).
    EXPECT_NE(pairs.find("run1.0101.0101.2.dta,1016.494900,run1.0102.0102.2.dta,1000.500000,15.994900,0.972387\n"),
              std::string::npos);
    // The two oxidation pairs give the largest group: (15.9949 + 15.9949) / 2, counted twice.
    EXPECT_EQ(ReadFile("temp.temp").rfind("15.994900,2, 0, 0, 0, 0, 0\n", 0), 0u);

    const std::string quiet =
        CaptureStdout([&] { engine->RunShiftSearch(spectra, para.similarity, para.peak_select); });
    EXPECT_EQ(quiet, "");
    EXPECT_EQ(ReadFile("pairs.txt"), Golden("shift_pairs.txt"));
    EXPECT_EQ(ReadFile("score.txt"), Golden("run_score.txt"));
}

}  // namespace
}  // namespace speclink
