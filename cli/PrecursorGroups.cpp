#include "speclink/cli/PrecursorGroups.h"

#include <cmath>

namespace speclink::cli {

namespace {

// The engine's test, kept in its form so that NaN distances and zero masses decide alike.
bool JoinsGroup(const CSpectrum& first, const CSpectrum& spectrum, const Tolerance& tolerance) {
    double distance = std::fabs(first.precursor_mass - spectrum.precursor_mass);
    if (tolerance.unit == TOLERANCE_PPM) distance = distance / spectrum.precursor_mass * 1000000.0;
    return distance < tolerance.value && first.charge == spectrum.charge;
}

}  // namespace

PrecursorGroup LargestPrecursorGroup(const std::vector<CSpectrum>& spectra, const Tolerance& tolerance) {
    PrecursorGroup largest;
    PrecursorGroup open;
    for (size_t i = 0; i < spectra.size(); ++i) {
        if (open.size > 0 && JoinsGroup(spectra[open.first], spectra[i], tolerance)) {
            ++open.size;
        } else {
            open = {i, 1};
        }
        if (open.size > largest.size) largest = open;
    }
    return largest;
}

size_t ScoreMatrixBytes(size_t size) { return 2 * size * (size + 1); }

size_t PairCount(size_t size) { return size < 2 ? 0 : size * (size - 1) / 2; }

}  // namespace speclink::cli
