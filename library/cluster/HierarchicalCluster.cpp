#include "cluster/HierarchicalCluster.h"

#include <cmath>
#include <cstdio>

#include "consensus/RepresentativeSpectra.h"
#include "data/SpectraProcess.h"
#include "platform/FileSystem.h"

namespace speclink {

namespace {

// Shifts the links and representatives of a group, local to it, to whole-list positions
// and appends them.
void AppendGroupResult(const ClusterLinkList& group_links, size_t representatives_before, ClusterLinkList& links,
                       RepresentativeList& representatives) {
    const auto offset = static_cast<int32_t>(links.size());
    for (ClusterLink link : group_links) {
        link.cluster += offset;
        if (link.next >= 0) link.next += offset;
        links.push_back(link);
    }
    for (size_t r = representatives_before; r < representatives.size(); ++r) representatives[r] += offset;
}

}  // namespace

void CHierarchicalCluster::Run(const std::vector<CSpectrum>& spectra, CSimilarity* similarity,
                               CPeakSelect* peak_select) {
    if (spectra_process == nullptr || spectra_process->GetDataDirectory().empty()) {
        std::printf("Wrong data path!\n");
        std::fflush(stdout);
        return;
    }

    std::vector<CSpectrum> group;
    size_t group_start = 0;
    ClusterLinkList links;
    RepresentativeList representatives;
    links.reserve(spectra.size());

    // Clusters the group and appends its result.
    const auto cluster_group = [&] {
        ClusterLinkList group_links;
        const size_t representatives_before = representatives.size();
        ClusterGroup(group, group_links, similarity, representatives, peak_select);
        AppendGroupResult(group_links, representatives_before, links, representatives);
        group.clear();
    };

    const size_t progress_step = spectra.size() / 10;
    size_t progress_shown = 0;
    for (size_t i = 0; i < spectra.size(); ++i) {
        if (progress_step != 0) {
            const size_t progress = i / progress_step;
            if (progress != progress_shown) {
                std::printf("%d0%%..", static_cast<int>(progress));
                progress_shown = progress;
            }
        }

        const CSpectrum& current = spectra[i];
        if (group.empty()) {
            group.push_back(current);
            group_start = i;
            continue;
        }
        const CSpectrum& first = spectra[group_start];
        double distance = std::fabs(first.precursor_mass - current.precursor_mass);
        if (precursor_ion_tol_type == TOLERANCE_PPM) distance = distance / current.precursor_mass * 1000000.0;
        if (distance < precursor_ion_tol && first.charge == current.charge) {
            group.push_back(current);
            continue;
        }

        if (group.size() >= 2) {
            cluster_group();
        } else {
            const std::string file_name = group.front().file_name;
            group.clear();
            links.push_back({static_cast<int32_t>(links.size()), -1});
            CopySpectrumFile(file_name);
        }
        group.push_back(current);
        group_start = i;
    }
    cluster_group();

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
