#include "modification/ModificationCluster.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "data/SpectraProcess.h"
#include "modification/MassDifferenceClustering.h"
#include "modification/PreparedPeakLists.h"
#include "modification/StdioFile.h"
#include "scoring/Similarity.h"

namespace speclink {

namespace {

// Scores at or below this are not worth a line in "score.txt".
constexpr double kSmallestListedScore = 0.0001;

// A singly charged fragment of a triply charged precursor can show up doubly charged in
// the doubly charged partner, which "Dot Product X" accounts for.
bool IsThreeThenTwo(const CSpectrum& first, const CSpectrum& second) {
    return first.charge == 3 && second.charge == 2;
}

bool ComparesCharges(Similar_Method method, const CSpectrum& first, const CSpectrum& second) {
    if (first.charge == second.charge) return true;
    return (method == SIMILAR_COMPREHENSIVE || method == SIMILAR_DOT_PRODUCT_X) && IsThreeThenTwo(first, second);
}

void UseMethod(CSimilarity& similarity, Similar_Method method) {
    similarity.similar_method = method;
    similarity.fragment_ion_tol = 0.5;
    similarity.fragment_ion_tol_type = TOLERANCE_DA;
}

// "Comprehensive": a 3 -> 2 pair by "Dot Product X" with shift d; otherwise
// "Dot Product Mod" with d / k for every k = 1 .. charge - 1, the best score kept.
double ComprehensiveScore(CSimilarity& similarity, const CSpectrum& first, const CSpectrum& second,
                          PeakList& first_peaks, PeakList& second_peaks, double d) {
    if (IsThreeThenTwo(first, second)) {
        UseMethod(similarity, SIMILAR_DOT_PRODUCT_X);
        return similarity.ComputeScore(first_peaks, second_peaks, d);
    }
    UseMethod(similarity, SIMILAR_DOT_PRODUCT_MOD);
    double score = 0.0;
    for (int32_t k = 1; k < first.charge; ++k) {
        const double s = similarity.ComputeScore(first_peaks, second_peaks, d / k);
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

    PreparedPeakLists prepared(spectra, *peak_select);
    Progress progress(spectra.size());
    PeakList first_peaks;
    PeakList second_peaks;
    for (std::size_t i = 0; i < spectra.size(); ++i) {
        progress.At(i);
        const CSpectrum& first = spectra[i];
        bool first_ready = false;
        for (std::size_t j = i + 1; j < spectra.size(); ++j) {
            const CSpectrum& second = spectra[j];
            const double d = first.precursor_mass - second.precursor_mass;
            const double distance = std::fabs(d);
            if (!(lowest <= distance && distance <= highest)) continue;
            if (!ComparesCharges(method, first, second)) continue;

            double score = 0.0;
            // "Dot Product X" scores only 3 -> 2 pairs; equal charges score 0.0 unscored.
            if (method != SIMILAR_DOT_PRODUCT_X || IsThreeThenTwo(first, second)) {
                // The first copy is prepared once per i and reused, reordered by the scorer.
                if (!first_ready) {
                    prepared.CopyInto(i, first_peaks);
                    first_ready = true;
                }
                prepared.CopyInto(j, second_peaks);
                if (method == SIMILAR_COMPREHENSIVE) {
                    score = ComprehensiveScore(*similarity, first, second, first_peaks, second_peaks, d);
                } else {
                    score = similarity->ComputeScore(first_peaks, second_peaks, d);
                }
            }

            if (score > score_threshold) {
                std::fprintf(pair_list.get(), "%s,%lf,%s,%lf,%lf,%lf\n", first.file_name.c_str(), first.precursor_mass,
                             second.file_name.c_str(), second.precursor_mass, d, score);
            }
            if (score > kSmallestListedScore && score_file) {
                std::fprintf(score_file.get(), "%.4lf\n", std::sqrt(score));
            }
        }
    }

    score_file.reset();
    pair_list.reset();
    ClusterMassDifferences(path, cluster_masses_tol);
}

}  // namespace speclink
