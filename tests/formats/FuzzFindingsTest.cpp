// Inputs the fuzz targets of tests/fuzz found to break a promise of the readers, each kept
// with the smallest input that showed it.

#include <string>

#include "speclink/tests/formats/FormatsTestHelpers.h"

namespace speclink::test {
namespace {

struct ImpossibleMass {
    const char* name;
    const char* file;
    std::string content;
};

void PrintTo(const ImpossibleMass& c, std::ostream* os) { *os << c.name; }

class PrecursorWithoutAPositiveMass : public ::testing::TestWithParam<ImpossibleMass> {};

// An m/z below the proton's gave a negative [M+H]+, and one near the largest double an
// infinite one; both went to the engines as records. Such spectra are now skipped and
// counted.
TEST_P(PrecursorWithoutAPositiveMass, IsSkippedAndCounted) {
    const TempDir dir;
    const ReadOutcome read = ReadText(dir, GetParam().file, GetParam().content);
    EXPECT_TRUE(read.records.empty());
    EXPECT_EQ(read.result.spectra, 1u);
    EXPECT_EQ(read.result.skipped_impossible_mass, 1u);
    EXPECT_EQ(read.result.skipped(), 1u);
}

const ImpossibleMass kImpossibleMasses[] = {
    {"MgfMzBelowTheProtonMass", "a.mgf", "BEGIN IONS\nPEPMASS=0.25\nCHARGE=2+\n100 1\nEND IONS\n"},
    {"MgfMassOverflow", "b.mgf", "BEGIN IONS\nPEPMASS=1e308\nCHARGE=3+\n100 1\nEND IONS\n"},
    {"MgfOneOfTwoChargesImpossible", "c.mgf", "BEGIN IONS\nPEPMASS=0.4\nCHARGE=1+ and 2+\n100 1\nEND IONS\n"},
    // One peak (100, 1) as big-endian 32-bit floats.
    {"MzxmlMzBelowTheProtonMass", "d.mzXML",
     "<mzXML><msRun><scan num=\"1\" msLevel=\"2\" peaksCount=\"1\"><precursorMz precursorCharge=\"2\">0.25"
     "</precursorMz><peaks precision=\"32\" byteOrder=\"network\" pairOrder=\"m/z-int\">QsgAAD+AAAA=</peaks>"
     "</scan></msRun></mzXML>\n"},
};

INSTANTIATE_TEST_SUITE_P(Readers, PrecursorWithoutAPositiveMass, ::testing::ValuesIn(kImpossibleMasses),
                         [](const auto& info) { return std::string(info.param.name); });

// With charges to assign, a spectrum without a charge takes the same test per charge.
TEST(PrecursorWithoutAPositiveMassAssigned, IsSkippedAndCounted) {
    const TempDir dir;
    ReadOptions options;
    options.assign_charges = {2, 3};
    const ReadOutcome read = ReadText(dir, "e.mgf", "BEGIN IONS\nPEPMASS=0.3\n100 1\nEND IONS\n", options);
    EXPECT_TRUE(read.records.empty());
    EXPECT_EQ(read.result.skipped_impossible_mass, 1u);
}

// A referenceableParamGroup that referenced itself inside its own definition added to the
// list of parameters being walked (use after free). The reference now adds a copy of the
// group's parameters as they stood, once.
TEST(MzmlGroupReferencingItself, AddsItsParametersOnce) {
    const TempDir dir;
    const std::string param = "<cvParam cvRef=\"MS\" accession=\"MS:1000511\" name=\"ms level\" value=\"2\"/>";
    const std::string content =
        "<mzML><referenceableParamGroupList count=\"1\"><referenceableParamGroup id=\"G\">" + param +
        "<referenceableParamGroupRef ref=\"G\"/><referenceableParamGroupRef ref=\"G\"/>"
        "</referenceableParamGroup></referenceableParamGroupList>"
        "<run id=\"r\"><spectrumList count=\"1\"><spectrum index=\"0\" id=\"scan=1\" defaultArrayLength=\"0\">"
        "<referenceableParamGroupRef ref=\"G\"/></spectrum></spectrumList></run></mzML>\n";
    const ReadOutcome read = ReadText(dir, "g.mzML", content);
    EXPECT_EQ(read.result.spectra, 1u);
    EXPECT_EQ(read.result.skipped_not_ms2, 0u);
    EXPECT_EQ(read.result.skipped(), 1u);  // no precursor: skipped, but read as MS level 2
}

}  // namespace
}  // namespace speclink::test
