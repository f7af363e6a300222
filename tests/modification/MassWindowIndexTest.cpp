// MassWindowIndex against the examination of every pair: its candidates, in ascending
// order, hold every partner within the mass window as the engine tests it.
#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include "speclink/library/modification/MassWindowIndex.h"
#include "speclink/tests/support/TestSupport.h"

namespace speclink {
namespace {

// Masses near a few values at the window bounds from one another, light ones (whose
// differences round), equal ones, and now and then NaN or infinity.
rc::Gen<double> Mass() {
    return rc::gen::oneOf(
        rc::gen::apply([](double base, double offset) { return base + offset; },
                       rc::gen::element(1000.0, 1000.1, 0.1, 1.0 / 3.0, 2.9, 1500.25),
                       rc::gen::element(0.0, 6.0, -6.0, 200.0, -200.0, 5.999, 200.001, 6.1, 0.5, 16.0)),
        rc::gen::element(std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                         -std::numeric_limits<double>::infinity(), 1e300, -1e300));
}

bool InWindow(double mass_i, double mass_j, double lowest, double highest) {
    const double distance = std::fabs(mass_i - mass_j);
    return lowest <= distance && distance <= highest;
}

RC_GTEST_PROP(MassWindowIndex, CandidatesHoldEveryPartnerInOrder, ()) {
    const auto masses = *rc::gen::container<std::vector<double>>(Mass());
    const std::vector<std::pair<double, double>> windows = {{6.0, 200.0}, {0.0, 50.0}, {-5.0, 10.0}, {10.0, 5.0},
                                                             {3.0, 3.0},  {0.5, 0.5},  {-3.0, -1.0}};
    const auto window = *rc::gen::elementOf(windows);
    std::vector<CSpectrum> spectra;
    for (const double mass : masses) spectra.push_back(test::Spectrum().Mass(mass));
    const MassWindowIndex index(spectra, window.first, window.second);
    std::vector<uint64_t> marks = index.NewMarks();
    for (std::size_t i = 0; i < spectra.size(); ++i) {
        std::vector<std::size_t> candidates;
        index.ForEachLaterCandidate(i, marks, [&](std::size_t j) { candidates.push_back(j); });
        for (std::size_t c = 0; c < candidates.size(); ++c) {
            RC_ASSERT(candidates[c] > i);
            if (c > 0) RC_ASSERT(candidates[c - 1] < candidates[c]);
        }
        bool any_partner = false;
        for (std::size_t j = 0; j < spectra.size(); ++j) {
            if (j == i || !InWindow(masses[i], masses[j], window.first, window.second)) continue;
            any_partner = true;
            if (j > i) RC_ASSERT(std::find(candidates.begin(), candidates.end(), j) != candidates.end());
        }
        const bool found = index.AnyCandidate(
            i, [&](std::size_t j) { return InWindow(masses[i], masses[j], window.first, window.second); });
        RC_ASSERT(found == any_partner);
    }
    // The marks are left clear for the next row.
    for (const uint64_t word : marks) RC_ASSERT(word == 0u);
}

}  // namespace
}  // namespace speclink
