#include "speclink/library/modification/FragmentIndex.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace speclink {

namespace {

// Whether the ranked list of `prepared`, of a spectrum of precursor mass `mass`, can be held:
// keys below FragmentIndex::kLargest in magnitude, and peak positions that fit the index.
bool Holdable(const PreparedPeaks& prepared, double mass) {
    const IndexedPeakList& ranked = prepared.ranked;
    return prepared.settled && ranked.indexed() && ranked.peaks().size() <= std::numeric_limits<uint16_t>::max() &&
           ranked.smallest_mz() >= 0.0 && ranked.largest_abs_mz() < FragmentIndex::kLargest &&
           std::fabs(mass) < FragmentIndex::kLargest;
}

}  // namespace

FragmentIndex::FragmentIndex(std::span<const CSpectrum> spectra, const PreparedPeakLists& prepared,
                             std::span<const char> needed)
    : prepared_(prepared) {
    spectra_.reserve(spectra.size());
    for (const CSpectrum& spectrum : spectra) spectra_.push_back({spectrum.precursor_mass, spectrum.charge, kAbsent});
    if (spectra.size() >= kAbsent) return;
    uint64_t peaks = 0;
    for (std::size_t k = 0; k < spectra.size(); ++k) {
        if ((needed.empty() || needed[k] != 0) && Holdable(prepared[k], mass(k))) {
            order_.push_back(static_cast<uint32_t>(k));
            peaks += prepared[k].ranked.peaks().size();
        }
    }
    if (peaks >= std::numeric_limits<uint32_t>::max()) {
        order_.clear();
        return;
    }
    std::stable_sort(order_.begin(), order_.end(), [&](uint32_t a, uint32_t b) {
        return charge(a) != charge(b) ? charge(a) < charge(b) : mass(a) < mass(b);
    });
    for (std::size_t p = 0; p < order_.size(); ++p) spectra_[order_[p]].place = static_cast<uint32_t>(p);
    Fill(Key::kMz, by_mz_);
    Fill(Key::kMzLessMass, by_mz_less_mass_);
}

void FragmentIndex::Fill(Key which, Cells& cells) const {
    double lowest = std::numeric_limits<double>::infinity();
    double highest = -lowest;
    for (const uint32_t k : order_) {
        for (const Peak& peak : Peaks(k)) {
            const double key = KeyOf(which, k, peak);
            lowest = std::min(lowest, key);
            highest = std::max(highest, key);
        }
    }
    if (!(lowest <= highest)) return;
    cells.first_cell = static_cast<int64_t>(std::floor(lowest));
    cells.count = static_cast<std::size_t>(static_cast<int64_t>(std::floor(highest)) - cells.first_cell) + 1;
    const auto cell_of = [&](double key) {
        return static_cast<std::size_t>(static_cast<int64_t>(std::floor(key)) - cells.first_cell);
    };

    // Counted, then placed: walking the spectra in order leaves each cell's entries in it.
    cells.start.assign(cells.count + 1, 0);
    for (const uint32_t k : order_) {
        for (const Peak& peak : Peaks(k)) ++cells.start[cell_of(KeyOf(which, k, peak)) + 1];
    }
    for (std::size_t c = 0; c < cells.count; ++c) cells.start[c + 1] += cells.start[c];
    const uint32_t entries = cells.start[cells.count];
    cells.position.resize(entries);
    cells.offset.resize(entries);
    cells.peak.resize(entries);
    cells.value.resize(entries);
    std::vector<uint32_t> next(cells.start.begin(), cells.start.end() - 1);
    for (const uint32_t k : order_) {
        const PeakList& peaks = Peaks(k);
        for (std::size_t l = 0; l < peaks.size(); ++l) {
            const double key = KeyOf(which, k, peaks[l]);
            const std::size_t c = cell_of(key);
            const uint32_t e = next[c]++;
            cells.position[e] = spectra_[k].place;
            // Exact: the key less the whole number below it.
            cells.offset[e] = static_cast<float>(key - static_cast<double>(cells.first_cell + static_cast<int64_t>(c)));
            cells.peak[e] = static_cast<uint16_t>(l);
            cells.value[e] = peaks[l];
        }
    }
}

}  // namespace speclink
