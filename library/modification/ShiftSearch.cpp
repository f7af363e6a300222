// The shift search of CModificationCluster: doubly charged pairs scored at the
// whole-number shift near their mass difference at which their fragments agree best.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>

#include "speclink/library/data/SpectraProcess.h"
#include "speclink/library/modification/BestWholeShift.h"
#include "speclink/library/common/FormattedText.h"
#include "speclink/library/common/InOrderWorkers.h"
#include "speclink/library/modification/MassWindowIndex.h"
#include "speclink/library/modification/ModificationCluster.h"
#include "speclink/library/modification/PairLine.h"
#include "speclink/library/modification/PreparedPairScorer.h"
#include "speclink/library/modification/PreparedPeakLists.h"
#include "speclink/library/modification/RowPartners.h"
#include "speclink/library/common/StdioFile.h"
#include "speclink/library/scoring/Similarity.h"

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

// What the rows of one block write, in the order the sequential run writes it.
struct RowsOutput {
    std::string pair_lines;
    bool scored = false;  // some pair was scored
};

// One thread's working state.
struct RowWorker {
    PreparedPairScorer scorer;
    RowPartners row;
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

    // What the pair filters read, at hand in one array rather than across the records.
    std::vector<double> masses;
    std::vector<char> doubly;
    masses.reserve(spectra.size());
    doubly.reserve(spectra.size());
    for (const CSpectrum& spectrum : spectra) {
        masses.push_back(spectrum.precursor_mass);
        doubly.push_back(spectrum.charge == 2 ? 1 : 0);
    }
    const auto passes = [&](std::size_t i, std::size_t j) {
        const double distance = std::fabs(masses[i] - masses[j]);
        return kLowestShift <= distance && distance <= kHighestShift && doubly[i] != 0 && doubly[j] != 0;
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
            RowWorker worker{PreparedPairScorer(*similarity), RowPartners(window)};
            UseDotProductMod(worker.scorer.similarity());
            return worker;
        },
        [&](RowWorker& worker, std::size_t rows_first, std::size_t rows_end, RowsOutput& out) {
            out.pair_lines.clear();
            out.scored = false;
            const FixedPointWriter fixed;
            for (std::size_t i = rows_first; i < rows_end; ++i) {
                worker.scorer.SetFirst(prepared[i]);
                ForEachPartner(window, prepared, i, worker.row, passes, [&](std::size_t j) {
                    const double d = masses[i] - masses[j];
                    worker.scorer.SetSecond(prepared[j]);
                    const int32_t k = worker.scorer.FindBestShift(masses[i], masses[j], d);
                    // d + 0.5 truncates toward zero, so for negative d the rounding goes up.
                    const int32_t remainder = static_cast<int32_t>(d + 0.5) - k;
                    const double shift = d - remainder;
                    const double score = worker.scorer.ComputeScore(shift);
                    out.scored = true;
                    if (score > score_threshold) {
                        // "%s,%lf,%s,%lf,%lf,%lf, %d\n"
                        AppendPairFields(out.pair_lines, fixed, spectra[i], spectra[j], d, score);
                        out.pair_lines += ", ";
                        out.pair_lines += std::to_string(k);
                        out.pair_lines += '\n';
                    }
                });
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
