#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>

#include "speclink/tests/formats/FormatsTestHelpers.h"
#include "speclink/tests/support/DtaWriter.h"
#include "speclink/formats/MgfWriter.h"
#include "speclink/tests/support/Ms2Writer.h"
#include "speclink/formats/MzmlWriter.h"
#include "speclink/tests/support/MzxmlWriter.h"
#include "speclink/formats/ProtonMass.h"
#include "speclink/formats/SpectrumNaming.h"

namespace speclink::test {
namespace {

namespace fs = std::filesystem;

/// The double a six-decimal text of `value` reads back as: DTA files keep six decimals, so
/// spectra meant to survive every format are made of such values.
double SixDecimals(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.6f", value);
    return std::strtod(text, nullptr);
}

/// Simulated spectra whose values every format keeps exactly: six-decimal peaks and masses,
/// and masses for which m/z and back gives the same double.
std::vector<CSpectrum> SimulatedSpectra(size_t count, uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> mz(100.0, 2000.0);
    std::uniform_real_distribution<double> intensity(0.0, 1e5);
    std::uniform_real_distribution<double> mass(600.0, 4000.0);
    std::vector<CSpectrum> spectra;
    for (size_t i = 0; i < count; ++i) {
        CSpectrum s;
        s.charge = 1 + static_cast<int>(random() % 4);
        double candidate = SixDecimals(mass(random));
        while (MassFromMz(MzFromMass(candidate, s.charge), s.charge) != candidate)
            candidate = SixDecimals(candidate + 1e-6);
        s.precursor_mass = candidate;
        s.precursor_mz = MzFromMass(candidate, s.charge);
        s.scan = static_cast<int32_t>(100 + 3 * i);
        s.retention_time = 0.25 * static_cast<double>(random() % 40000);
        s.precursor_intensity = SixDecimals(intensity(random));
        s.total_ion_current = SixDecimals(intensity(random) * 100);
        s.title = "sim spectrum " + std::to_string(i) + " <&>";
        s.peptide = "PEPTIDE" + std::to_string(i);
        s.file_name = RecordFileName("sim", s.scan, s.charge);
        const size_t peaks = 1 + random() % 60;
        for (size_t p = 0; p < peaks; ++p) s.peaks.push_back({SixDecimals(mz(random)), SixDecimals(intensity(random))});
        spectra.push_back(s);
    }
    return spectra;
}

template <typename Writer, typename... Options>
void WriteAll(const std::vector<CSpectrum>& spectra, const std::string& path, Options... options) {
    Writer writer(path, options...);
    for (const CSpectrum& s : spectra) writer.Write(s);
    writer.Close();
}

/// Which carried fields a format stores.
struct Carried {
    bool retention_time = true;
    bool title = false;
    bool peptide = false;
    bool precursor_intensity = false;
    bool total_ion_current = false;
    /// Stored in minutes (MS2): seconds for which no double number of minutes gives the same
    /// double back come back within one unit in the last place.
    bool minutes = false;
};

void ExpectSameAsWritten(const std::vector<CSpectrum>& read, const std::vector<CSpectrum>& written,
                         const Carried& carried) {
    ASSERT_EQ(read.size(), written.size());
    for (size_t i = 0; i < read.size(); ++i) {
        CSpectrum expected = written[i];
        if (!carried.retention_time) expected.retention_time = 0.0;
        if (!carried.title) expected.title.clear();
        if (!carried.peptide) expected.peptide.clear();
        if (!carried.precursor_intensity) expected.precursor_intensity = 0.0;
        if (!carried.total_ion_current) expected.total_ion_current = 0.0;
        if (carried.minutes) {
            EXPECT_LE(std::abs(read[i].retention_time - expected.retention_time),
                      std::nextafter(expected.retention_time, INFINITY) - expected.retention_time);
            expected.retention_time = read[i].retention_time;
        }
        SCOPED_TRACE("spectrum " + std::to_string(i));
        ExpectSameRecord(read[i], expected);
    }
}

TEST(RoundTrip, EveryFormatGivesBackTheSameRecords) {
    const std::vector<CSpectrum> spectra = SimulatedSpectra(40, 11);
    TempDir dir;
    for (const std::string sub : {"mgf", "mzml", "mzml_zlib", "mzxml", "mzxml_zlib", "ms2", "dta", "gz"}) {
        fs::create_directory(dir.path() / sub);
    }
    WriteAll<MgfWriter>(spectra, dir / "mgf/sim.mgf");
    WriteAll<MzmlWriter>(spectra, dir / "mzml/sim.mzML");
    MzmlWriteOptions zlib;
    zlib.mz.zlib = true;
    zlib.intensity.zlib = true;
    WriteAll<MzmlWriter>(spectra, dir / "mzml_zlib/sim.mzML", zlib);
    WriteAll<MzxmlWriter>(spectra, dir / "mzxml/sim.mzXML");
    WriteAll<MzxmlWriter>(spectra, dir / "mzxml_zlib/sim.mzXML", MzxmlWriteOptions{64, true});
    WriteAll<Ms2Writer>(spectra, dir / "ms2/sim.ms2");
    WriteDtaDirectory(spectra, dir / "dta");
    WriteFile(dir / "gz/sim.mgf.gz", Gzip(ReadFile(dir / "mgf/sim.mgf")));

    ExpectSameAsWritten(ReadPath(dir / "mgf/sim.mgf").records, spectra, {true, true, true, true, false});
    ExpectSameAsWritten(ReadPath(dir / "gz/sim.mgf.gz").records, spectra, {true, true, true, true, false});
    ExpectSameAsWritten(ReadPath(dir / "mzml/sim.mzML").records, spectra, {true, true, false, true, true});
    ExpectSameAsWritten(ReadPath(dir / "mzml_zlib/sim.mzML").records, spectra, {true, true, false, true, true});
    ExpectSameAsWritten(ReadPath(dir / "mzxml/sim.mzXML").records, spectra, {true, false, false, true, true});
    ExpectSameAsWritten(ReadPath(dir / "mzxml_zlib/sim.mzXML").records, spectra, {true, false, false, true, true});
    ExpectSameAsWritten(ReadPath(dir / "ms2/sim.ms2").records, spectra, {true, false, false, false, false, true});
    // The DTA directory reads in file name order.
    std::vector<CSpectrum> by_name = spectra;
    std::sort(by_name.begin(), by_name.end(),
              [](const CSpectrum& a, const CSpectrum& b) { return a.file_name < b.file_name; });
    ExpectSameAsWritten(ReadPath(dir / "dta").records, by_name, {false, false, false, false, false});
}

TEST(RoundTrip, RecordsReadFromMzIsKeptWhenWrittenAgain) {
    // A record read from an m/z format keeps its m/z through another writer, even when the
    // m/z computed back from the mass would differ in the last place.
    TempDir dir;
    WriteFile(dir / "a.mgf", "BEGIN IONS\nPEPMASS=488.73\nCHARGE=3+\nSCANS=2\n100 1\nEND IONS\n");
    const std::vector<CSpectrum> first = ReadPath(dir / "a.mgf").records;
    WriteAll<MzxmlWriter>(first, dir / "a.mzXML");
    const std::vector<CSpectrum> second = ReadPath(dir / "a.mzXML").records;
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(second[0].precursor_mz, 488.73);
    EXPECT_EQ(second[0].precursor_mass, first[0].precursor_mass);
}

// Float arrays keep what a float keeps; numpress m/z keeps 1e-5, pic intensities 0.5, slof
// intensities 5e-4 of the value.
TEST(RoundTrip, LossyArrayEncodingsStayWithinTheirPrecision) {
    const std::vector<CSpectrum> spectra = SimulatedSpectra(10, 5);
    TempDir dir;
    const auto as_float = [](double v) { return std::abs(v - static_cast<float>(v)); };
    MzmlWriteOptions mz32;
    mz32.mz.type = mz32.intensity.type = ArrayEncoding::Type::kFloat32;
    mz32.intensity.zlib = true;
    MzmlWriteOptions pic;
    pic.mz.numpress = ArrayEncoding::Numpress::kLinear;
    pic.intensity.numpress = ArrayEncoding::Numpress::kPic;
    MzmlWriteOptions slof;
    slof.mz.numpress = ArrayEncoding::Numpress::kLinear;
    slof.intensity.numpress = ArrayEncoding::Numpress::kSlof;
    slof.mz.zlib = slof.intensity.zlib = true;
    WriteAll<MzmlWriter>(spectra, dir / "f32.mzML", mz32);
    WriteAll<MzxmlWriter>(spectra, dir / "f32.mzXML", MzxmlWriteOptions{32, false});
    WriteAll<MzxmlWriter>(spectra, dir / "f32z.mzXML", MzxmlWriteOptions{32, true});
    WriteAll<MzmlWriter>(spectra, dir / "pic.mzML", pic);
    WriteAll<MzmlWriter>(spectra, dir / "slof.mzML", slof);
    const std::pair<std::string, std::function<double(double)>> intensity_tolerances[] = {
        {"f32.mzML", as_float}, {"f32.mzXML", as_float}, {"f32z.mzXML", as_float},
        {"pic.mzML", [](double) { return 0.5; }}, {"slof.mzML", [](double v) { return 5e-4 * v + 1e-3; }}};
    for (const auto& [name, intensity_tolerance] : intensity_tolerances) {
        SCOPED_TRACE(name);
        const bool numpress = name != "f32.mzML" && name.ends_with(".mzML");
        const std::vector<CSpectrum> read = ReadPath(dir / name).records;
        ASSERT_EQ(read.size(), spectra.size());
        for (size_t i = 0; i < read.size(); ++i) {
            EXPECT_EQ(read[i].precursor_mass, spectra[i].precursor_mass);
            ASSERT_EQ(read[i].peaks.size(), spectra[i].peaks.size());
            for (size_t p = 0; p < read[i].peaks.size(); ++p) {
                const Peak& expected = spectra[i].peaks[p];
                EXPECT_LE(std::abs(read[i].peaks[p].mz - expected.mz), numpress ? 1e-5 : as_float(expected.mz));
                EXPECT_LE(std::abs(read[i].peaks[p].intensity - expected.intensity), intensity_tolerance(expected.intensity));
            }
        }
    }
}

}  // namespace
}  // namespace speclink::test
