// The shift search of CModificationCluster: doubly charged pairs scored at the
// whole-number shift near their mass difference at which their fragments agree best.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>

#include "data/SpectraProcess.h"
#include "modification/BestWholeShift.h"
#include "modification/FormattedText.h"
#include "modification/InOrderWorkers.h"
#include "modification/MassWindowIndex.h"
#include "modification/ModificationCluster.h"
#include "modification/PreparedPairScorer.h"
#include "modification/PreparedPeakLists.h"
#include "modification/StdioFile.h"
#include "scoring/Similarity.h"

namespace speclink {

namespace {

// The fixed mass window of the shift search (Da), bounds inside.
constexpr double kLowestShift = 6.0;
constexpr double kHighestShift = 200.0;

void UseDotProductMod(CSimilarity& similarity) {
    similarity.similar_method = SIMILAR_DOT_PRODUCT_MOD;
    similarity.fragment_ion_tol = 0.5;
    similarity.fragment_ion_tol_type = TOLERANCE_DA;
}

// The pair-list line "%s,%lf,%s,%lf,%lf,%lf, %d\n".
void AppendPairLine(std::string& text, const CSpectrum& first, const CSpectrum& second, double d, double score,
                    int32_t k) {
    AppendCString(text, first.file_name);
    text += ',';
    AppendFixed(text, first.precursor_mass, 6);
    text += ',';
    AppendCString(text, second.file_name);
    text += ',';
    AppendFixed(text, second.precursor_mass, 6);
    text += ',';
    AppendFixed(text, d, 6);
    text += ',';
    AppendFixed(text, score, 6);
    text += ", ";
    text += std::to_string(k);
    text += '\n';
}

// Rows i per block of work shared among threads.
std::size_t RowsPerBlock(std::size_t rows, int threads) {
    return std::clamp<std::size_t>(rows / (static_cast<std::size_t>(std::max(threads, 1)) * 16), 1, 64);
}

struct RowsOutput {
    std::string pair_lines;
    bool scored = false;  // some pair was scored
};

struct RowWorker {
    PreparedPairScorer scorer;
    std::vector<uint64_t> marks;
    std::vector<std::size_t> partners;  // of the row at hand, ascending
};

}  // namespace

void CModificationCluster::RunShiftSearch(const std::vector<CSpectrum>& spectra, CSimilarity* similarity,
                                          CPeakSelect* peak_select) {
    const double score_threshold = threshold;
    const std::string path = spectra_process->GetClusterResult();
    const StdioFile pair_list = OpenStdioFile(path, "w");
    if (!pair_list) {
        std::printf("Cannot open file: %s!\n", path.c_str());
        return;
    }

    const auto passes = [&](std::size_t i, std::size_t j) {
        const CSpectrum& first = spectra[i];
        const CSpectrum& second = spectra[j];
        const double distance = std::fabs(first.precursor_mass - second.precursor_mass);
        return kLowestShift <= distance && distance <= kHighestShift && first.charge == 2 && second.charge == 2;
    };
    const MassWindowIndex window(spectra, kLowestShift, kHighestShift);
    const std::size_t n = spectra.size();
    const std::size_t block = RowsPerBlock(n, threads);

    std::vector<char> needed(n, 0);
    RunInOrder<char>(
        n, block, threads, [] { return 0; },
        [&](int /*state*/, std::size_t first, std::size_t end, char& /*result*/) {
            for (std::size_t k = first; k < end; ++k) {
                needed[k] = window.AnyCandidate(
                    k, [&](std::size_t other) { return passes(std::min(k, other), std::max(k, other)); });
            }
        },
        [](char /*result*/) {});
    const PreparedPeakLists prepared(spectra, *peak_select, needed, threads);

    bool scored = false;
    RunInOrder<RowsOutput>(
        n, block, threads,
        [&] {
            RowWorker worker{PreparedPairScorer(*similarity), window.NewMarks(), {}};
            UseDotProductMod(worker.scorer.similarity());
            return worker;
        },
        [&](RowWorker& worker, std::size_t rows_first, std::size_t rows_end, RowsOutput& out) {
            out.pair_lines.clear();
            out.scored = false;
            for (std::size_t i = rows_first; i < rows_end; ++i) {
                const CSpectrum& first = spectra[i];
                worker.scorer.SetFirst(prepared[i]);
                worker.partners.clear();
                window.ForEachLaterCandidate(i, worker.marks, [&](std::size_t j) {
                    if (passes(i, j)) worker.partners.push_back(j);
                });
                for (std::size_t c = 0; c < worker.partners.size(); ++c) {
                    // The partners' lists lie all over memory: fetch the next one early.
                    if (c + 1 < worker.partners.size()) prepared[worker.partners[c + 1]].ranked.Prefetch();
                    const std::size_t j = worker.partners[c];
                    const CSpectrum& second = spectra[j];
                    const double d = first.precursor_mass - second.precursor_mass;
                    worker.scorer.SetSecond(prepared[j]);
                    const int32_t k = worker.scorer.FindBestShift(first, second, d);
                    // d + 0.5 truncates toward zero, so for negative d the rounding goes up.
                    const int32_t remainder = static_cast<int32_t>(d + 0.5) - k;
                    const double shift = d - remainder;
                    const double score = worker.scorer.ComputeScore(shift);
                    out.scored = true;
                    if (score > score_threshold) AppendPairLine(out.pair_lines, first, second, d, score, k);
                }
            }
        },
        [&](RowsOutput& out) {
            std::fwrite(out.pair_lines.data(), 1, out.pair_lines.size(), pair_list.get());
            scored = scored || out.scored;
        });
    // The caller's scorer is left as the pairs were scored.
    if (scored) UseDotProductMod(*similarity);
}

int32_t CModificationCluster::FindBestShift(const CSpectrum& a, const CSpectrum& b, const PeakList& a_peaks,
                                            const PeakList& b_peaks, double d) const {
    // Every copy that "Dot Product" scores is sorted by descending intensity, and moving
    // its m/z does not change that order: sort each list once.
    PeakList a_sorted = a_peaks;
    PeakList b_sorted = b_peaks;
    std::sort(a_sorted.begin(), a_sorted.end(), ByIntensityDescending);
    std::sort(b_sorted.begin(), b_sorted.end(), ByIntensityDescending);
    GreedyScratch scratch;
    IndexedPeakList moved;
    return BestWholeShift(a.precursor_mass, b.precursor_mass, IndexedPeakList(std::move(a_sorted)),
                          IndexedPeakList(std::move(b_sorted)), d, scratch, moved);
}

}  // namespace speclink
