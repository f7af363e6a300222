#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "speclink/library/data/Spectrum.h"

namespace speclink {

/// The spectra of a list ordered by precursor mass, to find the possible partners of a
/// spectrum, those whose mass differs from its own by lowest to highest Da, by binary
/// search instead of examining the whole list.
///
/// The lookup windows are wider than the mass window by far more than the rounding of the
/// difference, so that they hold every partner: the caller applies its exact test to each
/// candidate. Spectra with a NaN or infinite mass are left out: their difference to any
/// mass is NaN or infinite and never lies within a window.
class MassWindowIndex {
public:
    MassWindowIndex(const std::vector<CSpectrum>& spectra, double lowest, double highest);

    /// One bit per spectrum, all clear between calls: a thread's working storage for
    /// ForEachLaterCandidate.
    std::vector<uint64_t> NewMarks() const { return std::vector<uint64_t>((spectrum_mass_.size() + 63) / 64, 0); }

    /// Calls visit(j) for each candidate j > i, j ascending.
    template <typename Visit>
    void ForEachLaterCandidate(std::size_t i, std::vector<uint64_t>& marks, Visit&& visit) const {
        Range ranges[2];
        const int count = RangesOf(i, ranges);
        std::size_t low_word = marks.size();
        std::size_t high_word = 0;
        for (int r = 0; r < count; ++r) {
            for (std::size_t p = ranges[r].begin; p < ranges[r].end; ++p) {
                const std::size_t j = positions_[p];
                if (j <= i) continue;
                marks[j / 64] |= uint64_t{1} << (j % 64);
                low_word = std::min(low_word, j / 64);
                high_word = std::max(high_word, j / 64);
            }
        }
        for (std::size_t w = low_word; w <= high_word && w < marks.size(); ++w) {
            while (marks[w] != 0) {
                const auto bit = static_cast<std::size_t>(std::countr_zero(marks[w]));
                marks[w] &= marks[w] - 1;
                visit(w * 64 + bit);
            }
        }
    }

    /// True when accept(j) holds for some candidate j other than i, tried in mass order.
    template <typename Accept>
    bool AnyCandidate(std::size_t i, Accept&& accept) const {
        Range ranges[2];
        const int count = RangesOf(i, ranges);
        for (int r = 0; r < count; ++r) {
            for (std::size_t p = ranges[r].begin; p < ranges[r].end; ++p) {
                if (positions_[p] != i && accept(positions_[p])) return true;
            }
        }
        return false;
    }

private:
    /// Positions in mass order, end excluded.
    struct Range {
        std::size_t begin;
        std::size_t end;
    };

    /// The ranges of mass order holding the candidates of spectrum i: none, one, or one
    /// below and one above its mass.
    int RangesOf(std::size_t i, Range* ranges) const;

    std::vector<double> spectrum_mass_;  // by position in the list
    std::vector<double> sorted_mass_;    // ascending
    std::vector<std::size_t> positions_;  // list positions, in the order of sorted_mass_
    double lowest_;
    double highest_;
};

}  // namespace speclink
