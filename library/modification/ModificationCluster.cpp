#include "speclink/library/modification/ModificationCluster.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "speclink/library/data/SpectraProcess.h"
#include "speclink/library/common/FormattedText.h"
#include "speclink/library/common/InOrderWorkers.h"
#include "speclink/library/modification/MassDifferenceClustering.h"
#include "speclink/library/modification/MassWindowIndex.h"
#include "speclink/library/modification/PairLine.h"
#include "speclink/library/modification/PreparedPairScorer.h"
#include "speclink/library/modification/PreparedPeakLists.h"
#include "speclink/library/modification/RowPartners.h"
#include "speclink/library/common/StdioFile.h"
#include "speclink/library/scoring/Similarity.h"

namespace speclink {

namespace {

// Scores at or below this are not worth a line in "score.txt".
constexpr double kSmallestListedScore = 0.0001;

// A singly charged fragment of a triply charged precursor can show up doubly charged in
// the doubly charged partner, which "Dot Product X" accounts for.
bool IsThreeThenTwo(int32_t first_charge, int32_t second_charge) { return first_charge == 3 && second_charge == 2; }

bool ComparesCharges(Similar_Method method, int32_t first_charge, int32_t second_charge) {
    if (first_charge == second_charge) return true;
    return (method == SIMILAR_COMPREHENSIVE || method == SIMILAR_DOT_PRODUCT_X) &&
           IsThreeThenTwo(first_charge, second_charge);
}

// Whether a pair that passes the filters is scored (and its peaks prepared): "Dot Product
// X" scores only 3 -> 2 pairs, equal charges score 0.0 unscored.
bool IsScored(Similar_Method method, int32_t first_charge, int32_t second_charge) {
    return method != SIMILAR_DOT_PRODUCT_X || IsThreeThenTwo(first_charge, second_charge);
}

// "Comprehensive" resolves to this method for a pair.
Similar_Method ComprehensiveMethod(int32_t first_charge, int32_t second_charge) {
    return IsThreeThenTwo(first_charge, second_charge) ? SIMILAR_DOT_PRODUCT_X : SIMILAR_DOT_PRODUCT_MOD;
}

void UseMethod(CSimilarity& similarity, Similar_Method method) {
    similarity.similar_method = method;
    similarity.fragment_ion_tol = 0.5;
    similarity.fragment_ion_tol_type = TOLERANCE_DA;
}

// "Comprehensive": a 3 -> 2 pair by "Dot Product X" with shift d; otherwise
// "Dot Product Mod" with d / k for every k = 1 .. charge - 1, the best score kept.
double ComprehensiveScore(PreparedPairScorer& scorer, int32_t first_charge, int32_t second_charge, double d) {
    UseMethod(scorer.similarity(), ComprehensiveMethod(first_charge, second_charge));
    if (IsThreeThenTwo(first_charge, second_charge)) return scorer.ComputeScore(d);
    double score = 0.0;
    for (int32_t k = 1; k < first_charge; ++k) {
        const double s = scorer.ComputeScore(d / k);
        if (s > score) score = s;
    }
    return score;
}

// Prints the progress figure q = i / step when it changes; nothing when step is 0.
class Progress {
public:
    explicit Progress(std::size_t count) : step_(count / 10) {}

    void At(std::size_t position) {
        if (step_ == 0) return;
        const std::size_t figure = position / step_;
        if (figure == last_) return;
        std::printf("%d0%%..", static_cast<int>(figure));
        std::fflush(stdout);
        last_ = figure;
    }

private:
    std::size_t step_;
    std::size_t last_ = 0;
};

// What the rows of one block write, in the order the sequential run writes it.
struct RowsOutput {
    std::size_t first = 0;
    std::size_t end = 0;
    std::string pair_lines;
    std::string score_lines;
    // "Comprehensive": the method the block's last scored pair left in the scorer.
    std::optional<Similar_Method> resolved;
};

// The two fields of a spectrum that decide whether a pair is scored.
struct PairKey {
    double mass;  // Da
    int32_t charge;
};

// One thread's working state.
struct RowWorker {
    PreparedPairScorer scorer;
    RowPartners row;
};

}  // namespace

void CModificationCluster::Run(const std::vector<CSpectrum>& spectra, CSimilarity* similarity,
                               CPeakSelect* peak_select) {
    // The configured method decides for the whole run, though "Comprehensive" rewrites it.
    const Similar_Method method = similarity->similar_method;
    const double score_threshold = threshold;
    const double lowest = lower_mass;
    const double highest = upper_mass;

    const std::string path = spectra_process->GetClusterResult();
    StdioFile pair_list = OpenStdioFile(path, "w");
    StdioFile score_file = OpenStdioFile("score.txt", "a+");
    if (!pair_list) {
        std::printf("Cannot open file: %s!\n", path.c_str());
        return;
    }
    const bool list_scores = static_cast<bool>(score_file);

    // What the pair filters read, at hand in one array rather than across the records.
    std::vector<PairKey> keys;
    keys.reserve(spectra.size());
    for (const CSpectrum& spectrum : spectra) keys.push_back({spectrum.precursor_mass, spectrum.charge});
    // Pair (i, j), i < j, passes the mass window and the charge rule.
    const auto passes = [&](std::size_t i, std::size_t j) {
        const double distance = std::fabs(keys[i].mass - keys[j].mass);
        return lowest <= distance && distance <= highest && ComparesCharges(method, keys[i].charge, keys[j].charge);
    };
    const MassWindowIndex window(spectra, lowest, highest);
    const std::size_t n = spectra.size();
    const std::size_t block = RowsPerBlock(n, threads);

    // Only the spectra of a scored pair are prepared.
    std::vector<char> needed(n, 0);
    RunInOrder<char>(
        n, block, threads, [] { return 0; },
        [&](int /*state*/, std::size_t first, std::size_t end, char& /*result*/) {
            for (std::size_t k = first; k < end; ++k) {
                needed[k] = window.AnyCandidate(k, [&](std::size_t other) {
                    const std::size_t i = std::min(k, other);
                    const std::size_t j = std::max(k, other);
                    return passes(i, j) && IsScored(method, keys[i].charge, keys[j].charge);
                });
            }
        },
        [](char /*result*/) {});
    const PreparedPeakLists prepared(spectra, *peak_select, needed, threads);

    Progress progress(n);
    std::optional<Similar_Method> resolved;
    RunInOrder<RowsOutput>(
        n, block, threads, [&] { return RowWorker{PreparedPairScorer(*similarity), RowPartners(window)}; },
        [&](RowWorker& worker, std::size_t rows_first, std::size_t rows_end, RowsOutput& out) {
            out.first = rows_first;
            out.end = rows_end;
            out.pair_lines.clear();
            out.score_lines.clear();
            out.resolved.reset();
            const FixedPointWriter fixed;
            for (std::size_t i = rows_first; i < rows_end; ++i) {
                // The first working list is made once per i, and the scorer's sorts carry
                // over from pair to pair.
                worker.scorer.SetFirst(prepared[i]);
                ForEachPartner(window, prepared, i, worker.row, passes, [&](std::size_t j) {
                    const int32_t first_charge = keys[i].charge;
                    const int32_t second_charge = keys[j].charge;
                    const double d = keys[i].mass - keys[j].mass;
                    double score = 0.0;
                    if (method == SIMILAR_COMPREHENSIVE) {
                        out.resolved = ComprehensiveMethod(first_charge, second_charge);
                    }
                    if (IsScored(method, first_charge, second_charge)) {
                        worker.scorer.SetSecond(prepared[j]);
                        score = method == SIMILAR_COMPREHENSIVE
                                    ? ComprehensiveScore(worker.scorer, first_charge, second_charge, d)
                                    : worker.scorer.ComputeScore(d);
                    }
                    if (score > score_threshold) {
                        // "%s,%lf,%s,%lf,%lf,%lf\n"
                        AppendPairFields(out.pair_lines, fixed, spectra[i], spectra[j], d, score);
                        out.pair_lines += '\n';
                    }
                    if (score > kSmallestListedScore && list_scores) {
                        // "%.4lf\n"
                        fixed.Append(out.score_lines, std::sqrt(score), 4);
                        out.score_lines += '\n';
                    }
                });
            }
        },
        [&](RowsOutput& out) {
            for (std::size_t i = out.first; i < out.end; ++i) progress.At(i);
            std::fwrite(out.pair_lines.data(), 1, out.pair_lines.size(), pair_list.get());
            if (list_scores) std::fwrite(out.score_lines.data(), 1, out.score_lines.size(), score_file.get());
            if (out.resolved) resolved = out.resolved;
        });
    // The caller's scorer ends as the last pair scored in list order left it.
    if (resolved) UseMethod(*similarity, *resolved);

    score_file.reset();
    pair_list.reset();
    ClusterMassDifferences(path, cluster_masses_tol);
}

}  // namespace speclink
