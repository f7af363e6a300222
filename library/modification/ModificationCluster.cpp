#include "speclink/library/modification/ModificationCluster.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "speclink/library/data/SpectraProcess.h"
#include "speclink/library/common/FormattedText.h"
#include "speclink/library/modification/MassDifferenceClustering.h"
#include "speclink/library/modification/PairLine.h"
#include "speclink/library/modification/PairSearch.h"
#include "speclink/library/scoring/PreparedPairScorer.h"
#include "speclink/library/scoring/PreparedPeakLists.h"
#include "speclink/library/common/StdioFile.h"
#include "speclink/library/scoring/Similarity.h"

namespace speclink {

namespace {

// Scores at or below this are not worth a line in "score.txt".
constexpr double kSmallestListedScore = 0.0001;

// "%.4lf" values of a square root of a score from 0 to 1.
constexpr std::size_t kScoreValues = 10001;

// "%.4lf" of `value` as a whole number, read back from what printf writes.
uint32_t ScaledByText(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.4f", value);
    uint32_t scaled = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c >= '0' && *c <= '9') scaled = scaled * 10 + static_cast<uint32_t>(*c - '0');
    }
    return scaled;
}

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

// "Comprehensive": a 3 -> 2 pair by "Dot Product X" with shift d; otherwise
// "Dot Product Mod" with d / k for every k = 1 .. charge - 1, the best score kept.
double ComprehensiveScore(PreparedPairScorer& scorer, int32_t first_charge, int32_t second_charge, double d) {
    UseMethodAtHalfDalton(scorer.similarity(), ComprehensiveMethod(first_charge, second_charge));
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
    // Rows from `first` on are seen: the figures up to the row before are taken as shown.
    Progress(std::size_t count, std::size_t first)
        : step_(count / 10), last_(step_ == 0 || first == 0 ? 0 : (first - 1) / step_) {}

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
    std::size_t last_;
};

// What the rows of one block write, in the order the sequential run writes it.
struct RowsOutput {
    std::string pair_lines;
    std::string score_lines;
    std::vector<uint32_t> score_values;  // "%.4lf" of the square roots, times 10000
    std::vector<ListedPair> pairs;
    // "Comprehensive": the method the block's last scored pair left in the scorer.
    std::optional<Similar_Method> resolved;

    void Clear() {
        pair_lines.clear();
        score_lines.clear();
        score_values.clear();
        pairs.clear();
        resolved.reset();
    }
};

// The two fields of a spectrum that decide whether a pair is scored.
struct PairKey {
    double mass;  // Da
    int32_t charge;
};

}  // namespace

// What a search in pieces carries from piece to piece.
struct CModificationCluster::Pieces {
    Similar_Method method;
    std::string path;
    StdioFile pair_list;
    StdioFile score_file;
    Progress progress;
    std::optional<Similar_Method> resolved;
};

CModificationCluster::CModificationCluster(CSpectraProcess* process, double precursor_tol,
                                           Tolerance_Type precursor_tol_type, double threshold_value, int32_t type)
    : CCluster(process, nullptr, precursor_tol, precursor_tol_type, threshold_value, type) {}

CModificationCluster::~CModificationCluster() = default;

void CModificationCluster::Run(const std::vector<CSpectrum>& spectra, CSimilarity* similarity,
                               CPeakSelect* peak_select) {
    if (!BeginPieces(spectra.size(), similarity)) return;
    SearchPiece(spectra, spectra.size(), {}, similarity, peak_select);
    EndPieces(similarity);
}

bool CModificationCluster::BeginPieces(std::size_t count, CSimilarity* similarity, std::size_t first_row) {
    last_pairs_.clear();
    score_counts_.assign(kScoreValues, 0);
    pieces_.reset();
    const std::string path = spectra_process->GetClusterResult();
    StdioFile pair_list = OpenStdioFile(path, "w");
    StdioFile score_file = list_scores ? OpenStdioFile("score.txt", "a+") : StdioFile();
    if (!pair_list) {
        std::printf("Cannot open file: %s!\n", path.c_str());
        return false;
    }
    // The configured method decides for the whole run, though "Comprehensive" rewrites it.
    pieces_.reset(new Pieces{similarity->similar_method, path, std::move(pair_list), std::move(score_file),
                             Progress(count, first_row), std::nullopt});
    return true;
}

void CModificationCluster::SearchPiece(const std::vector<CSpectrum>& window, std::size_t rows,
                                       std::span<const uint32_t> positions, CSimilarity* similarity,
                                       CPeakSelect* peak_select) {
    Pieces& state = *pieces_;
    const Similar_Method method = state.method;
    const double score_threshold = threshold;
    const double lowest = lower_mass;
    const double highest = upper_mass;
    const bool write_scores = static_cast<bool>(state.score_file);
    const auto position = [&](std::size_t k) {
        return static_cast<uint32_t>(positions.empty() ? k : positions[k]);
    };

    // What the pair filters read, at hand in one array rather than across the records.
    std::vector<PairKey> keys;
    keys.reserve(window.size());
    for (const CSpectrum& spectrum : window) keys.push_back({spectrum.precursor_mass, spectrum.charge});
    // Pair (i, j), i < j, passes the mass window and the charge rule.
    const auto passes = [&](std::size_t i, std::size_t j) {
        const double distance = std::fabs(keys[i].mass - keys[j].mass);
        return lowest <= distance && distance <= highest && ComparesCharges(method, keys[i].charge, keys[j].charge);
    };
    const auto scored = [&](std::size_t i, std::size_t j) { return IsScored(method, keys[i].charge, keys[j].charge); };

    const FixedPointWriter fixed;
    SearchPairs<RowsOutput>(
        window, rows, *peak_select, *similarity, lowest, highest, threads, passes, scored,
        [&](PreparedPairScorer& scorer, std::size_t i, std::size_t j, RowsOutput& out) {
            const int32_t first_charge = keys[i].charge;
            const int32_t second_charge = keys[j].charge;
            const double d = keys[i].mass - keys[j].mass;
            double score = 0.0;
            if (method == SIMILAR_COMPREHENSIVE) out.resolved = ComprehensiveMethod(first_charge, second_charge);
            if (scored(i, j)) {
                score = method == SIMILAR_COMPREHENSIVE ? ComprehensiveScore(scorer, first_charge, second_charge, d)
                                                        : scorer.ComputeScore(d);
            }
            if (score > score_threshold) {
                // "%s,%lf,%s,%lf,%lf,%lf\n"
                AppendPairFields(out.pair_lines, fixed, window[i], window[j], d, score);
                out.pair_lines += '\n';
                out.pairs.push_back({position(i), position(j), d, score, 0});
            }
            if (score > kSmallestListedScore) {
                const double root = std::sqrt(score);
                uint64_t value = 0;
                out.score_values.push_back(fixed.Scaled(root, 4, value) ? static_cast<uint32_t>(value)
                                                                         : ScaledByText(root));
                if (write_scores) {
                    // "%.4lf\n"
                    fixed.Append(out.score_lines, root, 4);
                    out.score_lines += '\n';
                }
            }
        },
        [&](const RowsOutput& out, std::size_t first, std::size_t end) {
            for (std::size_t i = first; i < end; ++i) state.progress.At(position(i));
            std::fwrite(out.pair_lines.data(), 1, out.pair_lines.size(), state.pair_list.get());
            if (write_scores) std::fwrite(out.score_lines.data(), 1, out.score_lines.size(), state.score_file.get());
            last_pairs_.insert(last_pairs_.end(), out.pairs.begin(), out.pairs.end());
            for (const uint32_t value : out.score_values) {
                if (value >= score_counts_.size()) score_counts_.resize(value + 1, 0);
                ++score_counts_[value];
            }
            if (out.resolved) state.resolved = out.resolved;
        });
}

void CModificationCluster::EndPieces(CSimilarity* similarity) {
    const std::unique_ptr<Pieces> state = std::move(pieces_);
    // The caller's scorer ends as the last pair scored in list order left it.
    if (state->resolved) UseMethodAtHalfDalton(*similarity, *state->resolved);
    state->score_file.reset();
    state->pair_list.reset();
    ClusterMassDifferences(state->path, cluster_masses_tol);
}

}  // namespace speclink
