#include <gtest/gtest.h>

#include "speclink/tests/formats/FormatsTestHelpers.h"
#include "speclink/tests/support/DtaWriter.h"
#include "speclink/formats/MgfWriter.h"
#include "speclink/tests/support/Ms2Writer.h"
#include "speclink/formats/MzmlWriter.h"
#include "speclink/tests/support/MzxmlWriter.h"
#include "speclink/formats/ProtonMass.h"

namespace speclink::test {
namespace {

CSpectrum Example() {
    CSpectrum s;
    s.charge = 2;
    s.precursor_mass = 500.5;
    s.precursor_mz = 0.0;
    s.retention_time = 90.0;
    s.scan = 7;
    s.title = "run.7.7.2";
    s.peptide = "PEPK";
    s.peaks = {{100.0, 5.0}, {200.25, 1.0}};
    return s;
}

TEST(DtaWriter, WritesSixDecimals) {
    TempDir dir;
    CSpectrum s = Example();
    WriteDta(s, dir / "x.dta");
    EXPECT_EQ(ReadFile(dir / "x.dta"), "500.500000 2\n100.000000 5.000000\n200.250000 1.000000\n");
}

TEST(MgfWriter, WritesTheShortestExactNumbers) {
    TempDir dir;
    CSpectrum s = Example();
    s.precursor_intensity = 1e6;
    s.peaks.push_back({0.1, 1.0 / 3.0});
    MgfWriter writer(dir / "x.mgf");
    writer.Write(s);
    s.charge = 0;
    s.precursor_mz = 321.5;
    s.title.clear();
    s.peptide.clear();
    s.scan = 0;
    s.retention_time = 0.0;
    s.precursor_intensity = 0.0;
    s.peaks.clear();
    writer.Write(s);
    writer.Close();
    EXPECT_EQ(ReadFile(dir / "x.mgf"), "BEGIN IONS\nTITLE=run.7.7.2\nPEPMASS=" + Lossless(MzFromMass(500.5, 2)) +
                                           " 1000000\nCHARGE=2+\nRTINSECONDS=90\nSCANS=7\nSEQ=PEPK\n100 5\n200.25 "
                                           "1\n0.1 0.3333333333333333\nEND IONS\n\n"
                                           "BEGIN IONS\nPEPMASS=321.5\nEND IONS\n\n");
    CSpectrum broken = Example();
    broken.title = "two\nlines";
    MgfWriter other(dir / "y.mgf");
    EXPECT_THROW(other.Write(broken), std::invalid_argument);
}

TEST(Ms2Writer, WritesSZAndPeakLines) {
    TempDir dir;
    Ms2Writer writer(dir / "x.ms2");
    writer.Write(Example());
    writer.Close();
    EXPECT_EQ(ReadFile(dir / "x.ms2"), "H\tExtractor\tspeclink\nS\t7\t7\t" + Lossless(MzFromMass(500.5, 2)) +
                                           "\nI\tRTime\t1.5\nZ\t2\t500.5\n100 5\n200.25 1\n");
}

TEST(XmlWriters, WriteTheSpectrumCountAndEscapeText) {
    TempDir dir;
    CSpectrum s = Example();
    s.title = "a<b & \"c\"";
    MzmlWriter mzml(dir / "x.mzML");
    MzxmlWriter mzxml(dir / "x.mzXML");
    for (int i = 0; i < 3; ++i) {
        mzml.Write(s);
        mzxml.Write(s);
    }
    mzml.Close();
    mzxml.Close();
    const std::string mzml_text = ReadFile(dir / "x.mzML");
    EXPECT_NE(mzml_text.find("<spectrumList count=\"3\"   "), std::string::npos);
    EXPECT_NE(mzml_text.find("value=\"a&lt;b &amp; &quot;c&quot;\""), std::string::npos);
    EXPECT_NE(ReadFile(dir / "x.mzXML").find("<msRun scanCount=\"3\" "), std::string::npos);
    const ReadOutcome read = ReadPath(dir / "x.mzML");
    ASSERT_EQ(read.records.size(), 3u);
    EXPECT_EQ(read.records[0].title, s.title);
}

TEST(XmlWriters, EmptyFilesAndEmptyPeakListsReadBack) {
    TempDir dir;
    MzmlWriter(dir / "none.mzML").Close();
    MzxmlWriter(dir / "none.mzXML").Close();
    EXPECT_EQ(ReadPath(dir / "none.mzML").result.spectra, 0u);
    EXPECT_EQ(ReadPath(dir / "none.mzXML").result.spectra, 0u);

    CSpectrum empty = Example();
    empty.peaks.clear();
    MzmlWriteOptions numpress;
    numpress.mz.numpress = ArrayEncoding::Numpress::kLinear;
    numpress.intensity.numpress = ArrayEncoding::Numpress::kSlof;
    MzmlWriter mzml(dir / "empty.mzML", numpress);
    mzml.Write(empty);
    mzml.Close();
    MzxmlWriter mzxml(dir / "empty.mzXML", MzxmlWriteOptions{64, true});
    mzxml.Write(empty);
    mzxml.Close();
    EXPECT_EQ(ReadPath(dir / "empty.mzML").result.skipped_empty, 1u);
    EXPECT_EQ(ReadPath(dir / "empty.mzXML").result.skipped_empty, 1u);
}

}  // namespace
}  // namespace speclink::test
