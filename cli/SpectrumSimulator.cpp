#include "speclink/cli/SpectrumSimulator.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <random>
#include <string_view>

#include "speclink/formats/ProtonMass.h"

namespace speclink::cli {

namespace {

constexpr double kWater = 18.0105646837;

// Monoisotopic residue masses; cysteine carries the usual carbamidomethyl group.
double ResidueMass(char residue) {
    switch (residue) {
        case 'G': return 57.02146372;
        case 'A': return 71.03711379;
        case 'S': return 87.03202841;
        case 'P': return 97.05276385;
        case 'V': return 99.06841391;
        case 'T': return 101.0476785;
        case 'C': return 160.0306487;
        case 'L': return 113.0840640;
        case 'I': return 113.0840640;
        case 'N': return 114.0429275;
        case 'D': return 115.0269431;
        case 'Q': return 128.0585775;
        case 'K': return 128.0949630;
        case 'E': return 129.0425931;
        case 'M': return 131.0404846;
        case 'H': return 137.0589119;
        case 'F': return 147.0684139;
        case 'R': return 156.1011110;
        case 'Y': return 163.0633286;
        case 'W': return 186.0793130;
    }
    return 0.0;
}

struct Modification {
    std::string_view name;
    double mass;          ///< Da
    char residue;         ///< residue it sits on; 0 for the peptide N-terminus
};

constexpr std::array<Modification, 3> kModifications = {{
    {"Oxidation", 15.9949146221, 'M'},
    {"Phospho", 79.9663304084, 'S'},
    {"Acetyl", 42.0105646837, 0},
}};

// Residues of a tryptic peptide's body: no K or R, which end it.
constexpr std::string_view kBodyResidues = "GASPVTCLINDQEMHFYW";

// Uniform and normal draws written out here so that a seed gives the same spectra with
// every standard library (the standard distributions are implementation-defined).
class Random {
public:
    explicit Random(uint64_t seed) : engine_(seed) {}
    double Uniform() { return static_cast<double>(engine_() >> 11) * 0x1.0p-53; }
    int Between(int low, int high) { return low + static_cast<int>(Uniform() * (high - low + 1)); }
    double Normal() {
        const double u = 1.0 - Uniform();
        return std::sqrt(-2.0 * std::log(u)) * std::cos(2.0 * std::numbers::pi * Uniform());
    }
    // Geometric count of extra replicates with the given mean.
    int Geometric(double mean) {
        const double p = 1.0 / (1.0 + mean);
        int count = 0;
        while (Uniform() > p && count < 50) ++count;
        return count;
    }
private:
    std::mt19937_64 engine_;
};

double Round(double value, double scale) { return std::round(value * scale) / scale; }

// The value a six-decimal text ("%lf", as in DTA files) of `value` reads back as.
double SixDecimals(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%lf", value);
    return std::strtod(text, nullptr);
}

// A precursor m/z near `mz` whose [M+H]+ survives every format unchanged: written with six
// decimals (DTA) and converted to m/z and back (the other formats store m/z). So the same
// spectra written in any format read back as the same records.
double PortablePrecursorMz(double mz, int32_t charge) {
    double mass = SixDecimals(MassFromMz(mz, charge));
    for (int step = 0; step < 1000; ++step) {
        const double candidate = MzFromMass(mass, charge);
        if (MassFromMz(candidate, charge) == mass) return candidate;
        mass = SixDecimals(mass + 1e-6);
    }
    return mz;
}

// One peptide form (a sequence with or without its modification) and the fragment
// intensity pattern its replicate spectra share.
struct PeptideForm {
    std::string sequence;
    int32_t charge = 2;
    int modification = -1;          ///< index into kModifications, -1 for none
    int32_t site = -1;
    double retention_time = 0.0;    ///< s
    std::vector<double> b_pattern;  ///< relative intensity of b1..b(n-1)
    std::vector<double> y_pattern;  ///< relative intensity of y1..y(n-1)
};

double ModificationAt(const PeptideForm& form, size_t residue) {
    return form.modification >= 0 && static_cast<int32_t>(residue) == form.site ? kModifications[form.modification].mass
                                                                                : 0.0;
}

CSpectrum MakeSpectrum(const PeptideForm& form, const SimulationOptions& options, Random& random) {
    const size_t length = form.sequence.size();
    std::vector<double> prefix(length + 1, 0.0);  // residue masses of the first k residues
    for (size_t k = 0; k < length; ++k)
        prefix[k + 1] = prefix[k] + ResidueMass(form.sequence[k]) + ModificationAt(form, k);
    const double neutral = prefix[length] + kWater;

    CSpectrum spectrum;
    spectrum.charge = form.charge;
    const double mz = (neutral + form.charge * kProtonMass) / form.charge;
    spectrum.precursor_mz =
        PortablePrecursorMz(mz * (1.0 + options.precursor_ppm * 1e-6 * random.Normal()), form.charge);
    spectrum.precursor_mass = MassFromMz(spectrum.precursor_mz, form.charge);
    spectrum.retention_time = Round(form.retention_time + 5.0 * random.Normal(), 100.0);
    spectrum.peptide = form.sequence;

    const double scale = 1000.0 + 9000.0 * random.Uniform();
    auto add = [&](double fragment_mz, double relative) {
        if (random.Uniform() < options.drop_rate) return;
        const double noisy = fragment_mz + options.mz_jitter * random.Normal();
        const double intensity = scale * relative * (0.8 + 0.4 * random.Uniform());
        spectrum.peaks.push_back({Round(noisy, 1e4), Round(intensity, 100.0)});
    };
    for (size_t k = 1; k < length; ++k) {
        const double b = prefix[k] + kProtonMass;
        const double y = prefix[length] - prefix[length - k] + kWater + kProtonMass;
        add(b, form.b_pattern[k - 1]);
        add(y, form.y_pattern[k - 1]);
        if (form.charge >= 3 && k >= 4) add((y + kProtonMass) / 2.0, 0.4 * form.y_pattern[k - 1]);
    }
    const double top = spectrum.precursor_mass;
    for (int32_t n = 0; n < options.noise_peaks; ++n)
        spectrum.peaks.push_back({Round(100.0 + (top - 100.0) * random.Uniform(), 1e4),
                                  Round(scale * 0.05 * random.Uniform() + 1.0, 100.0)});
    SortByMzAscending(spectrum.peaks);
    return spectrum;
}

PeptideForm RandomPeptide(Random& random) {
    PeptideForm form;
    const int length = random.Between(7, 18);
    for (int k = 0; k + 1 < length; ++k)
        form.sequence += kBodyResidues[static_cast<size_t>(random.Between(0, kBodyResidues.size() - 1))];
    form.sequence += random.Uniform() < 0.5 ? 'K' : 'R';
    form.charge = random.Uniform() < 0.65 ? 2 : 3;
    form.retention_time = 300.0 + 3000.0 * random.Uniform();
    for (int k = 1; k < length; ++k) {
        form.b_pattern.push_back(0.05 + 0.5 * random.Uniform());
        form.y_pattern.push_back(0.2 + 0.8 * random.Uniform());
    }
    return form;
}

// The same peptide carrying a modification; a residue is replaced where the sequence
// has no site for it, in both forms, so the pair differs only by the modification.
PeptideForm Modify(PeptideForm& unmodified, Random& random) {
    PeptideForm form = unmodified;
    form.modification = random.Between(0, kModifications.size() - 1);
    const char residue = kModifications[form.modification].residue;
    if (residue == 0) {
        form.site = 0;
    } else {
        const size_t found = form.sequence.find(residue);
        if (found == std::string::npos || found + 1 == form.sequence.size()) {
            const size_t site = static_cast<size_t>(random.Between(0, static_cast<int>(form.sequence.size()) - 2));
            unmodified.sequence[site] = residue;
            form.sequence[site] = residue;
            form.site = static_cast<int32_t>(site);
        } else {
            form.site = static_cast<int32_t>(found);
        }
    }
    form.retention_time += 60.0 * random.Normal();
    return form;
}

}  // namespace

SimulatedSpectra SimulateSpectra(const SimulationOptions& options) {
    Random random(options.seed);
    struct Made {
        CSpectrum spectrum;
        SimulatedTruth truth;
    };
    std::vector<Made> made;
    made.reserve(static_cast<size_t>(std::max(options.spectra, 0)));
    auto emit = [&](const PeptideForm& form) {
        const int copies = 1 + random.Geometric(options.replicates_mean - 1.0);
        for (int c = 0; c < copies && static_cast<int32_t>(made.size()) < options.spectra; ++c) {
            SimulatedTruth truth;
            truth.peptide = form.sequence;
            truth.charge = form.charge;
            if (form.modification >= 0) {
                truth.modification = kModifications[form.modification].name;
                truth.modification_mass = kModifications[form.modification].mass;
                truth.modification_site = form.site;
            }
            made.push_back({MakeSpectrum(form, options, random), std::move(truth)});
        }
    };
    while (static_cast<int32_t>(made.size()) < options.spectra) {
        PeptideForm peptide = RandomPeptide(random);
        if (random.Uniform() < options.modified_share) {
            const PeptideForm modified = Modify(peptide, random);
            emit(peptide);
            emit(modified);
        } else {
            emit(peptide);
        }
    }

    // Acquisition order mixes the peptides (Fisher-Yates with our own draws).
    for (size_t k = made.size(); k > 1; --k)
        std::swap(made[k - 1], made[static_cast<size_t>(random.Between(0, static_cast<int>(k) - 1))]);
    SimulatedSpectra result;
    for (size_t k = 0; k < made.size(); ++k) {
        Made& entry = made[k];
        const int32_t scan = static_cast<int32_t>(k + 1);
        entry.spectrum.scan = scan;
        entry.spectrum.title = "sim." + std::to_string(scan) + "." + std::to_string(scan) + "." +
                               std::to_string(entry.spectrum.charge);
        entry.spectrum.file_name = entry.spectrum.title + ".dta";
        entry.truth.scan = scan;
        result.spectra.push_back(std::move(entry.spectrum));
        result.truth.push_back(std::move(entry.truth));
    }
    return result;
}

}  // namespace speclink::cli
