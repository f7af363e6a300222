#include <gtest/gtest.h>

#include "speclink/tests/formats/FormatsTestHelpers.h"
#include "speclink/formats/MgfWriter.h"
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

}  // namespace
}  // namespace speclink::test
