#pragma once

// The plain clustering algorithms, written as directly as possible: the yardstick that the
// engine's fast paths are compared with in the differential tests and the benchmark.
// - ReferenceMergeSingleLinkage searches the whole triangle again after every merge
//   (O(n^3) comparisons).
// - ReferenceClusterGroup prepares every member once and scores every pair through
//   CSimilarity::ComputeScore on fresh copies, reusing member i's list for all of its pairs
//   in the order the scorer left it.
// - ReferenceRun copies each spectrum into its group while sweeping and clusters every
//   group on the caller's thread.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "speclink/library/cluster/HierarchicalCluster.h"
#include "speclink/library/cluster/SingleLinkage.h"
#include "speclink/library/consensus/RepresentativeSpectra.h"
#include "speclink/library/data/SpectraProcess.h"
#include "speclink/library/peaks/PeakSelect.h"
#include "speclink/library/peaks/SqrtNormalize.h"
#include "speclink/library/scoring/Similarity.h"

namespace speclink::reference {

struct BestLink {
    ScaledScore score = 0;
    size_t first = 0;
    size_t second = 0;
};

// Highest link, searched d ascending, then e ascending; only a link above 0 counts.
inline BestLink FindBestLink(const ScoreTriangle& working, size_t n) {
    BestLink best;
    for (size_t d = 0; d < n; ++d) {
        for (size_t e = d + 1; e < n; ++e) {
            const ScaledScore score = working[PackedIndex(e, d)];
            if (score > best.score) best = {score, d, e};
        }
    }
    return best;
}

// `threshold` must be at least 0 (with a negative one the loop would merge a cluster with
// itself once no positive link is left).
inline void ReferenceMergeSingleLinkage(ScoreTriangle& working, ScaledScore threshold, ClusterLinkList& links) {
    const size_t n = links.size();
    BestLink best = FindBestLink(working, n);
    while (best.score > threshold) {
        const size_t bi = best.first;
        const size_t bj = best.second;
        size_t last = bi;
        while (links[last].next != -1) last = static_cast<size_t>(links[last].next);
        links[last].next = static_cast<int32_t>(bj);
        const int32_t head = links[bi].cluster;
        for (int32_t member = static_cast<int32_t>(bj); member != -1; member = links[member].next) {
            links[member].cluster = head;
        }
        working[PackedIndex(bj, bi)] = -1;
        for (size_t c = 0; c < n; ++c) {
            ScaledScore& toward_bi = working[PackedIndex(c, bi)];
            ScaledScore& toward_bj = working[PackedIndex(c, bj)];
            toward_bi = std::max(toward_bi, toward_bj);
            toward_bj = -1;
        }
        best = FindBestLink(working, n);
    }
}

inline PeakList ReferencePreparePeaks(const CSpectrum& member, const CPeakSelect* peak_select) {
    PeakList peaks = member.peaks;
    if (peak_select != nullptr) peak_select->SelectPeak(peaks);
    SqrtNormalize(peaks);
    return peaks;
}

// Fills the scaled pair scores of `group` the plain way; pairs of different charges keep -1.
inline ScoreTriangle ReferencePairScores(const std::vector<CSpectrum>& group, CSimilarity* similarity,
                                         const CPeakSelect* peak_select) {
    const size_t n = group.size();
    std::vector<PeakList> prepared;
    for (const CSpectrum& member : group) prepared.push_back(ReferencePreparePeaks(member, peak_select));
    ScoreTriangle scores(n * (n + 1) / 2, -1);
    for (size_t i = 0; i < n; ++i) {
        PeakList first = prepared[i];
        for (size_t j = i + 1; j < n; ++j) {
            if (group[i].charge != group[j].charge) continue;
            PeakList second = prepared[j];
            const double score =
                similarity != nullptr
                    ? similarity->ComputeScore(first, second, group[i].precursor_mass - group[j].precursor_mass)
                    : 0.0;
            scores[PackedIndex(j, i)] = ScaleScore(score);
        }
    }
    return scores;
}

inline void ReferenceClusterGroup(double threshold, const std::vector<CSpectrum>& group, ClusterLinkList& links,
                                  CSimilarity* similarity, RepresentativeList& representatives,
                                  const CPeakSelect* peak_select) {
    const ScaledScore scaled_threshold = ScaleThreshold(threshold);
    if (similarity != nullptr) {
        similarity->similar_method = SIMILAR_DOT_PRODUCT;
        similarity->fragment_ion_tol = 0.5;
        similarity->fragment_ion_tol_type = TOLERANCE_DA;
    }
    ScoreTriangle working = ReferencePairScores(group, similarity, peak_select);
    const ScoreTriangle reference = working;
    for (size_t i = 0; i < group.size(); ++i) links.push_back({static_cast<int32_t>(i), -1});
    ReferenceMergeSingleLinkage(working, scaled_threshold, links);
    PickRepresentatives(reference, links, representatives);
}

// The sweep of a clustering run, with every group copied and clustered on the spot.
inline void ReferenceRun(const CHierarchicalCluster& engine, const std::vector<CSpectrum>& spectra,
                         CSimilarity* similarity, const CPeakSelect* peak_select) {
    const CSpectraProcess* process = engine.spectra_process;
    if (process == nullptr || process->GetDataDirectory().empty()) {
        std::printf("Wrong data path!\n");
        std::fflush(stdout);
        return;
    }
    std::vector<CSpectrum> group;
    size_t group_start = 0;
    ClusterLinkList links;
    RepresentativeList representatives;
    const auto cluster_group = [&] {
        ClusterLinkList group_links;
        const size_t before = representatives.size();
        ReferenceClusterGroup(engine.threshold, group, group_links, similarity, representatives, peak_select);
        const auto offset = static_cast<int32_t>(links.size());
        for (ClusterLink link : group_links) {
            link.cluster += offset;
            if (link.next >= 0) link.next += offset;
            links.push_back(link);
        }
        for (size_t r = before; r < representatives.size(); ++r) representatives[r] += offset;
        group.clear();
    };
    const size_t step = spectra.size() / 10;
    size_t shown = 0;
    for (size_t i = 0; i < spectra.size(); ++i) {
        if (step != 0 && i / step != shown) {
            shown = i / step;
            std::printf("%d0%%..", static_cast<int>(shown));
        }
        const CSpectrum& current = spectra[i];
        if (group.empty()) {
            group.push_back(current);
            group_start = i;
            continue;
        }
        const CSpectrum& first = spectra[group_start];
        double distance = std::fabs(first.precursor_mass - current.precursor_mass);
        if (engine.precursor_ion_tol_type == TOLERANCE_PPM) distance = distance / current.precursor_mass * 1000000.0;
        if (distance < engine.precursor_ion_tol && first.charge == current.charge) {
            group.push_back(current);
            continue;
        }
        if (group.size() >= 2) {
            cluster_group();
        } else {
            const std::string file_name = group.front().file_name;
            group.clear();
            links.push_back({static_cast<int32_t>(links.size()), -1});
            engine.CopySpectrumFile(file_name);
        }
        group.push_back(current);
        group_start = i;
    }
    cluster_group();
    std::printf("Clustering done!\n");
    std::fflush(stdout);
    if (engine.representative_spectra != nullptr) {
        engine.representative_spectra->GenerateRepresentativeSpectra(spectra, links, representatives, *process);
    }
    std::fflush(stdout);
}

}  // namespace speclink::reference
