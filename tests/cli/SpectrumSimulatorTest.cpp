// The simulator's spectra: the same for a seed, well formed, and each modified form the
// modification's mass above its unmodified form.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "speclink/cli/SpectrumSimulator.h"
#include "speclink/formats/ProtonMass.h"

namespace speclink::cli {
namespace {

SimulatedSpectra Simulate(int spectra, uint64_t seed) {
    SimulationOptions options;
    options.spectra = spectra;
    options.seed = seed;
    return SimulateSpectra(options);
}

TEST(SpectrumSimulator, SeededWellFormedAndModifiedByTheModificationMass) {
    const SimulatedSpectra simulated = Simulate(2000, 11);
    EXPECT_EQ(Simulate(2000, 11).spectra.back().peaks, simulated.spectra.back().peaks);
    EXPECT_NE(Simulate(2000, 12).spectra.back().peaks, simulated.spectra.back().peaks);
    ASSERT_EQ(simulated.truth.size(), simulated.spectra.size());
    std::map<std::pair<std::string, int>, double> unmodified;
    for (size_t k = 0; k < simulated.spectra.size(); ++k) {
        const CSpectrum& s = simulated.spectra[k];
        ASSERT_EQ(s.file_name, "sim." + std::to_string(k + 1) + "." + std::to_string(k + 1) + "." +
                                   std::to_string(s.charge) + ".dta");
        ASSERT_EQ(s.precursor_mass, MassFromMz(s.precursor_mz, s.charge));
        ASSERT_TRUE(!s.peaks.empty() && std::is_sorted(s.peaks.begin(), s.peaks.end(), ByMzAscending));
        if (simulated.truth[k].modification.empty()) unmodified[{simulated.truth[k].peptide, s.charge}] = s.precursor_mass;
    }
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
