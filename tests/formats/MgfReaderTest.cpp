#include <gtest/gtest.h>

#include "speclink/tests/formats/FormatsTestHelpers.h"
#include "speclink/formats/ProtonMass.h"

namespace speclink::test {
namespace {

TEST(MgfReader, ReadsEveryFieldOfASpectrum) {
    TempDir dir;
    const ReadOutcome read = ReadText(dir, "run.mgf",
                                      "COM=header comment\n"
                                      "BEGIN IONS\n"
                                      "TITLE=run.7.7.2 extra words\n"
                                      "PEPMASS=500.25 12345.5\n"
                                      "CHARGE=2+\n"
                                      "RTINSECONDS=61.5\n"
                                      "SCANS=42\n"
                                      "SEQ=PEPTIDEK\n"
                                      "USER01=ignored\n"
                                      "100.5 10\n"
                                      "200.25\t20.5\n"
                                      "END IONS\n");
    ASSERT_EQ(read.records.size(), 1u);
    CSpectrum expected;
    expected.charge = 2;
    expected.precursor_mz = 500.25;
    expected.precursor_mass = (500.25 - kProtonMass) * 2 + kProtonMass;
    expected.retention_time = 61.5;
    expected.precursor_intensity = 12345.5;
    expected.file_name = "run.42.42.2.dta";
    expected.scan = 42;
    expected.title = "run.7.7.2 extra words";
    expected.peptide = "PEPTIDEK";
    expected.peaks = {{100.5, 10.0}, {200.25, 20.5}};
    ExpectSameRecord(read.records[0], expected);
    EXPECT_EQ(read.result.spectra, 1u);
    EXPECT_EQ(read.result.records, 1u);
    EXPECT_EQ(read.result.files, 1u);
}

TEST(MgfReader, ScanComesFromScansThenTitleThenPosition) {
    TempDir dir;
    const ReadOutcome read =
        ReadText(dir, "a.b.mgf",
                 "BEGIN IONS\nPEPMASS=400\nCHARGE=1\nSCANS=9-11\n1 1\nEND IONS\n"
                 "BEGIN IONS\nTITLE=x NativeID:\"controllerType=0 scan=77\"\nPEPMASS=400\nCHARGE=1\n1 1\nEND IONS\n"
                 "BEGIN IONS\nTITLE=sample.1234.1234.3.dta\nPEPMASS=400\nCHARGE=1\n1 1\nEND IONS\n"
                 "BEGIN IONS\nTITLE=no scan here\nPEPMASS=400\nCHARGE=1\n1 1\nEND IONS\n");
    ASSERT_EQ(read.records.size(), 4u);
    EXPECT_EQ(read.records[0].scan, 9);
    EXPECT_EQ(read.records[1].scan, 77);
    EXPECT_EQ(read.records[2].scan, 1234);
    EXPECT_EQ(read.records[3].scan, 4);
    EXPECT_EQ(read.records[3].file_name, "a.b.4.4.1.dta");
}

TEST(MgfReader, AcceptsTheCommonVariants) {
    TempDir dir;
    // CRLF line ends, comments, blank lines, lower-case keys, a fragment charge column,
    // "2.0+" charges, a header CHARGE used by a spectrum without one.
    const ReadOutcome read =
        ReadText(dir, "v.mgf",
                 "# comment\r\nCHARGE=3+\r\n\r\nbegin ions\r\npepmass=300.5\r\n"
                 "100 5 1+\r\nend ions\r\n"
                 "BEGIN IONS\r\nPEPMASS=301.5\r\nCHARGE=2.0+\r\n; inside\r\n100 6\r\nEND IONS\r\n");
    ASSERT_EQ(read.records.size(), 2u);
    EXPECT_EQ(read.records[0].charge, 3);
    EXPECT_EQ(read.records[0].peaks, (PeakList{{100.0, 5.0}}));
    EXPECT_EQ(read.records[1].charge, 2);
    EXPECT_EQ(read.records[1].precursor_mz, 301.5);
}

TEST(MgfReader, ChargeListsGiveOneRecordPerCharge) {
    TempDir dir;
    const ReadOutcome read =
        ReadText(dir, "c.mgf", "BEGIN IONS\nPEPMASS=400.5\nCHARGE=2+ and 3+\nSCANS=5\n100 1\nEND IONS\n");
    ASSERT_EQ(read.records.size(), 2u);
    EXPECT_EQ(read.records[0].file_name, "c.5.5.2.dta");
    EXPECT_EQ(read.records[1].file_name, "c.5.5.3.dta");
    EXPECT_EQ(read.records[1].precursor_mass, (400.5 - kProtonMass) * 3 + kProtonMass);
    EXPECT_EQ(read.result.assigned_charge_records, 0u);
}

TEST(MgfReader, MissingAndZeroChargesAreSkippedOrAssigned) {
    TempDir dir;
    const std::string text =
        "BEGIN IONS\nPEPMASS=400\nSCANS=1\n100 1\nEND IONS\n"
        "BEGIN IONS\nPEPMASS=400\nCHARGE=0\nSCANS=2\n100 1\nEND IONS\n"
        "BEGIN IONS\nPEPMASS=400\nCHARGE=1-\nSCANS=3\n100 1\nEND IONS\n"
        "BEGIN IONS\nPEPMASS=400\nCHARGE=2\nSCANS=4\nEND IONS\n"
        "BEGIN IONS\nPEPMASS=400\nCHARGE=2\nMSLEVEL=3\nSCANS=5\n100 1\nEND IONS\n";
    const ReadOutcome skipped = ReadText(dir, "z.mgf", text);
    EXPECT_TRUE(skipped.records.empty());
    ReadResult expected;
    expected.files = 1;
    expected.spectra = 5;
    expected.skipped_no_charge = 2;
    expected.skipped_negative_charge = 1;
    expected.skipped_empty = 1;
    expected.skipped_not_ms2 = 1;
    EXPECT_EQ(skipped.result, expected);

    ReadOptions options;
    options.assign_charges = {2, 3};
    const ReadOutcome assigned = ReadPath(dir / "z.mgf", options);
    ASSERT_EQ(assigned.records.size(), 4u);
    EXPECT_EQ(assigned.records[0].file_name, "z.1.1.2.dta");
    EXPECT_EQ(assigned.records[1].file_name, "z.1.1.3.dta");
    EXPECT_EQ(assigned.records[3].file_name, "z.2.2.3.dta");
    EXPECT_EQ(assigned.records[3].precursor_mass, (400.0 - kProtonMass) * 3 + kProtonMass);
    EXPECT_EQ(assigned.result.records, 4u);
    EXPECT_EQ(assigned.result.assigned_charge_records, 4u);
    EXPECT_EQ(assigned.result.skipped_no_charge, 0u);
}

TEST(MgfReader, ErrorsNameTheFileLineAndWhatWasExpected) {
    using namespace std::string_literals;
    struct Case {
        std::string content;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"BEGIN IONS\nPEPMASS=400\n100 1\n", "t.mgf:3: expected 'END IONS' before end of file"},
        {"BEGIN IONS\nPEPMASS=400\n100 1\nBEGIN IONS\n", "t.mgf:4: expected 'END IONS' before 'BEGIN IONS'"},
        {"BEGIN IONS\nCHARGE=2\n100 1\nEND IONS\n", "t.mgf:4: expected a PEPMASS line before 'END IONS'"},
        {"BEGIN IONS\nPEPMASS=abc\nEND IONS\n", "t.mgf:2: PEPMASS must be a positive finite m/z"},
        {"BEGIN IONS\nPEPMASS=nan\nEND IONS\n", "t.mgf:2: PEPMASS must be a positive finite m/z"},
        {"BEGIN IONS\nPEPMASS=400\n100 -1\nEND IONS\n",
         "t.mgf:3: peak intensity must be a finite number of at least 0"},
        {"BEGIN IONS\nPEPMASS=400\n100 nan\nEND IONS\n",
         "t.mgf:3: peak intensity must be a finite number of at least 0"},
        {"BEGIN IONS\nPEPMASS=400\ninf 1\nEND IONS\n", "t.mgf:3: peak m/z must be a positive finite number"},
        {"BEGIN IONS\nPEPMASS=400\n100 1x\nEND IONS\n",
         "t.mgf:3: expected a number for the peak intensity, found '1x'"},
        {"BEGIN IONS\nPEPMASS=400\n100\nEND IONS\n", "t.mgf:3: expected a peak line 'm/z intensity'"},
        {"BEGIN IONS\nPEPMASS=400\nCHARGE=two\nEND IONS\n",
         "t.mgf:3: expected a charge such as 2+ or a list such as '2+ and 3+', found 'two'"},
        {"BEGIN IONS\nPEPMASS=400\nhello\nEND IONS\n",
         "t.mgf:3: expected a peak line 'm/z intensity', a KEY=value line or 'END IONS'"},
        {"END IONS\n", "t.mgf:1: 'END IONS' without 'BEGIN IONS'"},
        {"hello world\n", "t.mgf:1: expected 'BEGIN IONS' or a KEY=value header line"},
        {"BEGIN IONS\nPEPMASS=400\n1\0 1\nEND IONS\n"s, "t.mgf:3: binary data (NUL byte) in a text file"},
        // Binary data outside spectra, on the last line, and after a line longer than any
        // may be: outside a spectrum the length is judged first.
        {"\0BEGIN IONS\n"s, "t.mgf:1: binary data (NUL byte) in a text file"},
        {"BEGIN IONS\nPEPMASS=400\n100 1\nEND IONS\nCHARGE=2+\0\n"s, "t.mgf:5: binary data (NUL byte) in a text file"},
        {"BEGIN IONS\nPEPMASS=400\n100 1\nEND IONS\n\n\0"s, "t.mgf:6: binary data (NUL byte) in a text file"},
        {std::string(70000, 'a') + "\0\n"s, "t.mgf:1: line longer than 65536 bytes"},
        {"BEGIN IONS\nPEPMASS=400\n"s + std::string(70000, '1') + "\0\nEND IONS\n"s,
         "t.mgf:3: binary data (NUL byte) in a text file"},
    };
    TempDir dir;
    for (const Case& c : cases) {
        // A plain file is read whole by pieces, a gzip file as a stream: the same errors.
        WriteFile(dir / "t.mgf", c.content);
        WriteFile(dir / "z.mgf", Gzip(c.content));
        EXPECT_EQ(FormatErrorOf(dir / "t.mgf"), dir / c.message) << c.content;
        EXPECT_EQ(FormatErrorOf(dir / "z.mgf"), dir / ("z" + c.message.substr(1))) << c.content;
    }
}

}  // namespace
}  // namespace speclink::test
