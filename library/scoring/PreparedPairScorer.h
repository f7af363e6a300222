#pragma once

#include <cstdint>

#include "speclink/library/scoring/PreparedPeakLists.h"
#include "speclink/library/scoring/IndexedGreedyScore.h"
#include "speclink/library/scoring/IndexedPeakList.h"
#include "speclink/library/scoring/MzCellTable.h"
#include "speclink/library/scoring/Similarity.h"

namespace speclink {

/// One thread's scorer of pairs of prepared spectra: its own copy of the caller's
/// CSimilarity, and two working lists that behave as the plain engine's working copies do
/// from one ComputeScore call to the next (in m/z order until the first sort, then in
/// whatever order the sorts left them), without copying or sorting a list whose sorted
/// order is settled.
class PreparedPairScorer {
public:
    explicit PreparedPairScorer(const CSimilarity& similarity) : similarity_(similarity) {}

    /// The scorer whose fields ComputeScore reads; the engines rewrite them between calls.
    CSimilarity& similarity() { return similarity_; }

    /// A fresh working copy of `peaks` as the first, or the second, list.
    void SetFirst(const PreparedPeaks& peaks) {
        first_.Reset(peaks);
        first_table_built_ = false;
        first_uses_ = 0;
    }
    /// `found`, when given, holds the peak pairs of the two ranked lists found beforehand,
    /// which ComputeScore takes where they serve; it must outlive the pair's scoring.
    void SetSecond(const PreparedPeaks& peaks, const FoundPeakPairs* found = nullptr) {
        second_.Reset(peaks);
        found_ = found;
    }

    /// similarity().ComputeScore(first working list, second working list, shift), with its
    /// effect on the two working lists.
    double ComputeScore(double shift);

    /// CModificationCluster::FindBestShift(a, b, first working list, second working list, d)
    /// for spectra a and b of precursor masses `mass_a` and `mass_b`.
    int32_t FindBestShift(double mass_a, double mass_b, double d);

private:
    /// The cell table of the first spectrum's ranked list once the list has served a few
    /// pairs (a table costs about as much as scoring a few pairs without one), else null.
    const MzCellTable* FirstTable();

    /// A working copy of prepared peaks.
    class WorkingList {
    public:
        void Reset(const PreparedPeaks& peaks) {
            peaks_ = &peaks;
            sorted_ = false;
            copied_ = false;
        }
        /// What ComputeScore's sort by descending intensity does to the copy.
        void Sort();
        /// The copy is the prepared ranked list, so ranked() may stand for it.
        bool IsRanked() const { return sorted_ && peaks_->settled; }
        const IndexedPeakList& ranked() const { return peaks_->ranked; }
        /// The copy's peaks in their present order.
        const PeakList& Peaks() const;
        /// What sorting another copy of the copy gives, indexed: the ranked list when it is
        /// settled, else made in `storage`.
        const IndexedPeakList& SortedCopy(IndexedPeakList& storage) const;

    private:
        const PreparedPeaks* peaks_ = nullptr;
        bool sorted_ = false;
        bool copied_ = false;
        PeakList copy_;  // only for lists that are not settled, once sorted
    };

    CSimilarity similarity_;
    WorkingList first_;
    WorkingList second_;
    const FoundPeakPairs* found_ = nullptr;
    GreedyScratch scratch_;
    MzCellTable first_table_;
    bool first_table_built_ = false;
    int first_uses_ = 0;
    IndexedPeakList moved_;
    IndexedPeakList first_sorted_;
    IndexedPeakList second_sorted_;
};

}  // namespace speclink
