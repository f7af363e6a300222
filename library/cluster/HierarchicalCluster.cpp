#include "speclink/library/cluster/HierarchicalCluster.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>
#include <vector>

#include "speclink/library/cluster/GroupScheduler.h"
#include "speclink/library/cluster/PrecursorSweep.h"
#include "speclink/library/cluster/SingleLinkage.h"
#include "speclink/library/consensus/RepresentativeSpectra.h"
#include "speclink/library/data/SpectraProcess.h"
#include "speclink/library/scoring/Similarity.h"

namespace speclink {

namespace {

// The progress text of the sweep: "10%..", "20%..", ... as the sweep passes each tenth of
// the list. Lists of fewer than 10 spectra show none.
class ProgressText {
public:
    explicit ProgressText(size_t count) : step_(count / 10) {}

    // Shows what the sweep shows on reaching each position before `end`.
    void ShowUpTo(size_t end) {
        if (step_ == 0) return;
        for (; next_ < end; ++next_) {
            const size_t progress = next_ / step_;
            if (progress == shown_) continue;
            std::printf("%d0%%..", static_cast<int>(progress));
            shown_ = progress;
        }
    }

private:
    size_t step_;
    size_t next_ = 0;
    size_t shown_ = 0;
};

}  // namespace

void CHierarchicalCluster::Run(const std::vector<CSpectrum>& spectra, CSimilarity* similarity,
                               CPeakSelect* peak_select) {
    if (spectra_process == nullptr || spectra_process->GetDataDirectory().empty()) {
        std::printf("Wrong data path!\n");
        std::fflush(stdout);
        return;
    }
    ProgressText progress(spectra.size());
    last_clustering_ =
        ClusterSpectra(spectra, similarity, peak_select, [&](std::size_t passed) { progress.ShowUpTo(passed); });
    WriteClustering(spectra, last_clustering_);
}

Clustering CHierarchicalCluster::ClusterSpectra(const std::vector<CSpectrum>& spectra, CSimilarity* similarity,
                                                CPeakSelect* peak_select,
                                                const std::function<void(std::size_t)>& progress) const {
    const double at[] = {threshold};
    std::vector<Clustering> clustering = ClusterSpectraAt(spectra, similarity, peak_select, at, progress);
    return std::move(clustering.front());
}

std::vector<Clustering> CHierarchicalCluster::ClusterSpectraAt(const std::vector<CSpectrum>& spectra,
                                                               CSimilarity* similarity, CPeakSelect* peak_select,
                                                               std::span<const double> thresholds,
                                                               const std::function<void(std::size_t)>& progress) const {
    // Every group is scored this way; the scorer keeps the settings after the run.
    if (similarity != nullptr) UseMethodAtHalfDalton(*similarity, SIMILAR_DOT_PRODUCT);

    const std::vector<PrecursorGroup> groups = SweepPrecursorGroups(spectra, precursor_ion_tol, precursor_ion_tol_type);
    std::vector<PrecursorGroup> clustered;
    for (const PrecursorGroup& group : groups) {
        if (group.clustered) clustered.push_back(group);
    }
    std::vector<Clustering> result(thresholds.size());
    std::vector<ScaledScore> scaled;
    std::vector<ClusterLinkList*> links;
    for (std::size_t t = 0; t < thresholds.size(); ++t) {
        result[t].groups = groups;
        result[t].links.resize(spectra.size());
        scaled.push_back(ScaleThreshold(thresholds[t]));
        links.push_back(&result[t].links);
    }
    // Each group writes the links of its own positions; the caller's thread writes those of
    // single spectra and collects the representatives in list order while the groups are
    // clustered.
    GroupScheduler scheduler(spectra, std::move(clustered), std::move(scaled), similarity, peak_select, threads,
                             std::move(links));
    std::size_t next_clustered = 0;
    for (const PrecursorGroup& group : groups) {
        // The sweep closes a group on reaching the spectrum after it.
        if (progress) progress(std::min(group.start + group.size + 1, spectra.size()));
        if (group.clustered) {
            const std::vector<RepresentativeList>& chosen = scheduler.Wait(next_clustered++);
            for (std::size_t t = 0; t < result.size(); ++t) {
                result[t].representatives.insert(result[t].representatives.end(), chosen[t].begin(), chosen[t].end());
            }
        } else {
            for (Clustering& clustering : result) clustering.links[group.start] = {static_cast<int32_t>(group.start), -1};
        }
    }
    return result;
}

void CHierarchicalCluster::WriteClustering(const std::vector<CSpectrum>& spectra,
                                           const Clustering& clustering) const {
    for (const PrecursorGroup& group : clustering.groups) {
        if (!group.clustered) CopySpectrumFile(spectra[group.start].file_name);
    }
    std::printf("Clustering done!\n");
    std::fflush(stdout);
    // The consensus step receives its own copy of the data-set settings.
    if (representative_spectra != nullptr && spectra_process != nullptr) {
        representative_spectra->GenerateRepresentativeSpectra(spectra, clustering.links, clustering.representatives,
                                                              *spectra_process);
    }
    std::fflush(stdout);
}

void CHierarchicalCluster::CopySpectrumFile(std::string file_name) const {
    if (spectra_process != nullptr) speclink::CopySpectrumFile(*spectra_process, file_name);
}

}  // namespace speclink
