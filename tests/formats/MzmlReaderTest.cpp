#include <gtest/gtest.h>

#include "speclink/tests/formats/FormatsTestHelpers.h"
#include "speclink/formats/ProtonMass.h"

namespace speclink::test {
namespace {

// Arrays below: m/z 100.5, 200.25, 300.125 as little-endian 64-bit floats; intensities 10, 20.5,
// 0 as 32-bit floats, plain and zlib-compressed; 50, 60 and 5, 6 as 64-bit floats.
constexpr const char* kMz64 = "AAAAAAAgWUAAAAAAAAhpQAAAAAAAwnJA";
constexpr const char* kIntensity32 = "AAAgQQAApEEAAAAA";
constexpr const char* kIntensity32Zlib = "eJxjYFBwZGBYAsQMDAAIsgFH";

std::string Param(const std::string& accession, const std::string& value = "", const std::string& unit = "") {
    return "<cvParam cvRef=\"MS\" accession=\"" + accession + "\" name=\"x\" value=\"" + value + "\"" +
           (unit.empty() ? "" : " unitAccession=\"" + unit + "\"") + "/>\n";
}

std::string Array(const std::string& params, const std::string& data, const std::string& extra = "") {
    return "<binaryDataArray encodedLength=\"0\"" + extra + ">\n" + params + "<binary>" + data +
           "</binary>\n</binaryDataArray>\n";
}

std::string Document(const std::string& spectra) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<indexedmzML xmlns=\"http://psi.hupo.org/ms/mzml\">\n<mzML xmlns=\"http://psi.hupo.org/ms/mzml\">\n"
           "<referenceableParamGroupList count=\"1\">\n<referenceableParamGroup id=\"mz64\">\n" +
           Param("MS:1000523") + Param("MS:1000576") + Param("MS:1000514") +
           "</referenceableParamGroup>\n</referenceableParamGroupList>\n"
           "<run id=\"r\">\n<spectrumList count=\"3\">\n" +
           spectra +
           "</spectrumList>\n<chromatogramList count=\"1\">\n<chromatogram index=\"0\" id=\"TIC\" "
           "defaultArrayLength=\"1\">\n" +
           Array(Param("MS:1000523") + Param("MS:1000576") + Param("MS:1000595"), "garbage that is never decoded") +
           "</chromatogram>\n</chromatogramList>\n</run>\n</mzML>\n<indexList count=\"0\"/>\n</indexedmzML>\n";
}

std::string Ms2Spectrum(int index, const std::string& id, const std::string& precursor, const std::string& arrays,
                        int length = 3) {
    return "<spectrum index=\"" + std::to_string(index) + "\" id=\"" + id + "\" defaultArrayLength=\"" +
           std::to_string(length) + "\">\n" + Param("MS:1000580") + Param("MS:1000511", "2") +
           Param("MS:1000796", "title &amp; more") + Param("MS:1000285", "1234.5") +
           "<scanList count=\"1\">\n<scan>\n" + Param("MS:1000016", "2.5", "UO:0000031") + "</scan>\n</scanList>\n" +
           "<precursorList count=\"1\">\n<precursor>\n<selectedIonList count=\"1\">\n<selectedIon>\n" + precursor +
           "</selectedIon>\n</selectedIonList>\n</precursor>\n</precursorList>\n<binaryDataArrayList count=\"2\">\n" +
           arrays + "</binaryDataArrayList>\n</spectrum>\n";
}

std::string Ms1Spectrum(int index) {
    return "<spectrum index=\"" + std::to_string(index) + "\" id=\"scan=" + std::to_string(index + 1) +
           "\" defaultArrayLength=\"2\">\n" + Param("MS:1000579") + Param("MS:1000511", "1") +
           "<binaryDataArrayList count=\"1\">\n" + Array(Param("MS:1000523") + Param("MS:1000514"), "not base64 !!") +
           "</binaryDataArrayList>\n</spectrum>\n";
}

std::string PlainArrays() {
    return Array("<referenceableParamGroupRef ref=\"mz64\"/>\n", kMz64) +
           Array(Param("MS:1000521") + Param("MS:1000574") + Param("MS:1000515"), kIntensity32Zlib);
}

TEST(MzmlReader, ReadsMs2SpectraAndSkipsTheRest) {
    TempDir dir;
    const std::string precursor = Param("MS:1000744", "445.5") + Param("MS:1000041", "2") + Param("MS:1000042", "999");
    const std::string spectra =
        Ms1Spectrum(0) + Ms2Spectrum(1, "controllerType=0 controllerNumber=1 scan=2", precursor, PlainArrays()) +
        Ms2Spectrum(2, "spectrum 3", precursor,
                    Array(Param("MS:1000523") + Param("MS:1000514"), kMz64) +
                        Array(Param("MS:1000521") + Param("MS:1000576") + Param("MS:1000515"), kIntensity32) +
                        Array(Param("MS:1000523") + Param("MS:1000786"), "AAAA", " arrayLength=\"7\""));
    const ReadOutcome read = ReadText(dir, "sample.mzML", Document(spectra));
    ASSERT_EQ(read.records.size(), 2u);
    CSpectrum expected;
    expected.charge = 2;
    expected.precursor_mz = 445.5;
    expected.precursor_mass = (445.5 - kProtonMass) * 2 + kProtonMass;
    expected.retention_time = 150.0;
    expected.precursor_intensity = 999.0;
    expected.file_name = "sample.2.2.2.dta";
    expected.scan = 2;
    expected.total_ion_current = 1234.5;
    expected.title = "title & more";
    expected.peaks = {{100.5, 10.0}, {200.25, 20.5}, {300.125, 0.0}};
    ExpectSameRecord(read.records[0], expected);
    // Without "scan=" in the id the scan is the index + 1.
    expected.file_name = "sample.3.3.2.dta";
    expected.scan = 3;
    ExpectSameRecord(read.records[1], expected);
    EXPECT_EQ(read.result.spectra, 3u);
    EXPECT_EQ(read.result.skipped_not_ms2, 1u);
}

TEST(MzmlReader, PossibleChargesAndMissingCharges) {
    TempDir dir;
    const std::string spectra =
        Ms2Spectrum(0, "scan=10", Param("MS:1000744", "500") + Param("MS:1000633", "2") + Param("MS:1000633", "3"),
                    PlainArrays()) +
        Ms2Spectrum(1, "scan=11", Param("MS:1000744", "500") + Param("MS:1000041", "0"), PlainArrays()) +
        Ms2Spectrum(2, "scan=12", Param("MS:1000041", "2"), PlainArrays()) +
        Ms2Spectrum(3, "scan=13", Param("MS:1000744", "500") + Param("MS:1000041", "2"), "", 0);
    const ReadOutcome read = ReadText(dir, "p.mzML", Document(spectra));
    ASSERT_EQ(read.records.size(), 2u);
    EXPECT_EQ(read.records[0].file_name, "p.10.10.2.dta");
    EXPECT_EQ(read.records[1].file_name, "p.10.10.3.dta");
    EXPECT_EQ(read.result.skipped_no_charge, 1u);
    EXPECT_EQ(read.result.skipped_no_precursor, 1u);
    EXPECT_EQ(read.result.skipped_empty, 1u);
}

TEST(MzmlReader, ErrorsNameTheLineAndSpectrum) {
    TempDir dir;
    const std::string precursor = Param("MS:1000744", "445.5") + Param("MS:1000041", "2");
    struct Case {
        std::string arrays;
        std::string message;
    };
    const std::vector<Case> cases = {
        {Array(Param("MS:1000523") + Param("MS:1000514"), kMz64), "expected an intensity array"},
        {Array(Param("MS:1000523") + Param("MS:1000514"), "AAAAAAAgWUAA"),
         "m/z array: 9 bytes is not a whole number of 64-bit values"},
        {Array(Param("MS:1000523") + Param("MS:1000514"), "AAAAAAAgWUAAAAAAAAhpQA=="),
         "m/z array: array holds 2 values, 3 announced"},
        {Array(Param("MS:1000523") + Param("MS:1000514"), "AA*A"), "m/z array: invalid base64 text"},
        {Array(Param("MS:1000523") + Param("MS:1000574") + Param("MS:1000514"), kMz64),
         "m/z array: corrupt or truncated zlib data"},
        {PlainArrays() + Array(Param("MS:1000523") + Param("MS:1000514"), kMz64), "a second m/z array"},
        // The first fault in the file is reported, though its array is decoded later.
        {Array(Param("MS:1000523") + Param("MS:1000514"), "AA*A") + Array(Param("MS:1000523") + Param("MS:1000514"), kMz64),
         "m/z array: invalid base64 text"},
    };
    for (const Case& c : cases) {
        WriteFile(dir / "e.mzML", Document(Ms2Spectrum(4, "scan=5", precursor, c.arrays)));
        const std::string error = FormatErrorOf(dir / "e.mzML");
        EXPECT_NE(error.find("e.mzML:"), std::string::npos) << error;
        EXPECT_NE(error.find(": spectrum index 4 (id 'scan=5'): " + c.message), std::string::npos) << error;
    }
}

TEST(MzmlReader, MalformedXmlAndOtherDocuments) {
    TempDir dir;
    const std::string whole = Document(Ms2Spectrum(0, "scan=1", Param("MS:1000744", "445.5"), PlainArrays()));
    WriteFile(dir / "cut.mzML", whole.substr(0, whole.size() / 2));
    EXPECT_NE(FormatErrorOf(dir / "cut.mzML").find("malformed XML"), std::string::npos);
    WriteFile(dir / "other.mzML", "<?xml version=\"1.0\"?>\n<html><body/></html>\n");
    EXPECT_EQ(FormatErrorOf(dir / "other.mzML"),
              dir / "other.mzML: cannot tell the spectrum format (expected mzML, mzXML, MGF, MS2 or DTA)");
    WriteFile(dir / "level.mzML",
              Document("<spectrum index=\"0\" id=\"scan=1\" defaultArrayLength=\"0\">\n</spectrum>\n"));
    EXPECT_NE(FormatErrorOf(dir / "level.mzML").find("expected an 'ms level' parameter"), std::string::npos);
}

}  // namespace
}  // namespace speclink::test
