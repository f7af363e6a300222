#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "speclink/tests/formats/FormatsTestHelpers.h"

// Public spectrum files of other projects, kept beside the repository (never inside it). The
// tests run only where that directory exists.

namespace speclink::test {
namespace {

namespace fs = std::filesystem;

fs::path RealDataDirectory() { return fs::path(SPECLINK_TEST_SOURCE_DIR) / ".." / ".." / "shared" / "data"; }

struct RealFile {
    std::string name;
    uint64_t spectra;   ///< spectra of every MS level
    uint64_t ms2;       ///< MS2 spectra
    uint64_t records;   ///< records without assigned charges
    uint64_t assigned;  ///< records with charges {2, 3} assigned to spectra without one
};

TEST(RealData, EveryFileReadsWithTheExpectedCounts) {
    const fs::path dir = RealDataDirectory();
    if (!fs::is_directory(dir)) GTEST_SKIP() << "no " << dir;
    const std::vector<RealFile> files = {
        {"demo.ms2", 150, 150, 166, 166},
        {"sliced-mzml.mzML", 100, 90, 90, 90},
        {"kojak_arp.mzML.gz", 20, 20, 20, 20},
        {"small.raw2xml.mzXML", 48, 34, 0, 68},
        {"test.mgf", 45, 45, 45, 45},
        {"pride_export_2017.mgf", 312, 312, 312, 312},
        {"spec_2.mgf", 104, 104, 104, 104},
        // Two spectra of negative charge are skipped; one has charge 0.
        {"matchms-testdata.mgf", 30, 30, 27, 29},
        {"matchms-testdata.mzML", 12, 10, 9, 11},
        {"matchms-testdata.mzXML", 5, 1, 0, 2},
        {"SmallCalibratibleYeast.mgf", 118, 118, 118, 118},
        {"SmallCalibratibleYeast.mzml", 142, 118, 118, 118},
    };
    ReadOptions assign;
    assign.assign_charges = {2, 3};
    for (const RealFile& file : files) {
        SCOPED_TRACE(file.name);
        const std::string path = (dir / file.name).string();
        const ReadOutcome plain = ReadPath(path);
        EXPECT_EQ(plain.result.spectra, file.spectra);
        EXPECT_EQ(plain.result.spectra - plain.result.skipped_not_ms2, file.ms2);
        EXPECT_EQ(plain.result.records, file.records);
        EXPECT_EQ(plain.result.records, plain.records.size());
        EXPECT_EQ(ReadPath(path, assign).result.records, file.assigned);
        for (const CSpectrum& s : plain.records) {
            EXPECT_GT(s.charge, 0);
            EXPECT_GT(s.precursor_mass, 0.0);
            EXPECT_FALSE(s.peaks.empty());
        }
    }
}

bool Close(double a, double b, double relative) { return std::abs(a - b) <= relative * std::abs(b); }

TEST(RealData, YeastMzmlAndMgfGiveTheSameSpectra) {
    const fs::path dir = RealDataDirectory();
    if (!fs::is_directory(dir)) GTEST_SKIP() << "no " << dir;
    const std::vector<CSpectrum> mzml = ReadPath((dir / "SmallCalibratibleYeast.mzml").string()).records;
    const std::vector<CSpectrum> mgf = ReadPath((dir / "SmallCalibratibleYeast.mgf").string()).records;
    ASSERT_EQ(mzml.size(), mgf.size());
    for (size_t i = 0; i < mzml.size(); ++i) {
        SCOPED_TRACE(mzml[i].file_name);
        EXPECT_EQ(mzml[i].file_name, mgf[i].file_name);
        EXPECT_EQ(mzml[i].scan, mgf[i].scan);
        EXPECT_EQ(mzml[i].charge, mgf[i].charge);
        EXPECT_EQ(mzml[i].title, mgf[i].title);
        // The MGF prints the same decimal text for the precursor, so the values are equal.
        EXPECT_EQ(mzml[i].precursor_mz, mgf[i].precursor_mz);
        EXPECT_EQ(mzml[i].precursor_mass, mgf[i].precursor_mass);
        // Minutes times 60 against seconds printed with four decimals.
        EXPECT_NEAR(mzml[i].retention_time, mgf[i].retention_time, 1e-4);
        ASSERT_EQ(mzml[i].peaks.size(), mgf[i].peaks.size());
        for (size_t p = 0; p < mzml[i].peaks.size(); ++p) {
            // The MGF prints 32-bit values with at least seven significant digits.
            EXPECT_TRUE(Close(mgf[i].peaks[p].mz, mzml[i].peaks[p].mz, 1e-7)) << p;
            EXPECT_TRUE(Close(mgf[i].peaks[p].intensity, mzml[i].peaks[p].intensity, 1e-6)) << p;
        }
    }
}

}  // namespace
}  // namespace speclink::test
