#include "speclink/library/cluster/PairScorer.h"

#include <algorithm>
#include <cstring>

#include "speclink/library/peaks/PeakSelect.h"
#include "speclink/library/peaks/SqrtNormalize.h"

namespace speclink {

namespace {

bool StrictlyDescending(const PeakList& peaks) {
    for (std::size_t k = 1; k < peaks.size(); ++k) {
        if (!(peaks[k - 1].intensity > peaks[k].intensity)) return false;
    }
    return true;
}

bool SameBits(const PeakList& a, const PeakList& b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(Peak)) == 0);
}

}  // namespace

PairScorer::Scratch::Scratch(const CSimilarity* settings) {
    if (settings != nullptr) similarity.emplace(*settings);
}

PairScorer::PairScorer(std::span<const CSpectrum> members, const CSimilarity* similarity,
                       const CPeakSelect* peak_select)
    : members_(members),
      has_scorer_(similarity != nullptr),
      prepared_dot_product_(similarity != nullptr && similarity->similar_method == SIMILAR_DOT_PRODUCT &&
                            similarity->fragment_ion_tol_type == TOLERANCE_DA &&
                            similarity->score_table[SIMILAR_DOT_PRODUCT] == &CSimilarity::DotProduct) {
    if (prepared_dot_product_) tolerance_ = similarity->fragment_ion_tol;
    prepared_.reserve(members.size());
    for (const CSpectrum& member : members) {
        Member& prepared = prepared_.emplace_back();
        prepared.by_mz = member.peaks;
        if (peak_select != nullptr) peak_select->SelectPeak(prepared.by_mz);
        SqrtNormalize(prepared.by_mz);
        if (!prepared_dot_product_) continue;
        // The same sort that ComputeScore applies to a fresh copy.
        PeakList by_intensity = prepared.by_mz;
        std::sort(by_intensity.begin(), by_intensity.end(), ByIntensityDescending);
        prepared.sorts_alike = StrictlyDescending(by_intensity);
        prepared.by_intensity = DotProductPeaks(std::move(by_intensity), tolerance_);
        if (prepared.sorts_alike) PeakList().swap(prepared.by_mz);
    }
}

void PairScorer::ScoreRows(std::size_t begin, std::size_t end, ScoreTriangle& scores, Scratch& scratch) const {
    for (std::size_t i = begin; i < end; ++i) {
        if (prepared_dot_product_) {
            ScoreRowByDotProduct(i, scores, scratch);
        } else {
            ScoreRowByScorer(i, scores, scratch);
        }
    }
}

void PairScorer::ScoreRowByDotProduct(std::size_t i, ScoreTriangle& scores, Scratch& scratch) const {
    const Member& member = prepared_[i];
    if (i + 1 >= prepared_.size()) return;
    // A list with equal intensities may come out of every further sort in another order,
    // which can change later matches: such a list is sorted again before each pair, from
    // the prepared list on, exactly as the plain loop sorts its one copy.
    if (member.sorts_alike) {
        scratch.first_index.Build(member.by_intensity);
        scratch.index_of_state = false;
    } else {
        scratch.first_state = member.by_mz;
    }
    for (std::size_t j = i + 1; j < prepared_.size(); ++j) {
        if (members_[i].charge != members_[j].charge) continue;
        if (!member.sorts_alike) {
            std::sort(scratch.first_state.begin(), scratch.first_state.end(), ByIntensityDescending);
            if (!scratch.index_of_state || !SameBits(scratch.first_state, scratch.first_peaks.peaks())) {
                scratch.first_peaks = DotProductPeaks(scratch.first_state, tolerance_);
                scratch.first_index.Build(scratch.first_peaks);
                scratch.index_of_state = true;
            }
        }
        const double score = PreparedDotProduct(scratch.first_index, prepared_[j].by_intensity, scratch.taken);
        scores[PackedIndex(j, i)] = ScaleScore(score);
    }
}

void PairScorer::ScoreRowByScorer(std::size_t i, ScoreTriangle& scores, Scratch& scratch) const {
    // The first list is reused for all of member i's pairs, in the order that the previous
    // score left it; the second is a fresh copy every time.
    PeakList first = prepared_[i].by_mz;
    for (std::size_t j = i + 1; j < prepared_.size(); ++j) {
        if (members_[i].charge != members_[j].charge) continue;
        double score = 0.0;
        if (has_scorer_) {
            PeakList second = prepared_[j].by_mz;
            score = scratch.similarity->ComputeScore(first, second,
                                                     members_[i].precursor_mass - members_[j].precursor_mass);
        }
        scores[PackedIndex(j, i)] = ScaleScore(score);
    }
}

}  // namespace speclink
