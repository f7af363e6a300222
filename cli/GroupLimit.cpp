#include "speclink/cli/GroupLimit.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "speclink/cli/CommandErrors.h"
#include "speclink/library/cluster/PrecursorSweep.h"
#include "speclink/library/cluster/SingleLinkage.h"

namespace speclink::cli {

void RequireGroupsWithin(const std::vector<CSpectrum>& spectra, const Settings& settings, std::size_t limit,
                         std::size_t first_position) {
    const std::vector<PrecursorGroup> groups =
        SweepPrecursorGroups(spectra, settings.precursor_ion_tol.value, settings.precursor_ion_tol.unit);
    const auto largest = std::max_element(
        groups.begin(), groups.end(), [](const PrecursorGroup& a, const PrecursorGroup& b) { return a.size < b.size; });
    if (largest == groups.end() || largest->size <= limit) return;
    const CSpectrum& first = spectra[largest->start];
    char mass[64];
    std::snprintf(mass, sizeof mass, "%.4f", first.precursor_mass);
    const double bytes = static_cast<double>(TriangleSize(largest->size) * sizeof(ScaledScore));
    char memory[64];
    std::snprintf(memory, sizeof memory, bytes < 1e9 ? "%.1f MB" : "%.1f GB", bytes < 1e9 ? bytes / 1e6 : bytes / 1e9);
    const size_t pairs = largest->size * (largest->size - 1) / 2;
    throw LimitError("a precursor group of " + std::to_string(largest->size) + " spectra (charge " +
                     std::to_string(first.charge) + ", [M+H]+ from " + mass + " Da, first spectrum '" +
                     first.file_name + "', sweep positions " + std::to_string(first_position + largest->start + 1) + " to " +
                     std::to_string(first_position + largest->start + largest->size) + ") exceeds --max-group-size " +
                     std::to_string(limit) + "; clustering it takes " + std::to_string(pairs) + " scores and " +
                     memory + " for its score triangle. Raise the limit with --max-group-size or narrow " +
                     "--precursor-tol.");
}

}  // namespace speclink::cli
