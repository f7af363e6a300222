#include "modification/PreparedPairScorer.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "data/Spectrum.h"
#include "modification/BestWholeShift.h"

namespace speclink {

void PreparedPairScorer::WorkingList::Sort() {
    if (!peaks_->settled) {
        if (!copied_) {
            copy_.assign(peaks_->by_mz.begin(), peaks_->by_mz.end());
            copied_ = true;
        }
        std::sort(copy_.begin(), copy_.end(), ByIntensityDescending);
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
    std::sort(sorted.begin(), sorted.end(), ByIntensityDescending);
    storage = IndexedPeakList(std::move(sorted));
    return storage;
}

double PreparedPairScorer::ComputeScore(double shift) {
    const Similar_Method method = similarity_.similar_method;
    switch (method) {
        case SIMILAR_DOT_PRODUCT:
        case SIMILAR_DOT_PRODUCT_MOD:
        case SIMILAR_DOT_PRODUCT_HALF:
        case SIMILAR_DOT_PRODUCT_X:
        case SIMILAR_BONANZA:
            first_.Sort();
            second_.Sort();
            if (first_.IsRanked() && second_.IsRanked()) {
                return IndexedGreedyScore(similarity_, first_.ranked(), second_.ranked(), shift, scratch_);
            }
            break;
        case SIMILAR_INTENSITY_SCORE:
        case SIMILAR_PEAK_COUNT:
            break;
        default:
            return 0.0;
    }
    return (similarity_.*similarity_.score_table[static_cast<std::size_t>(method)])(first_.Peaks(), second_.Peaks(),
                                                                                    shift);
}

int32_t PreparedPairScorer::FindBestShift(const CSpectrum& a, const CSpectrum& b, double d) {
    return BestWholeShift(a.precursor_mass, b.precursor_mass, first_.SortedCopy(first_sorted_),
                          second_.SortedCopy(second_sorted_), d, scratch_, moved_);
}

}  // namespace speclink
