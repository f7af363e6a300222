// Readers under hostile conditions: a file that vanishes during a run, and a spectrum of a
// million peaks.

#include <filesystem>
#include <system_error>

#include "speclink/tests/formats/FormatsTestHelpers.h"
#include "speclink/formats/BinaryArrayDecoder.h"
#include "speclink/formats/MzmlWriter.h"
#include "speclink/formats/ProtonMass.h"

namespace speclink::test {
namespace {

namespace fs = std::filesystem;

// A DTA directory is listed before its files are read; a file removed in between is reported
// by name, not skipped.
TEST(InputFault, DtaFileVanishingDuringTheRun) {
    const TempDir dir;
    fs::create_directories(dir.path() / "dta");
    WriteFile(dir.path() / "dta" / "a.1.1.2.dta", "1000.5 2\n100 1\n200 2\n");
    WriteFile(dir.path() / "dta" / "b.2.2.2.dta", "1001.5 2\n100 1\n200 2\n");
    ReadOptions options;
    // Progress is reported while the first file is read: the second goes then.
    options.progress = [&](uint64_t, uint64_t) { fs::remove(dir.path() / "dta" / "b.2.2.2.dta"); };
    size_t records = 0;
    try {
        ReadSpectra(dir / "dta", options, [&](CSpectrum&&, std::string_view) { ++records; });
        ADD_FAILURE() << "the vanished file went unnoticed";
    } catch (const std::system_error& error) {
        EXPECT_NE(std::string(error.what()).find("cannot open " + (dir.path() / "dta" / "b.2.2.2.dta").string()),
                  std::string::npos)
            << error.what();
    }
    EXPECT_EQ(records, 1u);
}

// Nested entities that would expand a 700-byte mzML to 10^9 characters are refused, not
// expanded.
TEST(InputFault, EntityExpansionIsRefused) {
    std::string entities = "<!ENTITY a0 \"ha\">";
    for (int level = 1; level < 10; ++level) {
        std::string expansion;
        for (int k = 0; k < 10; ++k) expansion += "&a" + std::to_string(level - 1) + ";";
        entities += "<!ENTITY a" + std::to_string(level) + " \"" + expansion + "\">";
    }
    const TempDir dir;
    WriteFile(dir / "laughs.mzML", "<?xml version=\"1.0\"?>\n<!DOCTYPE mzML [" + entities +
                                       "]>\n<mzML><run><spectrumList><spectrum index=\"0\" id=\"scan=1\" "
                                       "defaultArrayLength=\"0\"><cvParam accession=\"MS:1000796\" "
                                       "name=\"spectrum title\" value=\"&a9;\"/></spectrum></spectrumList></run>"
                                       "</mzML>\n");
    const std::string error = FormatErrorOf(dir / "laughs.mzML");
    EXPECT_NE(error.find("laughs.mzML:3: malformed XML: limit on input amplification factor"), std::string::npos)
        << error;
}

// A spectrum of a million peaks, as MGF text and as an mzML of zlib-compressed arrays.
TEST(InputFault, MillionPeakSpectrum) {
    constexpr size_t kPeaks = 1'000'000;
    CSpectrum spectrum;
    spectrum.charge = 2;
    spectrum.precursor_mz = 800.25;
    spectrum.precursor_mass = MassFromMz(800.25, 2);
    spectrum.scan = 1;
    spectrum.peaks.resize(kPeaks);
    for (size_t k = 0; k < kPeaks; ++k) spectrum.peaks[k] = {100.0 + static_cast<double>(k) * 0.001, 1.0 + k % 97};

    const TempDir dir;
    std::string mgf = "BEGIN IONS\nPEPMASS=800.25\nCHARGE=2+\n";
    for (const Peak& peak : spectrum.peaks) mgf += std::to_string(peak.mz) + " " + std::to_string(peak.intensity) + "\n";
    mgf += "END IONS\n";
    const ReadOutcome text = ReadText(dir, "big.mgf", mgf);
    ASSERT_EQ(text.records.size(), 1u);
    EXPECT_EQ(text.records[0].peaks.size(), kPeaks);
    EXPECT_EQ(text.records[0].peaks.back().mz, 1099.999);

    MzmlWriteOptions compressed;
    compressed.mz.zlib = true;
    compressed.intensity.zlib = true;
    MzmlWriter writer(dir / "big.mzML", compressed);
    writer.Write(spectrum);
    writer.Close();
    const ReadOutcome binary = ReadPath(dir / "big.mzML");
    ASSERT_EQ(binary.records.size(), 1u);
    EXPECT_EQ(binary.records[0].peaks, spectrum.peaks);
}

}  // namespace
}  // namespace speclink::test
