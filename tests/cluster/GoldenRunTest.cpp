// End-to-end runs of the clustering engine: a parameter file and a small data set of
// DTA files written by the test, then every output compared byte for byte with the
// expected files under tests/cluster/golden/<case>/ (stdout.txt, result.txt, out/...).
//
// The data set, in sweep order (precursor tolerance 0.5 Da, threshold 0.4). Square-root
// scaling does not change a cosine's ratios, so a pair of spectra whose peaks all have
// one intensity scores (matched peaks) / 4:
//   0 a.1.1.2    1000.00  z2  110.0 250.0 390.0 530.0      0-1: 3/4 = 7500, 0-2: 0
//   1 a.2.2.2    1000.10  z2  110.3 250.3 390.3 700.0      1-2: 2/4 = 5000
//   2 a.3.3.2    1000.20  z2  110.6 250.6 800.0 900.0
//      -> (0,1) merges, then the merged link to 2 is 5000 > 4000: one cluster, chain
//         0-1-2, sums 7500 / 12500 / 5000, representative 1.
//   3 a.4.4.2    1200.00  z2  alone: spectrum 4 has charge 3 -> copied during the sweep
//   4 a.5.5.3    1200.10  z3  200.0 300.0 400.0 500.0      4-5: 1/4 = 2500: no merge,
//   5 a.6.6.3    1200.20  z3  200.2 650.0 750.0 850.0      representatives 4 and 5
//   6 a.7.7.2    1500.00  z2  150.0:400 260.0 370.0 480.0 (others 100)
//   7 a.8.8.2    1500.40  z2  150.1 260.1:400 370.1 999.0  cosine of square roots
//                                     (20*10 + 10*20 + 10*10) / 700 = 0.714: merged
//   8 a.9.9.2    1500.60  z2  0.60 from spectrum 6, the group's first: alone, copied
//   9 a.10.10.2  2000.00  z2  last group, clustered alone: representative 9
// Links (0,1) (0,2) (0,-1) (3,-1) (4,-1) (5,-1) (6,7) (6,-1) (8,-1) (9,-1);
// representatives 1, 4, 5, 6, 9.
//
// Consensus of 0-1-2, file 1.2-2.2-3.2.dta (labels of the first, the middle in chain
// order and the last member), median mass 1000.10. Pooled peaks 110.0 110.3 110.6
// 250.0 250.3 250.6 390.0 390.3 530.0 700.0 800.0 900.0: 110.0 and 110.3 merge to
// (110.15, 200); 110.6 becomes the reference and is not emitted; 250.0 is a reference,
// 250.3 forms a group, 250.6 the next reference; likewise 390.3; 530.0 and later are
// references with nothing after them. So (110.15, 200) (250.3, 100) (390.3, 100).
// Consensus of 6-7, file 7.2-8.2-8.2.dta, median 1500.40 (upper middle of two):
// (150.05, 500) (260.1, 400) (370.1, 100); 480.0 and 999.0 are dropped references.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>

#include "speclink/library/params/Para.h"
#include "speclink/tests/support/TestSupport.h"

namespace speclink {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

struct DataSpectrum {
    const char* name;
    double mass;
    int charge;
    PeakList peaks;
};

const std::vector<DataSpectrum>& DataSet() {
    static const std::vector<DataSpectrum> data = {
        {"a.1.1.2.dta", 1000.00, 2, {{110.0, 100}, {250.0, 100}, {390.0, 100}, {530.0, 100}}},
        {"a.2.2.2.dta", 1000.10, 2, {{110.3, 100}, {250.3, 100}, {390.3, 100}, {700.0, 100}}},
        {"a.3.3.2.dta", 1000.20, 2, {{110.6, 100}, {250.6, 100}, {800.0, 100}, {900.0, 100}}},
        {"a.4.4.2.dta", 1200.00, 2, {{300.0, 50}, {400.0, 20}}},
        {"a.5.5.3.dta", 1200.10, 3, {{200.0, 400}, {300.0, 400}, {400.0, 400}, {500.0, 400}}},
        {"a.6.6.3.dta", 1200.20, 3, {{200.2, 400}, {650.0, 400}, {750.0, 400}, {850.0, 400}}},
        {"a.7.7.2.dta", 1500.00, 2, {{150.0, 400}, {260.0, 100}, {370.0, 100}, {480.0, 100}}},
        {"a.8.8.2.dta", 1500.40, 2, {{150.1, 100}, {260.1, 400}, {370.1, 100}, {999.0, 100}}},
        {"a.9.9.2.dta", 1500.60, 2, {{150.0, 400}, {260.0, 100}, {370.0, 100}}},
        {"a.10.10.2.dta", 2000.00, 2, {{120.5, 30}, {240.25, 7.5}}},
    };
    return data;
}

// A DTA file: "mass charge", then one "mz intensity" line per peak.
std::string DtaText(const DataSpectrum& spectrum) {
    char line[64];
    std::snprintf(line, sizeof line, "%.2f %d\n", spectrum.mass, spectrum.charge);
    std::string text = line;
    for (const Peak& peak : spectrum.peaks) {
        std::snprintf(line, sizeof line, "%.2f %.1f\n", peak.mz, peak.intensity);
        text += line;
    }
    return text;
}

std::vector<CSpectrum> Records() {
    std::vector<CSpectrum> spectra;
    for (const DataSpectrum& data : DataSet()) {
        spectra.push_back(test::Spectrum().Name(data.name).Mass(data.mass).Charge(data.charge).Peaks(data.peaks));
    }
    return spectra;
}

std::string ParameterFile(int consensus_type, const std::string& data_directory) {
    return "[clustername]\n"
           "cluster_name=golden\n"
           "[file]\n"
           "data_directory=" + data_directory + "\n"
           "out_directory=out\n"
           "cluster_result=result.txt\n"
           "[preprocessing]\n"
           "peak_select_method=2\n"
           "whole_top_peak_num=50\n"
           "part_top_peak_num=5\n"
           "part_top_peak_per_num=100\n"
           "[similarity]\n"
           "similar_method=5  # replaced by the engine\n"
           "fragment_ion_tol=2.0\n"
           "[cluster]\n"
           "cluster_type=0\n"
           "precursor_ion_tol=0.5\n"
           "precursor_ion_type=Da\n"
           "consensus_type=" + std::to_string(consensus_type) + "\n"
           "threshold=0.4\n";
}

std::set<std::string> FilesIn(const fs::path& directory) {
    std::set<std::string> names;
    if (!fs::is_directory(directory)) return names;
    for (const auto& entry : fs::directory_iterator(directory)) names.insert(entry.path().filename());
    return names;
}

struct GoldenCase {
    const char* name;
    int consensus_type;
    bool data_is_file;
};

void PrintTo(const GoldenCase& golden, std::ostream* out) { *out << golden.name; }

class GoldenRunTest : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenRunTest, OutputsMatchTheExpectedFiles) {
    const GoldenCase& golden = GetParam();
    test::TempDir dir;
    test::ScopedCurrentDirectory cwd(dir.path());
    // Relative paths: the parameter file reader lower-cases every value, and the result
    // file is resolved against the current directory.
    fs::create_directory("data");
    for (const DataSpectrum& spectrum : DataSet()) WriteFile(fs::path("data") / spectrum.name, DtaText(spectrum));
    std::string data_directory = "data";
    if (golden.data_is_file) {
        WriteFile("spectra.mgf", "one file holding all spectra\n");
        data_directory = "spectra.mgf";
    }
    WriteFile("golden.param", ParameterFile(golden.consensus_type, data_directory));

    CPara para;
    ASSERT_TRUE(para.ReadParaFile("golden.param"));
    const std::vector<CSpectrum> spectra = Records();
    const std::string printed =
        test::CaptureStdout([&] { para.engine->Run(spectra, para.similarity, para.peak_select); });

    const fs::path expected = test::SourceFile(std::string("cluster/golden/") + golden.name);
    // SPECLINK_GOLDEN_DUMP=<directory> keeps the actual outputs there, for review when an
    // expected file has to change.
    if (const char* dump = std::getenv("SPECLINK_GOLDEN_DUMP")) {
        const fs::path target = fs::path(dump) / golden.name;
        fs::create_directories(target / "out");
        WriteFile(target / "stdout.txt", printed);
        fs::copy_file("result.txt", target / "result.txt", fs::copy_options::overwrite_existing);
        for (const std::string& name : FilesIn("out")) {
            fs::copy_file(fs::path("out") / name, target / "out" / name, fs::copy_options::overwrite_existing);
        }
    }

    EXPECT_EQ(printed, ReadFile(expected / "stdout.txt"));
    EXPECT_EQ(ReadFile("result.txt"), ReadFile(expected / "result.txt"));
    const std::set<std::string> written = FilesIn("out");
    EXPECT_EQ(written, FilesIn(expected / "out"));
    for (const std::string& name : written) {
        if (fs::exists(expected / "out" / name)) {
            EXPECT_EQ(ReadFile(fs::path("out") / name), ReadFile(expected / "out" / name)) << name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, GoldenRunTest,
                         ::testing::Values(GoldenCase{"consensus_0", 0, false}, GoldenCase{"consensus_1", 1, false},
                                           GoldenCase{"consensus_2", 2, false},
                                           GoldenCase{"data_file_consensus_0", 0, true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace speclink
