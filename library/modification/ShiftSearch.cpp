// The shift search of CModificationCluster: doubly charged pairs scored at the
// whole-number shift near their mass difference at which their fragments agree best.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>

#include "speclink/library/data/SpectraProcess.h"
#include "speclink/library/scoring/BestWholeShift.h"
#include "speclink/library/common/FormattedText.h"
#include "speclink/library/modification/ModificationCluster.h"
#include "speclink/library/modification/PairLine.h"
#include "speclink/library/modification/PairSearch.h"
#include "speclink/library/common/StdioFile.h"
#include "speclink/library/scoring/Similarity.h"

namespace speclink {

namespace {

// The fixed mass window of the shift search (Da), bounds inside.
constexpr double kLowestShift = 6.0;
constexpr double kHighestShift = 200.0;

// What the rows of one block write, in the order the sequential run writes it.
struct RowsOutput {
    std::string pair_lines;
    std::vector<ListedPair> pairs;
    bool scored = false;  // some pair was scored

    void Clear() {
        pair_lines.clear();
        pairs.clear();
        scored = false;
    }
};

}  // namespace

void CModificationCluster::RunShiftSearch(const std::vector<CSpectrum>& spectra, CSimilarity* similarity,
                                          CPeakSelect* peak_select) {
    last_pairs_.clear();
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

    bool scored = false;
    const FixedPointWriter fixed;
    SearchPairs<RowsOutput>(
        spectra, spectra.size(), *peak_select, *similarity, kLowestShift, kHighestShift, threads, passes,
        [](std::size_t, std::size_t) { return true; },
        [&](PreparedPairScorer& scorer, std::size_t i, std::size_t j, RowsOutput& out) {
            const double d = masses[i] - masses[j];
            const int32_t k = scorer.FindBestShift(masses[i], masses[j], d);
            // d + 0.5 truncates toward zero, so for negative d the rounding goes up.
            const int32_t remainder = static_cast<int32_t>(d + 0.5) - k;
            const double shift = d - remainder;
            UseMethodAtHalfDalton(scorer.similarity(), SIMILAR_DOT_PRODUCT_MOD);
            const double score = scorer.ComputeScore(shift);
            out.scored = true;
            if (score > score_threshold) {
                // "%s,%lf,%s,%lf,%lf,%lf, %d\n"
                AppendPairFields(out.pair_lines, fixed, spectra[i], spectra[j], d, score);
                out.pair_lines += ", ";
                out.pair_lines += std::to_string(k);
                out.pair_lines += '\n';
                out.pairs.push_back({static_cast<uint32_t>(i), static_cast<uint32_t>(j), d, score, k});
            }
        },
        [&](const RowsOutput& out, std::size_t, std::size_t) {
            std::fwrite(out.pair_lines.data(), 1, out.pair_lines.size(), pair_list.get());
            last_pairs_.insert(last_pairs_.end(), out.pairs.begin(), out.pairs.end());
            scored = scored || out.scored;
        });
    // The caller's scorer is left as the pairs were scored.
    if (scored) UseMethodAtHalfDalton(*similarity, SIMILAR_DOT_PRODUCT_MOD);
}

int32_t CModificationCluster::FindBestShift(const CSpectrum& a, const CSpectrum& b, const PeakList& a_peaks,
                                            const PeakList& b_peaks, double d) const {
    // Every copy that "Dot Product" scores is sorted by descending intensity, and moving
    // its m/z does not change that order: sort each list once.
    PeakList a_sorted = a_peaks;
    PeakList b_sorted = b_peaks;
    SortByIntensityDescending(a_sorted);
    SortByIntensityDescending(b_sorted);
    GreedyScratch scratch;
    IndexedPeakList moved;
    return BestWholeShift(a.precursor_mass, b.precursor_mass, IndexedPeakList(std::move(a_sorted)),
                          IndexedPeakList(std::move(b_sorted)), d, scratch, moved);
}

}  // namespace speclink
