#include "speclink/library/consensus/ConsensusSpectrum.h"

#include <algorithm>

#include "speclink/library/consensus/RepresentativeSpectra.h"
#include "speclink/library/peaks/PeakSelect.h"

namespace speclink {

namespace {

// The pooled peaks of the members, in ascending m/z.
PeakList PooledPeaks(const std::vector<CSpectrum>& spectra, std::span<const int32_t> members) {
    PeakList pooled;
    for (const int32_t member : members) {
        const PeakList& peaks = spectra[member].peaks;
        pooled.insert(pooled.end(), peaks.begin(), peaks.end());
    }
    SortByMzAscending(pooled);
    return pooled;
}

}  // namespace


ConsensusSpectrum MakeConsensusSpectrum(const std::vector<CSpectrum>& spectra, std::span<const int32_t> members) {
    std::vector<double> masses;
    masses.reserve(members.size());
    for (const int32_t member : members) masses.push_back(spectra[member].precursor_mass);
    std::sort(masses.begin(), masses.end());
    return {masses[masses.size() / 2], spectra[members.front()].charge, ConsensusPeaks(PooledPeaks(spectra, members))};
}

PeakList ConsensusPeaks(const PeakList& pooled) {
    PeakList consensus = CRepresentativeSpectra::MergeConsensusPeaks(pooled);
    const CPeakSelect window_top(PEAK_SELECT_PART_TOP, 0, 10, 100);
    window_top.SelectPeak(consensus);
    return consensus;
}

std::string ConsensusFileName(const std::vector<CSpectrum>& spectra, std::span<const int32_t> members) {
    const auto label = [&](int32_t member) { return CRepresentativeSpectra::ExtractScanLabel(spectra[member].file_name); };
    return label(members.front()) + "-" + label(members[members.size() / 2]) + "-" + label(members.back()) + ".dta";
}

}  // namespace speclink
