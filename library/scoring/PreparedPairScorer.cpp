#include "speclink/library/scoring/PreparedPairScorer.h"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <utility>

#include "speclink/library/scoring/BestWholeShift.h"

namespace speclink {

namespace {

// Pairs a first list serves before its cell table is built.
constexpr int kUsesBeforeTable = 8;

// How far to each side of its centre a lookup window into `first` reaches, at most, for
// the table's screen to serve it: the fragment tolerance in m/z (in ppm, relative to a
// second list up to twice as heavy as the first) and the lookups' own slack. Wider
// windows are simply not screened.
double ScreenReach(const CSimilarity& similarity, const IndexedPeakList& first) {
    const double t = similarity.fragment_ion_tol;
    const bool in_mz = similarity.similar_method == SIMILAR_BONANZA || similarity.fragment_ion_tol_type == TOLERANCE_DA;
    return (in_mz ? t : t * 1e-6 * 2.0 * first.largest_abs_mz()) + 0.01;
}

}  // namespace

void PreparedPairScorer::WorkingList::Sort() {
    if (!peaks_->settled) {
        if (!copied_) {
            copy_.assign(peaks_->by_mz.begin(), peaks_->by_mz.end());
            copied_ = true;
        }
        SortByIntensityDescending(copy_);
    }
    sorted_ = true;
}

const PeakList& PreparedPairScorer::WorkingList::Peaks() const {
    if (copied_) return copy_;
    return sorted_ ? peaks_->ranked.peaks() : peaks_->by_mz;
}

const IndexedPeakList& PreparedPairScorer::WorkingList::SortedCopy(IndexedPeakList& storage) const {
    if (peaks_->settled) return peaks_->ranked;
    PeakList sorted = Peaks();
    SortByIntensityDescending(sorted);
    storage = IndexedPeakList(std::move(sorted));
    return storage;
}

double PreparedPairScorer::ComputeScore(double shift) {
    const Similar_Method method = similarity_.similar_method;
    if (method < SIMILAR_INTENSITY_SCORE || method > SIMILAR_BONANZA) return 0.0;
    if (SortsByIntensity(method)) {
        first_.Sort();
        second_.Sort();
        if (first_.IsRanked() && second_.IsRanked()) {
            if (found_ != nullptr) {
                const std::optional<double> score =
                    FoundGreedyScore(similarity_, first_.ranked(), second_.ranked(), shift, *found_, scratch_);
                if (score) return *score;
            }
            return IndexedGreedyScore(similarity_, first_.ranked(), second_.ranked(), shift, scratch_, FirstTable());
        }
    }
    return (similarity_.*similarity_.score_table[static_cast<std::size_t>(method)])(first_.Peaks(), second_.Peaks(),
                                                                                    shift);
}

const MzCellTable* PreparedPairScorer::FirstTable() {
    if (!first_table_built_) {
        if (++first_uses_ < kUsesBeforeTable) return nullptr;
        // A screen only where the scoring passes over the second list against it.
        const bool screened = PassesOverSecondList(similarity_.similar_method);
        first_table_.Build(first_.ranked(), screened ? ScreenReach(similarity_, first_.ranked()) : 0.0);
        first_table_built_ = true;
    }
    return &first_table_;
}

int32_t PreparedPairScorer::FindBestShift(double mass_a, double mass_b, double d) {
    const IndexedPeakList& a_sorted = first_.SortedCopy(first_sorted_);
    // The table serves only when the sorted copy is the ranked list itself.
    const MzCellTable* a_table = &a_sorted == &first_.ranked() ? FirstTable() : nullptr;
    return BestWholeShift(mass_a, mass_b, a_sorted, second_.SortedCopy(second_sorted_), d,
                          scratch_, moved_, a_table);
}

}  // namespace speclink
