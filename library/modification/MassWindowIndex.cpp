#include "speclink/library/modification/MassWindowIndex.h"

#include <algorithm>
#include <cmath>

namespace speclink {

namespace {

// Widening of a lookup window relative to the masses involved; the rounding of a mass
// difference is some 1e-16 of them.
constexpr double kSlack = 1e-9;

}  // namespace

MassWindowIndex::MassWindowIndex(const std::vector<CSpectrum>& spectra, double lowest, double highest)
    : lowest_(lowest), highest_(highest) {
    spectrum_mass_.reserve(spectra.size());
    for (const CSpectrum& spectrum : spectra) spectrum_mass_.push_back(spectrum.precursor_mass);
    for (std::size_t k = 0; k < spectra.size(); ++k) {
        if (std::isfinite(spectrum_mass_[k])) positions_.push_back(k);
    }
    std::stable_sort(positions_.begin(), positions_.end(),
                     [this](std::size_t a, std::size_t b) { return spectrum_mass_[a] < spectrum_mass_[b]; });
    sorted_mass_.reserve(positions_.size());
    for (const std::size_t k : positions_) sorted_mass_.push_back(spectrum_mass_[k]);
}

int MassWindowIndex::RangesOf(std::size_t i, Range* ranges) const {
    const double mass = spectrum_mass_[i];
    if (!std::isfinite(mass) || !(highest_ >= 0.0) || !(lowest_ <= highest_)) return 0;
    const double slack = kSlack * (std::fabs(mass) + highest_ + 1.0);
    const auto range = [this](double low, double high) {
        const auto begin = std::lower_bound(sorted_mass_.begin(), sorted_mass_.end(), low);
        const auto end = std::upper_bound(begin, sorted_mass_.end(), high);
        return Range{static_cast<std::size_t>(begin - sorted_mass_.begin()),
                     static_cast<std::size_t>(end - sorted_mass_.begin())};
    };
    if (lowest_ <= 0.0) {
        // Every difference up to `highest` counts, on either side.
        ranges[0] = range(mass - highest_ - slack, mass + highest_ + slack);
        return 1;
    }
    ranges[0] = range(mass - highest_ - slack, mass - lowest_ + slack);
    ranges[1] = range(mass + lowest_ - slack, mass + highest_ + slack);
    return 2;
}

}  // namespace speclink
