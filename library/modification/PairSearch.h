#pragma once

#include <algorithm>
#include <cstddef>
#include <optional>
#include <vector>

#include "speclink/library/common/InOrderWorkers.h"
#include "speclink/library/data/Spectrum.h"
#include "speclink/library/modification/FragmentIndex.h"
#include "speclink/library/modification/MassWindowIndex.h"
#include "speclink/library/modification/PartnerCandidates.h"
#include "speclink/library/scoring/PreparedPairScorer.h"
#include "speclink/library/scoring/PreparedPeakLists.h"
#include "speclink/library/modification/RowPartners.h"
#include "speclink/library/peaks/PeakSelect.h"
#include "speclink/library/scoring/Similarity.h"

namespace speclink {

/// The pair sweep both searches of CModificationCluster share: every pair (i, j), i < j and
/// i < `rows`, whose precursor masses differ by `lowest` to `highest` Da (the window index
/// offers the candidates) and that `passes(i, j)` accepts, visited row by row, j ascending,
/// on up to `threads` threads. Spectra from `rows` on are partners only.
///
/// - prepares(i, j): whether the pair is scored, so that its spectra need their peaks
///   prepared; only such spectra are prepared, once each;
/// - visit(scorer, i, j, output): the pair; `scorer` is the thread's own copy of
///   `similarity` with spectrum i as its first list and spectrum j as its second;
/// - consume(output, first_row, end_row): the output of a block of rows, on the caller's
///   thread, blocks in row order. `Output` is reused from block to block after Clear().
///
/// Whatever `consume` writes comes out as a sequential run over the rows would write it.
template <typename Output, typename Passes, typename Prepares, typename Visit, typename Consume>
void SearchPairs(const std::vector<CSpectrum>& spectra, std::size_t rows, const CPeakSelect& peak_select,
                 const CSimilarity& similarity, double lowest, double highest, int threads, Passes&& passes,
                 Prepares&& prepares, Visit&& visit, Consume&& consume) {
    const MassWindowIndex window(spectra, lowest, highest);
    const std::size_t n = spectra.size();
    rows = std::min(rows, n);
    const std::size_t block = RowsPerBlock(rows, threads);

    std::vector<char> needed(n, 0);
    RunInOrder<char>(
        n, RowsPerBlock(n, threads), threads, [] { return 0; },
        [&](int /*state*/, std::size_t first, std::size_t end, char& /*result*/) {
            for (std::size_t k = first; k < end; ++k) {
                needed[k] = window.AnyCandidate(k, [&](std::size_t other) {
                    const std::size_t i = std::min(k, other);
                    const std::size_t j = std::max(k, other);
                    return i < rows && passes(i, j) && prepares(i, j);
                });
            }
        },
        [](char /*result*/) {});
    const PreparedPeakLists prepared(spectra, &peak_select, needed, threads);
    // Where the scores can take the peak pairs of a row's pairs found all at once, the
    // peaks are indexed for finding them.
    const std::optional<double> tolerance = FoundPairsTolerance(similarity);
    std::optional<FragmentIndex> fragments;
    if (tolerance) fragments.emplace(spectra, prepared, needed);

    struct Worker {
        PreparedPairScorer scorer;
        RowPartners row;
        PartnerCandidates found;
    };
    struct Block {
        std::size_t first = 0;
        std::size_t end = 0;
        Output output;
    };
    RunInOrder<Block>(
        rows, block, threads, [&] { return Worker{PreparedPairScorer(similarity), RowPartners(window), {}}; },
        [&](Worker& worker, std::size_t first, std::size_t end, Block& out) {
            out.first = first;
            out.end = end;
            out.output.Clear();
            for (std::size_t i = first; i < end; ++i) {
                // The first working list is made once per row, and the scorer's sorts carry
                // over from pair to pair.
                worker.scorer.SetFirst(prepared[i]);
                CollectPartners(window, i, worker.row, passes);
                if (fragments) worker.found.Gather(*fragments, *tolerance, i, worker.row.partners);
                // A pair scored from the peak pairs found has the partner's peaks in them.
                const auto found = [&](std::size_t c) { return fragments ? worker.found.Of(c) : nullptr; };
                const auto reads_peaks = [&](std::size_t c) { return found(c) == nullptr; };
                VisitPartners(prepared, worker.row, reads_peaks, [&](std::size_t c, std::size_t j) {
                    worker.scorer.SetSecond(prepared[j], found(c));
                    visit(worker.scorer, i, j, out.output);
                });
            }
        },
        [&](Block& out) { consume(out.output, out.first, out.end); });
}

}  // namespace speclink
