#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>

#include "speclink/cli/SpectrumSimulator.h"
#include "speclink/formats/ProtonMass.h"

namespace speclink::cli {
namespace {

SimulationOptions Options(int spectra, uint64_t seed) {
    SimulationOptions options;
    options.spectra = spectra;
    options.seed = seed;
    return options;
}

TEST(SpectrumSimulator, SameSeedSameSpectra) {
    const SimulatedSpectra a = SimulateSpectra(Options(200, 7));
    const SimulatedSpectra b = SimulateSpectra(Options(200, 7));
    const SimulatedSpectra c = SimulateSpectra(Options(200, 8));
    ASSERT_EQ(a.spectra.size(), 200u);
    bool all_equal = true;
    bool differs = false;
    for (size_t k = 0; k < a.spectra.size(); ++k) {
        all_equal = all_equal && a.spectra[k].peaks == b.spectra[k].peaks &&
                    a.spectra[k].precursor_mz == b.spectra[k].precursor_mz;
        differs = differs || a.spectra[k].peaks != c.spectra[k].peaks;
    }
    EXPECT_TRUE(all_equal);
    EXPECT_TRUE(differs);
}

TEST(SpectrumSimulator, RecordsAreWellFormed) {
    const SimulatedSpectra simulated = SimulateSpectra(Options(500, 3));
    ASSERT_EQ(simulated.truth.size(), simulated.spectra.size());
    for (size_t k = 0; k < simulated.spectra.size(); ++k) {
        const CSpectrum& s = simulated.spectra[k];
        EXPECT_EQ(s.scan, static_cast<int32_t>(k + 1));
        EXPECT_TRUE(s.charge == 2 || s.charge == 3);
        EXPECT_EQ(s.charge, simulated.truth[k].charge);
        EXPECT_DOUBLE_EQ(s.precursor_mass, MassFromMz(s.precursor_mz, s.charge));
        EXPECT_FALSE(s.peaks.empty());
        EXPECT_TRUE(std::is_sorted(s.peaks.begin(), s.peaks.end(), ByMzAscending));
        for (const Peak& p : s.peaks) EXPECT_GT(p.intensity, 0.0);
        EXPECT_EQ(s.file_name, "sim." + std::to_string(k + 1) + "." + std::to_string(k + 1) + "." +
                                   std::to_string(s.charge) + ".dta");
    }
}

// A modified form's precursor lies the modification's mass above the unmodified one of
// the same peptide and charge (within the simulated precursor noise).
TEST(SpectrumSimulator, ModifiedFormsCarryTheModificationMass) {
    const SimulatedSpectra simulated = SimulateSpectra(Options(2000, 11));
    std::map<std::pair<std::string, int>, double> unmodified;
    for (size_t k = 0; k < simulated.spectra.size(); ++k)
        if (simulated.truth[k].modification.empty())
            unmodified[{simulated.truth[k].peptide, simulated.truth[k].charge}] = simulated.spectra[k].precursor_mass;
    int checked = 0;
    std::map<std::string, int> seen;
    for (size_t k = 0; k < simulated.spectra.size(); ++k) {
        const SimulatedTruth& truth = simulated.truth[k];
        if (truth.modification.empty()) continue;
        ++seen[truth.modification];
        const auto base = unmodified.find({truth.peptide, truth.charge});
        if (base == unmodified.end()) continue;
        EXPECT_NEAR(simulated.spectra[k].precursor_mass - base->second, truth.modification_mass, 0.05);
        ++checked;
    }
    EXPECT_GT(checked, 50);
    EXPECT_EQ(seen.size(), 3u);
}

}  // namespace
}  // namespace speclink::cli
