#include <gtest/gtest.h>

#include <filesystem>

#include "speclink/tests/formats/FormatsTestHelpers.h"
#include "speclink/formats/ProtonMass.h"

namespace speclink::test {
namespace {

TEST(Ms2Reader, OneRecordPerZLineWithTheStatedMass) {
    TempDir dir;
    const ReadOutcome read = ReadText(dir, "demo.ms2",
                                      "H\tCreationDate\ttoday\n"
                                      "S\t10\t10\t636.34\n"
                                      "I\tRTime\t2.5\n"
                                      "Z\t2\t1271.67\n"
                                      "Z\t3\t1907.0\n"
                                      "187.4 12.5\n"
                                      "193.1\t19.5\n"
                                      "S\t11\t11\t745.27\n"
                                      "Z\t0\t745.27\n"
                                      "225.2 3.2\n"
                                      "S\t12\t12\t500\n"
                                      "D\tx\ty\n");
    ASSERT_EQ(read.records.size(), 2u);
    CSpectrum expected;
    expected.charge = 2;
    expected.precursor_mz = 636.34;
    expected.precursor_mass = 1271.67;
    expected.retention_time = 150.0;
    expected.file_name = "demo.10.10.2.dta";
    expected.scan = 10;
    expected.peaks = {{187.4, 12.5}, {193.1, 19.5}};
    ExpectSameRecord(read.records[0], expected);
    expected.charge = 3;
    expected.precursor_mass = 1907.0;
    expected.file_name = "demo.10.10.3.dta";
    ExpectSameRecord(read.records[1], expected);
    EXPECT_EQ(read.result.spectra, 3u);
    EXPECT_EQ(read.result.skipped_no_charge, 1u);
    EXPECT_EQ(read.result.skipped_empty, 1u);
}

TEST(Ms2Reader, Errors) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"100 1\n", "t.ms2:1: peak line before the first S line"},
        {"S\t1\t1\n", "t.ms2:1: expected 'S first-scan last-scan precursor-m/z'"},
        {"S\t1\t1\t500\nZ\t2\n", "t.ms2:2: expected 'Z charge [M+H]+'"},
        {"S\t1\t1\t500\nZ\t2\t999\nH\tx\ty\n", "t.ms2:3: H line after the first spectrum"},
        {"S\t1\t1\t500\nZ\t2\t999\n100 -5\n", "t.ms2:3: peak intensity must be at least 0"},
        {"S\t1\t1\t500\nZ\t2\t999\n100 nan\n", "t.ms2:3: the peak intensity is not a finite number"},
        {"S\t1\t1\t500\nQ\t2\t999\n", "t.ms2:2: expected a peak line 'm/z intensity' or an H, S, I, Z or D line"},
    };
    TempDir dir;
    for (const auto& [content, message] : cases) {
        WriteFile(dir / "t.ms2", content);
        EXPECT_EQ(FormatErrorOf(dir / "t.ms2"), dir / message) << content;
    }
}

TEST(DtaReader, KeepsTheFileNameAndTheStatedMass) {
    TempDir dir;
    const ReadOutcome read = ReadText(dir, "run.33.33.2.dta", "1000.5 2\r\n100.25 5\r\n200 6.5\r\n\r\n");
    ASSERT_EQ(read.records.size(), 1u);
    CSpectrum expected;
    expected.charge = 2;
    expected.precursor_mass = 1000.5;
    expected.precursor_mz = (1000.5 - kProtonMass) / 2 + kProtonMass;
    expected.file_name = "run.33.33.2.dta";
    expected.scan = 33;
    expected.peaks = {{100.25, 5.0}, {200.0, 6.5}};
    ExpectSameRecord(read.records[0], expected);
}

TEST(DtaReader, ChargeZeroIsSkippedOrAssignedWithTheStatedMass) {
    TempDir dir;
    WriteFile(dir / "x.dta", "1000.5 0\n100 1\n");
    EXPECT_EQ(ReadPath(dir / "x.dta").result.skipped_no_charge, 1u);
    ReadOptions options;
    options.assign_charges = {2, 3};
    const ReadOutcome read = ReadPath(dir / "x.dta", options);
    ASSERT_EQ(read.records.size(), 2u);
    EXPECT_EQ(read.records[1].charge, 3);
    EXPECT_EQ(read.records[1].precursor_mass, 1000.5);
    EXPECT_EQ(read.records[1].file_name, "x.dta");
}

TEST(DtaReader, Errors) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"1000.5\n", "t.dta:1: expected the header line '[M+H]+ charge'"},
        {"1000.5 2.5\n", "t.dta:1: expected a whole charge in the header, found '2.5'"},
        {"-5 2\n", "t.dta:1: the [M+H]+ mass must be positive"},
        {"1000 2\n100 1\n\n1200 3\n",
         "t.dta:4: expected only blank lines after a blank line (one spectrum per DTA file)"},
        {"1000 2\n100 1 3\n", "t.dta:2: expected a peak line 'm/z intensity'"},
        {"1000 2\n100 -1\n", "t.dta:2: peak intensity must be at least 0"},
    };
    TempDir dir;
    for (const auto& [content, message] : cases) {
        WriteFile(dir / "t.dta", content);
        EXPECT_EQ(FormatErrorOf(dir / "t.dta"), dir / message) << content;
    }
}

TEST(DtaReader, ReadsADirectoryInNameOrder) {
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "dtas");
    WriteFile(dir / "dtas/b.2.2.2.dta", "1200 2\n100 1\n");
    WriteFile(dir / "dtas/a.1.1.3.dta", "1300 3\n100 1\n");
    WriteFile(dir / "dtas/c.3.3.1.dta.gz", Gzip("500 1\n100 1\n"));
    WriteFile(dir / "dtas/notes.txt", "not a spectrum");
    const ReadOutcome read = ReadPath(dir / "dtas");
    ASSERT_EQ(read.records.size(), 3u);
    EXPECT_EQ(read.records[0].file_name, "a.1.1.3.dta");
    EXPECT_EQ(read.records[1].file_name, "b.2.2.2.dta");
    EXPECT_EQ(read.records[2].file_name, "c.3.3.1.dta.gz");
    EXPECT_EQ(read.records[2].scan, 3);
    EXPECT_EQ(read.result.files, 3u);

    std::filesystem::create_directory(dir.path() / "empty");
    EXPECT_EQ(FormatErrorOf(dir / "empty"), dir / "empty: directory holds no .dta files");
}

}  // namespace
}  // namespace speclink::test
