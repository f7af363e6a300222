#include "speclink/library/cluster/HierarchicalCluster.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>
#include <vector>

#include "speclink/library/cluster/GroupScheduler.h"
#include "speclink/library/cluster/SingleLinkage.h"
#include "speclink/library/consensus/RepresentativeSpectra.h"
#include "speclink/library/data/SpectraProcess.h"
#include "speclink/library/platform/FileSystem.h"

namespace speclink {

namespace {

// A precursor group found by the sweep: `size` spectra from `start` on. A group of one
// spectrum closed inside the sweep is not clustered; its file is copied instead.
struct SweptGroup {
    size_t start;
    size_t size;
    bool clustered;
};

// Cuts the list into precursor groups: consecutive spectra of the first one's charge whose
// precursor masses lie within the tolerance of the first one's. The last group is always
// clustered, whatever its size (also when the list is empty).
std::vector<SweptGroup> Sweep(const std::vector<CSpectrum>& spectra, double tolerance, Tolerance_Type unit) {
    std::vector<SweptGroup> groups;
    size_t start = 0;
    size_t size = 0;
    for (size_t i = 0; i < spectra.size(); ++i) {
        if (size == 0) {
            start = i;
            size = 1;
            continue;
        }
        const CSpectrum& first = spectra[start];
        const CSpectrum& current = spectra[i];
        double distance = std::fabs(first.precursor_mass - current.precursor_mass);
        if (unit == TOLERANCE_PPM) distance = distance / current.precursor_mass * 1000000.0;
        if (distance < tolerance && first.charge == current.charge) {
            ++size;
            continue;
        }
        groups.push_back({start, size, size >= 2});
        start = i;
        size = 1;
    }
    groups.push_back({start, size, true});
    return groups;
}

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
    // Every group is scored this way; the scorer keeps the settings after the run.
    SwitchToDotProduct(similarity);

    const std::vector<SweptGroup> swept = Sweep(spectra, precursor_ion_tol, precursor_ion_tol_type);
    std::vector<GroupSpan> clustered;
    for (const SweptGroup& group : swept) {
        if (group.clustered) clustered.push_back({group.start, group.size});
    }

    // Each group writes the links of its own positions; the caller's thread writes those
    // of single spectra, copies their files and prints the progress, all in list order,
    // while the groups are clustered.
    ClusterLinkList links(spectra.size());
    RepresentativeList representatives;
    {
        GroupScheduler scheduler(spectra, std::move(clustered), ScaleThreshold(threshold), similarity, peak_select,
                                 threads, links);
        ProgressText progress(spectra.size());
        size_t next_clustered = 0;
        for (const SweptGroup& group : swept) {
            // The sweep closes a group on reaching the spectrum after it, after showing the
            // progress of that position.
            progress.ShowUpTo(std::min(group.start + group.size + 1, spectra.size()));
            if (group.clustered) {
                const RepresentativeList& chosen = scheduler.Wait(next_clustered++);
                representatives.insert(representatives.end(), chosen.begin(), chosen.end());
            } else {
                links[group.start] = {static_cast<int32_t>(group.start), -1};
                CopySpectrumFile(spectra[group.start].file_name);
            }
        }
    }

    std::printf("Clustering done!\n");
    std::fflush(stdout);
    // The consensus step receives its own copy of the data-set settings.
    if (representative_spectra != nullptr) {
        representative_spectra->GenerateRepresentativeSpectra(spectra, links, representatives, *spectra_process);
    }
    std::fflush(stdout);
}

void CHierarchicalCluster::CopySpectrumFile(std::string file_name) const {
    if (spectra_process == nullptr) return;
    const std::string out_directory = spectra_process->GetOutDirectory();
    const std::string data_directory = spectra_process->GetDataDirectory();
    if (!platform::PathExists(out_directory)) platform::CreateDirectoryLevel(out_directory);
    platform::CopyFileReplacing(platform::JoinPath(data_directory, file_name),
                                platform::JoinPath(out_directory, file_name));
}

}  // namespace speclink
