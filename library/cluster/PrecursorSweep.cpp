#include "speclink/library/cluster/PrecursorSweep.h"

#include <cmath>

namespace speclink {

std::vector<PrecursorGroup> SweepPrecursorGroups(const std::vector<CSpectrum>& spectra, double tolerance,
                                                 Tolerance_Type unit) {
    std::vector<PrecursorGroup> groups;
    PrecursorGroup open;
    for (std::size_t i = 0; i < spectra.size(); ++i) {
        if (open.size == 0) {
            open = {i, 1, false};
            continue;
        }
        const CSpectrum& first = spectra[open.start];
        const CSpectrum& current = spectra[i];
        double distance = std::fabs(first.precursor_mass - current.precursor_mass);
        if (unit == TOLERANCE_PPM) distance = distance / current.precursor_mass * 1000000.0;
        if (distance < tolerance && first.charge == current.charge) {
            ++open.size;
            continue;
        }
        open.clustered = open.size >= 2;
        groups.push_back(open);
        open = {i, 1, false};
    }
    open.clustered = true;
    groups.push_back(open);
    return groups;
}

}  // namespace speclink
