#include <gtest/gtest.h>

#include "speclink/tests/formats/FormatsTestHelpers.h"
#include "speclink/formats/ProtonMass.h"

namespace speclink::test {
namespace {

// Peaks (150.5, 7), (250.25, 8.5) and (99.5, 1) as big-endian 32-bit float pairs.
constexpr const char* kTwoPeaks = "QxaAAEDgAABDekAAQQgAAA==";
constexpr const char* kOnePeak = "QscAAD+AAAA=";

std::string Document(const std::string& scans) {
    return "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
           "<mzXML xmlns=\"http://sashimi.sourceforge.net/schema_revision/mzXML_2.0\">\n"
           "<msRun scanCount=\"3\">\n" +
           scans + "</msRun>\n<index name=\"scan\"/>\n</mzXML>\n";
}

TEST(MzxmlReader, ReadsNestedMs2Scans) {
    TempDir dir;
    const std::string scans =
        "<scan num=\"1\" msLevel=\"1\" peaksCount=\"1\" retentionTime=\"PT1S\">\n"
        "<peaks precision=\"32\" byteOrder=\"network\" pairOrder=\"m/z-int\">" +
        std::string(kOnePeak) +
        "</peaks>\n"
        "<scan num=\"2\" msLevel=\"2\" peaksCount=\"2\" retentionTime=\"PT1M2.5S\" totIonCurrent=\"15.5\">\n"
        "<precursorMz precursorIntensity=\"131528\" precursorCharge=\"3\">810.8182</precursorMz>\n"
        "<peaks precision=\"32\" byteOrder=\"network\" pairOrder=\"m/z-int\">\n" +
        kTwoPeaks +
        "\n</peaks>\n</scan>\n"
        "<scan num=\"3\" msLevel=\"2\" peaksCount=\"1\" retentionTime=\"PT70S\">\n"
        "<precursorMz precursorIntensity=\"5\" possibleCharges=\"2,3\">400</precursorMz>\n"
        "<peaks precision=\"32\" byteOrder=\"network\" contentType=\"m/z-int\" compressionType=\"none\">" +
        kOnePeak +
        "</peaks>\n</scan>\n"
        "</scan>\n";
    const ReadOutcome read = ReadText(dir, "small.mzXML", Document(scans));
    ASSERT_EQ(read.records.size(), 3u);
    CSpectrum expected;
    expected.charge = 3;
    expected.precursor_mz = 810.8182;
    expected.precursor_mass = (810.8182 - kProtonMass) * 3 + kProtonMass;
    expected.retention_time = 62.5;
    expected.precursor_intensity = 131528.0;
    expected.file_name = "small.2.2.3.dta";
    expected.scan = 2;
    expected.total_ion_current = 15.5;
    expected.peaks = {{150.5, 7.0}, {250.25, 8.5}};
    ExpectSameRecord(read.records[0], expected);
    EXPECT_EQ(read.records[1].file_name, "small.3.3.2.dta");
    EXPECT_EQ(read.records[2].file_name, "small.3.3.3.dta");
    EXPECT_EQ(read.records[2].retention_time, 70.0);
    EXPECT_EQ(read.records[2].peaks, (PeakList{{99.5, 1.0}}));
    EXPECT_EQ(read.result.spectra, 3u);
    EXPECT_EQ(read.result.skipped_not_ms2, 1u);
}

TEST(MzxmlReader, ScansWithoutChargeArePossiblyAssigned) {
    TempDir dir;
    const std::string scans =
        "<scan num=\"8\" msLevel=\"2\" peaksCount=\"1\">\n<precursorMz precursorIntensity=\"0\">400</precursorMz>\n"
        "<peaks precision=\"32\" byteOrder=\"network\" pairOrder=\"m/z-int\">" +
        std::string(kOnePeak) + "</peaks>\n</scan>\n";
    WriteFile(dir / "n.mzXML", Document(scans));
    EXPECT_EQ(ReadPath(dir / "n.mzXML").result.skipped_no_charge, 1u);
    ReadOptions options;
    options.assign_charges = {2};
    const ReadOutcome read = ReadPath(dir / "n.mzXML", options);
    ASSERT_EQ(read.records.size(), 1u);
    EXPECT_EQ(read.records[0].file_name, "n.8.8.2.dta");
}

TEST(MzxmlReader, ErrorsNameTheLineAndScan) {
    TempDir dir;
    struct Case {
        std::string peaks_attributes;
        std::string data;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"precision=\"32\" byteOrder=\"little\"", kTwoPeaks, "scan 4: expected byteOrder 'network', found 'little'"},
        {"precision=\"16\"", kTwoPeaks, "scan 4: expected peaks precision 32 or 64, found '16'"},
        {"precision=\"32\" pairOrder=\"int-m/z\"", kTwoPeaks, "scan 4: expected m/z-int peak pairs, found 'int-m/z'"},
        {"precision=\"32\"", kOnePeak, "scan 4: peaks: array holds 2 values, 4 announced"},
        {"precision=\"32\" compressionType=\"zlib\"", kTwoPeaks, "scan 4: peaks: corrupt or truncated zlib data"},
    };
    for (const Case& c : cases) {
        const std::string scans =
            "<scan num=\"4\" msLevel=\"2\" peaksCount=\"2\">\n<precursorMz precursorCharge=\"2\">400</precursorMz>\n"
            "<peaks " +
            c.peaks_attributes + ">" + c.data + "</peaks>\n</scan>\n";
        WriteFile(dir / "e.mzXML", Document(scans));
        EXPECT_EQ(FormatErrorOf(dir / "e.mzXML"), dir / "e.mzXML:6: " + c.message);
    }
    WriteFile(dir / "num.mzXML", Document("<scan msLevel=\"2\"/>\n"));
    EXPECT_EQ(FormatErrorOf(dir / "num.mzXML"), dir / "num.mzXML:4: <scan>: expected a whole num attribute");
}

}  // namespace
}  // namespace speclink::test
