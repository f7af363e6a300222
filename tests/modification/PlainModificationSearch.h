#pragma once

// The modification search as a plain sequential program: every pair (i, j) examined in
// turn on one thread, each pair scored through ComputeScore on working copies, and the mass
// differences grouped by rescanning every gap per merge. The library's engine must give
// the same bytes in every output file and on standard output; the differential tests and
// the benchmark compare against these functions. Header-only so that bench/ can use it.

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "speclink/library/common/StdioFile.h"
#include "speclink/library/data/SpectraProcess.h"
#include "speclink/library/modification/MassDifferenceClustering.h"
#include "speclink/library/data/Spectrum.h"
#include "speclink/library/params/Cluster.h"
#include "speclink/library/peaks/PeakList.h"
#include "speclink/library/peaks/PeakSelect.h"
#include "speclink/library/peaks/SqrtNormalize.h"
#include "speclink/library/scoring/Similarity.h"

namespace speclink::test::plain {

using File = StdioFile;

inline File Open(const std::string& path, const char* mode) { return OpenStdioFile(path, mode); }

// ---- Mass-difference grouping ----------------------------------------------------------

inline constexpr double kGapInsideGroup = 1000.0;
inline bool AssignGap(double& gap, double value) {
    const bool changed = std::bit_cast<uint64_t>(gap) != std::bit_cast<uint64_t>(value);
    gap = value;
    return changed;
}

// Position of the first smallest gap below 1001.0 (gaps of 1001.0 or more are never
// chosen); 0 when there is none.
inline size_t IndexOfSmallestGap(const std::vector<double>& gaps) {
    double best = 1001.0;
    size_t index = 0;
    for (size_t k = 0; k < gaps.size(); ++k) {
        if (gaps[k] < best) {
            best = gaps[k];
            index = k;
        }
    }
    return index;
}

// Each merge searches all gaps again for the smallest: quadratic in the number of values.
inline void MergeMassDifferences(const std::vector<double>& d, std::vector<int32_t>& labels, double tolerance) {
    const size_t n = d.size();
    labels.resize(n);
    std::iota(labels.begin(), labels.end(), 0);
    if (n < 2) return;
    std::vector<double> gaps(n - 1);
    for (size_t k = 0; k + 1 < n; ++k) gaps[k] = d[k + 1] - d[k];
    for (size_t m = IndexOfSmallestGap(gaps); gaps[m] < tolerance; m = IndexOfSmallestGap(gaps)) {
        const int32_t joining = labels[m + 1];
        size_t hi = m + 1;
        for (size_t p = m + 1; p < n && labels[p] == joining; ++p) {
            labels[p] = labels[m];
            hi = p;
        }
        const auto lo = static_cast<size_t>(labels[m]);
        bool changed = joining != labels[m];
        if (lo >= 1) changed |= AssignGap(gaps[lo - 1], d[hi] - d[lo - 1]);
        if (hi + 1 < n) changed |= AssignGap(gaps[hi], d[hi + 1] - d[lo]);
        for (size_t k = lo; k < hi; ++k) changed |= AssignGap(gaps[k], kGapInsideGroup);
        if (!changed) break;
    }
}

inline void ClusterMassDifferences(const std::string& path, double tolerance) {
    std::vector<double> differences;
    {
        const File in = Open(path, "r");
        if (!in) {
            std::printf("Can not read file:%s\n", path.c_str());
            return;
        }
        char buffer[260];
        while (std::fgets(buffer, sizeof buffer, in.get()) != nullptr) {
            const size_t length = std::strlen(buffer);
            if (length > 0 && buffer[length - 1] == '\n') buffer[length - 1] = '\0';
            const char* start = buffer;
            int commas = 0;
            for (const char* c = buffer; *c != '\0' && commas < 4; ++c) {
                if (*c == ',') {
                    start = c + 1;
                    ++commas;
                }
            }
            differences.push_back(std::strtod(start, nullptr));
        }
    }
    std::sort(differences.begin(), differences.end(),
              [](double a, double b) { return a < b || (!std::isnan(a) && std::isnan(b)); });
    const File out = Open("temp.temp", "w");
    if (!out) return;
    std::vector<int32_t> labels;
    MergeMassDifferences(differences, labels, tolerance);
    struct Group {
        double mean;
        int32_t count;
    };
    std::vector<Group> groups;
    for (size_t first = 0; first < differences.size();) {
        size_t end = first;
        double sum = 0.0;
        while (end < differences.size() && labels[end] == labels[first]) sum += differences[end++];
        const auto count = static_cast<int32_t>(end - first);
        groups.push_back({sum / count, count});
        first = end;
    }
    std::stable_sort(groups.begin(), groups.end(), [](const Group& a, const Group& b) { return a.count > b.count; });
    for (const Group& g : groups) std::fprintf(out.get(), "%lf,%d, 0, 0, 0, 0, 0\n", g.mean, g.count);
}

// ---- Pair search -----------------------------------------------------------------------

// Each spectrum prepared once, the first time it takes part in a comparison.
class Prepared {
public:
    Prepared(const std::vector<CSpectrum>& spectra, const CPeakSelect& select)
        : spectra_(spectra), select_(select), lists_(spectra.size()), ready_(spectra.size(), 0) {}

    void CopyInto(size_t index, PeakList& working) {
        if (ready_[index] == 0) {
            lists_[index] = spectra_[index].peaks;
            select_.SelectPeak(lists_[index]);
            SqrtNormalize(lists_[index]);
            ready_[index] = 1;
        }
        working.assign(lists_[index].begin(), lists_[index].end());
    }

private:
    const std::vector<CSpectrum>& spectra_;
    const CPeakSelect& select_;
    std::vector<PeakList> lists_;
    std::vector<char> ready_;
};

inline bool ThreeThenTwo(const CSpectrum& a, const CSpectrum& b) { return a.charge == 3 && b.charge == 2; }

inline void UseMethod(CSimilarity& similarity, Similar_Method method) {
    similarity.similar_method = method;
    similarity.fragment_ion_tol = 0.5;
    similarity.fragment_ion_tol_type = TOLERANCE_DA;
}

/// CModificationCluster::Run, step by step on the caller's thread; `engine` gives the
/// settings (threshold, mass window, grouping tolerance, result path).
inline void Run(const CCluster& engine, const std::vector<CSpectrum>& spectra, CSimilarity* similarity,
                CPeakSelect* peak_select) {
    const Similar_Method method = similarity->similar_method;
    const double threshold = engine.threshold;
    const double lowest = engine.lower_mass;
    const double highest = engine.upper_mass;
    const std::string path = engine.spectra_process->GetClusterResult();
    File pair_list = Open(path, "w");
    File score_file = Open("score.txt", "a+");
    if (!pair_list) {
        std::printf("Cannot open file: %s!\n", path.c_str());
        return;
    }
    Prepared prepared(spectra, *peak_select);
    const size_t step = spectra.size() / 10;
    size_t last_figure = 0;
    PeakList first_peaks;
    PeakList second_peaks;
    for (size_t i = 0; i < spectra.size(); ++i) {
        if (step != 0 && i / step != last_figure) {
            last_figure = i / step;
            std::printf("%d0%%..", static_cast<int>(last_figure));
            std::fflush(stdout);
        }
        const CSpectrum& first = spectra[i];
        bool first_ready = false;
        for (size_t j = i + 1; j < spectra.size(); ++j) {
            const CSpectrum& second = spectra[j];
            const double d = first.precursor_mass - second.precursor_mass;
            const double distance = std::fabs(d);
            if (!(lowest <= distance && distance <= highest)) continue;
            const bool equal = first.charge == second.charge;
            if (!equal && !((method == SIMILAR_COMPREHENSIVE || method == SIMILAR_DOT_PRODUCT_X) &&
                            ThreeThenTwo(first, second)))
                continue;
            double score = 0.0;
            if (method != SIMILAR_DOT_PRODUCT_X || ThreeThenTwo(first, second)) {
                if (!first_ready) {
                    prepared.CopyInto(i, first_peaks);
                    first_ready = true;
                }
                prepared.CopyInto(j, second_peaks);
                if (method == SIMILAR_COMPREHENSIVE) {
                    if (ThreeThenTwo(first, second)) {
                        UseMethod(*similarity, SIMILAR_DOT_PRODUCT_X);
                        score = similarity->ComputeScore(first_peaks, second_peaks, d);
                    } else {
                        UseMethod(*similarity, SIMILAR_DOT_PRODUCT_MOD);
                        for (int32_t k = 1; k < first.charge; ++k) {
                            const double s = similarity->ComputeScore(first_peaks, second_peaks, d / k);
                            if (s > score) score = s;
                        }
                    }
                } else {
                    score = similarity->ComputeScore(first_peaks, second_peaks, d);
                }
            }
            if (score > threshold) {
                std::fprintf(pair_list.get(), "%s,%lf,%s,%lf,%lf,%lf\n", first.file_name.c_str(), first.precursor_mass,
                             second.file_name.c_str(), second.precursor_mass, d, score);
            }
            if (score > 0.0001 && score_file) std::fprintf(score_file.get(), "%.4lf\n", std::sqrt(score));
        }
    }
    score_file.reset();
    pair_list.reset();
    ClusterMassDifferences(path, engine.cluster_masses_tol);
}

/// CModificationCluster::FindBestShift: eleven "Dot Product" scores of fresh copies.
inline int32_t FindBestShift(const CSpectrum& a, const CSpectrum& b, const PeakList& a_peaks, const PeakList& b_peaks,
                             double d) {
    const auto rounded = static_cast<int32_t>(std::fabs(d) + 0.5);
    const CSimilarity dot_product(SIMILAR_DOT_PRODUCT, 0.5, TOLERANCE_DA);
    const bool a_moves = a.precursor_mass < b.precursor_mass;
    double best = 0.0;
    int32_t best_shift = 0;
    PeakList a_copy;
    PeakList b_copy;
    for (int32_t k = rounded - 5; k <= rounded + 5; ++k) {
        a_copy.assign(a_peaks.begin(), a_peaks.end());
        b_copy.assign(b_peaks.begin(), b_peaks.end());
        for (Peak& peak : a_moves ? a_copy : b_copy) peak.mz += k;
        const double s = dot_product.ComputeScore(a_copy, b_copy, 0.0);
        if (s > best) {
            best = s;
            best_shift = k;
        }
    }
    return best_shift;
}

/// CModificationCluster::RunShiftSearch on the caller's thread.
inline void RunShiftSearch(const CCluster& engine, const std::vector<CSpectrum>& spectra, CSimilarity* similarity,
                           CPeakSelect* peak_select) {
    const double threshold = engine.threshold;
    const std::string path = engine.spectra_process->GetClusterResult();
    const File pair_list = Open(path, "w");
    if (!pair_list) {
        std::printf("Cannot open file: %s!\n", path.c_str());
        return;
    }
    Prepared prepared(spectra, *peak_select);
    PeakList first_peaks;
    PeakList second_peaks;
    for (size_t i = 0; i < spectra.size(); ++i) {
        const CSpectrum& first = spectra[i];
        bool first_ready = false;
        for (size_t j = i + 1; j < spectra.size(); ++j) {
            const CSpectrum& second = spectra[j];
            const double d = first.precursor_mass - second.precursor_mass;
            const double distance = std::fabs(d);
            if (!(6.0 <= distance && distance <= 200.0)) continue;
            if (first.charge != 2 || second.charge != 2) continue;
            if (!first_ready) {
                prepared.CopyInto(i, first_peaks);
                first_ready = true;
            }
            prepared.CopyInto(j, second_peaks);
            const int32_t k = FindBestShift(first, second, first_peaks, second_peaks, d);
            const int32_t remainder = static_cast<int32_t>(d + 0.5) - k;
            const double shift = d - remainder;
            UseMethod(*similarity, SIMILAR_DOT_PRODUCT_MOD);
            const double score = similarity->ComputeScore(first_peaks, second_peaks, shift);
            if (score > threshold) {
                std::fprintf(pair_list.get(), "%s,%lf,%s,%lf,%lf,%lf, %d\n", first.file_name.c_str(),
                             first.precursor_mass, second.file_name.c_str(), second.precursor_mass, d, score, k);
            }
        }
    }
}

}  // namespace speclink::test::plain
