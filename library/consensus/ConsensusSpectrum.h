#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "speclink/library/data/Spectrum.h"
#include "speclink/library/peaks/PeakList.h"

namespace speclink {

/// The consensus spectrum of a cluster of two or more spectra, as the consensus step
/// writes it.
struct ConsensusSpectrum {
    /// The median of the members' precursor masses, the upper middle one for an even
    /// count ([M+H]+, Da).
    double precursor_mass = 0.0;
    /// The charge of the cluster's first member.
    int32_t charge = 0;
    /// The members' peaks pooled, merged within 0.4 m/z, then the ten most intense of each
    /// 100 m/z window, in ascending m/z.
    PeakList peaks;
};

/// The consensus spectrum of the cluster whose members, in chain order, are `members`
/// (positions in `spectra`).
ConsensusSpectrum MakeConsensusSpectrum(const std::vector<CSpectrum>& spectra, std::span<const int32_t> members);

/// The consensus peaks of pooled peaks in ascending m/z: merged within 0.4 m/z, then the
/// ten most intense of each 100 m/z window kept, in ascending m/z.
PeakList ConsensusPeaks(const PeakList& pooled);

/// The file name of the cluster's consensus spectrum: the scan labels of its first, middle
/// and last member joined by "-", then ".dta".
std::string ConsensusFileName(const std::vector<CSpectrum>& spectra, std::span<const int32_t> members);

}  // namespace speclink
