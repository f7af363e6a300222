// Single-linkage clustering of one precursor group.

#include <vector>

#include "cluster/HierarchicalCluster.h"
#include "cluster/SingleLinkage.h"
#include "peaks/PeakSelect.h"
#include "peaks/SqrtNormalize.h"
#include "scoring/Similarity.h"

namespace speclink {

namespace {

// The peaks a member is scored with: reduced by the selector, then square-root scaled.
PeakList PreparePeaks(const CSpectrum& member, const CPeakSelect* peak_select) {
    PeakList peaks = member.peaks;
    if (peak_select != nullptr) peak_select->SelectPeak(peaks);
    SqrtNormalize(peaks);
    return peaks;
}

}  // namespace

void CHierarchicalCluster::ClusterGroup(const std::vector<CSpectrum>& group, ClusterLinkList& links,
                                        CSimilarity* similarity, RepresentativeList& representatives,
                                        CPeakSelect* peak_select) const {
    const ScaledScore scaled_threshold = ScaleThreshold(threshold);
    if (similarity != nullptr) {
        similarity->similar_method = SIMILAR_DOT_PRODUCT;
        similarity->fragment_ion_tol = 0.5;
        similarity->fragment_ion_tol_type = TOLERANCE_DA;
    }

    const size_t n = group.size();
    // Preparation depends only on the member, so each member is prepared once; every pair
    // scores fresh copies of the prepared lists, since the scorer reorders what it gets.
    std::vector<PeakList> prepared;
    prepared.reserve(n);
    for (const CSpectrum& member : group) prepared.push_back(PreparePeaks(member, peak_select));

    // Pairs that are never scored (members of different charges) keep -1, no link.
    ScoreTriangle working(n * (n + 1) / 2, -1);
    for (size_t i = 0; i < n; ++i) {
        links.push_back({static_cast<int32_t>(i), -1});
        // The first list of a pair is reused for all of member i's pairs, in the order
        // that the previous score left it.
        PeakList first = prepared[i];
        for (size_t j = i + 1; j < n; ++j) {
            if (group[i].charge != group[j].charge) continue;
            PeakList second = prepared[j];
            const double score =
                similarity != nullptr
                    ? similarity->ComputeScore(first, second, group[i].precursor_mass - group[j].precursor_mass)
                    : 0.0;
            working[PackedIndex(j, i)] = ScaleScore(score);
        }
    }
    const ScoreTriangle reference = working;

    MergeSingleLinkage(working, scaled_threshold, links);
    PickRepresentatives(reference, links, representatives);
}

}  // namespace speclink
