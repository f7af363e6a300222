#include <gtest/gtest.h>

#include "speclink/library/consensus/RepresentativeSpectra.h"
#include "speclink/tests/support/TestSupport.h"

namespace speclink {
namespace {

using test::ReadFile;
using test::Spectrum;
using test::TempDir;

CRepresentativeSpectra WriterTo(const std::string& cluster_result) {
    CRepresentativeSpectra writer(CONSENSUS_SPECTRA, 0.4, TOLERANCE_DA);
    writer.spectra_process.cluster_result = cluster_result;
    return writer;
}

std::vector<CSpectrum> NamedSpectra(size_t count) {
    std::vector<CSpectrum> spectra;
    for (size_t k = 0; k < count; ++k) {
        spectra.push_back(Spectrum().Name("s" + std::to_string(k) + ".dta").Mass(1000.0 + 0.25 * k).Charge(2));
    }
    return spectra;
}

TEST(WriteClusterResultTest, ListsClustersByFirstMemberAndMembersInChainOrder) {
    TempDir dir;
    const CRepresentativeSpectra writer = WriterTo(dir / "result.txt");
    const ClusterLinkList links = {{0, 2}, {1, -1}, {0, 4}, {3, -1}, {0, -1}};
    ASSERT_TRUE(writer.WriteClusterResult(NamedSpectra(5), links));
    EXPECT_EQ(ReadFile(dir / "result.txt"),
              "1,s0.dta,1,1000.000000\n"
              "2,s2.dta,1,1000.500000\n"
              "3,s4.dta,1,1001.000000\n"
              "4,s1.dta,2,1000.250000\n"
              "5,s3.dta,3,1000.750000\n");
}

TEST(WriteClusterResultTest, FailsWhenTheFileCannotBeOpened) {
    TempDir dir;
    EXPECT_FALSE(WriterTo(dir / "missing/result.txt").WriteClusterResult(NamedSpectra(1), {{0, -1}}));
    EXPECT_FALSE(WriterTo("").WriteClusterResult(NamedSpectra(1), {{0, -1}}));
}

TEST(WriteSpectrumFileTest, WritesHeaderAndPeaksInStoredOrder) {
    TempDir dir;
    const CSpectrum spectrum = Spectrum().Mass(500.5).Charge(2).Peak(100.0, 5.0).Peak(200.25, 1.0);
    CRepresentativeSpectra::WriteSpectrumFile(spectrum, dir / "single.dta");
    EXPECT_EQ(ReadFile(dir / "single.dta"), "500.500000 2\n100.000000 5.000000\n200.250000 1.000000\n");

    // Stored order, not m/z order; an existing file is replaced.
    const CSpectrum unsorted = Spectrum().Mass(1234.5678914).Charge(3).Peak(300.1234567, 2.5).Peak(99.9, 0.0);
    CRepresentativeSpectra::WriteSpectrumFile(unsorted, dir / "single.dta");
    EXPECT_EQ(ReadFile(dir / "single.dta"), "1234.567891 3\n300.123457 2.500000\n99.900000 0.000000\n");
}

TEST(WriteSpectrumFileTest, UnwritablePathIsSkippedSilently) {
    TempDir dir;
    CRepresentativeSpectra::WriteSpectrumFile(Spectrum().Mass(1.0), dir / "missing/single.dta");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "missing"));
}

}  // namespace
}  // namespace speclink
