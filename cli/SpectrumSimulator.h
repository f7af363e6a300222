#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "speclink/library/data/Spectrum.h"

namespace speclink::cli {

/// What a simulated spectrum really is.
struct SimulatedTruth {
    int32_t scan = 0;
    std::string peptide;               ///< unmodified sequence
    std::string modification;          ///< "" or a name such as "Oxidation"
    double modification_mass = 0.0;   ///< Da added to the precursor (0 when unmodified)
    int32_t modification_site = -1;    ///< 0-based residue index, -1 when unmodified
    int32_t charge = 0;
};

struct SimulationOptions {
    int32_t spectra = 1000;            ///< number of spectra to make
    uint64_t seed = 1;
    double replicates_mean = 3.0;      ///< mean spectra per peptide form
    double modified_share = 0.25;      ///< share of peptide forms carrying a modification
    double mz_jitter = 0.01;           ///< fragment m/z noise, standard deviation (Th)
    double precursor_ppm = 3.0;        ///< precursor m/z noise, standard deviation (ppm)
    double drop_rate = 0.2;            ///< share of fragment peaks left out
    int32_t noise_peaks = 20;          ///< random peaks added per spectrum
};

struct SimulatedSpectra {
    std::vector<CSpectrum> spectra;    ///< in random acquisition order
    std::vector<SimulatedTruth> truth; ///< one entry per spectrum, same order
};

/// Peptide-like MS/MS spectra with known peptides: b and y fragments of random tryptic
/// peptides, replicate spectra with m/z jitter, dropped and noise peaks, charges 2 and 3,
/// and a share carrying a modification on the precursor and on the fragments that contain
/// the modified residue. The same options and seed always give the same spectra.
SimulatedSpectra SimulateSpectra(const SimulationOptions& options);

}  // namespace speclink::cli
