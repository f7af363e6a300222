#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "speclink/library/data/Spectrum.h"
#include "speclink/library/peaks/PeakList.h"
#include "speclink/library/scoring/PreparedPeakLists.h"

namespace speclink {

/// The fragment peaks of a list of spectra, so that the peaks of a spectrum's partners that
/// lie near its own peaks are found peak by peak rather than pair by pair: most pairs of
/// spectra share only a few such peaks, while a pass over a partner's peaks costs as many
/// looks as it has peaks.
///
/// Each peak is kept under two keys: its m/z, and its m/z less its spectrum's precursor mass,
/// under which a partner's peak shifted by the difference of the two precursor masses meets
/// the spectrum's own peak. Under each key the peaks lie in unit cells of the key, and within
/// a cell by the spectra's charge, then precursor mass: the peaks of the spectra of one
/// charge within a range of mass, such as a row's partners, are one run of each cell.
///
/// Holds the spectra whose prepared ranked list is settled and indexed, with every m/z from 0
/// to below kLargest and a precursor mass below kLargest in magnitude; there a key is known
/// to within kKeyError.
class FragmentIndex {
public:
    enum class Key { kMz, kMzLessMass };

    static constexpr double kLargest = 1 << 20;
    /// What a key may be off by: float offsets within a cell of keys below kLargest, and the
    /// rounding of an m/z less a mass, are far below it.
    static constexpr double kKeyError = 1e-6;

    /// Indexes the ranked lists in `prepared` of those of `spectra` for which `needed` is
    /// empty or not 0. `prepared` must outlive the index.
    FragmentIndex(std::span<const CSpectrum> spectra, const PreparedPeakLists& prepared, std::span<const char> needed);

    /// Whether spectrum k's peaks are held.
    bool Holds(std::size_t k) const { return spectra_[k].place != kAbsent; }
    /// The place of a held spectrum k among the held spectra by charge, then mass.
    uint32_t PositionOf(std::size_t k) const { return spectra_[k].place; }
    /// How many spectra are held.
    std::size_t size() const { return order_.size(); }
    /// The charge of spectrum k.
    int32_t charge(std::size_t k) const { return spectra_[k].charge; }
    /// The precursor mass of spectrum k.
    double mass(std::size_t k) const { return spectra_[k].mass; }
    /// The peaks of a held spectrum k, in the order whose positions ForEachNear gives.
    const PeakList& Peaks(std::size_t k) const { return prepared_[k].ranked.peaks(); }

    /// Calls found(p, l, peak) for each peak l of the held spectrum at each place p from
    /// `first` to before `end` (PositionOf) whose key lies within `reach` of `key`; and
    /// perhaps for some peaks up to 2 * kKeyError further. Cell by cell, and within a cell p
    /// ascending.
    template <typename Found>
    void ForEachNear(Key which, double key, double reach, uint32_t first, uint32_t end, Found&& found) const {
        const Cells& cells = which == Key::kMz ? by_mz_ : by_mz_less_mass_;
        if (cells.count == 0 || first >= end) return;
        const double low = key - reach - kKeyError;
        const double high = key + reach + kKeyError;
        const double origin = static_cast<double>(cells.first_cell);
        if (!(high >= origin && low < origin + static_cast<double>(cells.count))) return;
        const auto first_cell = static_cast<std::size_t>(std::max(std::floor(low) - origin, 0.0));
        const auto last_cell = std::min(static_cast<std::size_t>(std::floor(high) - origin), cells.count - 1);
        for (std::size_t c = first_cell; c <= last_cell; ++c) {
            const double base = origin + static_cast<double>(c);
            const double from = low - base;
            const double to = high - base;
            const uint32_t* const position = cells.position.data();
            const uint32_t* const cell_end = position + cells.start[c + 1];
            for (const uint32_t* s = std::lower_bound(position + cells.start[c], cell_end, first);
                 s < cell_end && *s < end; ++s) {
                const auto e = static_cast<std::size_t>(s - position);
                const auto offset = static_cast<double>(cells.offset[e]);
                if (from <= offset && offset <= to) found(*s, cells.peak[e], cells.value[e]);
            }
        }
    }

private:
    static constexpr uint32_t kAbsent = UINT32_MAX;

    /// The peaks under one key: cell c, the keys from first_cell + c on, holds entries
    /// start[c] to start[c + 1], each the spectrum's place (PositionOf), the key less the
    /// cell's start, the peak's position in its list, and the peak itself: a row reads its
    /// partners' peaks from the runs it walks here rather than from lists all over memory.
    struct Cells {
        int64_t first_cell = 0;
        std::size_t count = 0;
        std::vector<uint32_t> start;
        std::vector<uint32_t> position;
        std::vector<float> offset;
        std::vector<uint16_t> peak;
        std::vector<Peak> value;
    };

    void Fill(Key which, Cells& cells) const;
    double KeyOf(Key which, std::size_t k, const Peak& peak) const {
        return which == Key::kMz ? peak.mz : peak.mz - mass(k);
    }

    // What a row asks of each partner, at hand in one entry per list position.
    struct Spectrum {
        double mass;
        int32_t charge;
        uint32_t place;  // in order_, or kAbsent
    };

    std::vector<Spectrum> spectra_;
    const PreparedPeakLists& prepared_;
    std::vector<uint32_t> order_;  // list positions of the held spectra, by charge, then mass
    Cells by_mz_;
    Cells by_mz_less_mass_;
};

}  // namespace speclink
