// Consensus spectra: one per cluster of two or more spectra, plus the single spectra.

#include <algorithm>
#include <span>
#include <string>
#include <vector>

#include "speclink/library/common/InOrderWorkers.h"
#include "speclink/library/consensus/RepresentativeSpectra.h"
#include "speclink/library/consensus/SpectrumText.h"
#include "speclink/library/platform/FileSystem.h"

namespace speclink {

namespace {

// The clusters of two or more spectra, each as the members its chain walk visits: walks
// start at the lowest position not yet visited, in list order.
struct ClusterWalks {
    std::vector<int32_t> members;  // the walks one after the other
    std::vector<size_t> starts;    // where each walk begins in `members`, plus the end
};

// One file of the consensus step as a worker makes it: copied from `source` when that is
// set, otherwise written with `text`.
struct MadeFile {
    std::string path;
    std::string source;
    std::string text;
};

// Files per block of work: large enough to keep the threads' hand-over rare, small enough
// to keep the text held at any time small.
constexpr size_t kFilesPerBlock = 32;

}  // namespace

void CRepresentativeSpectra::GenerateConsensusSpectra(const std::vector<CSpectrum>& spectra,
                                                      const ClusterLinkList& links) const {
    const std::string& data_directory = spectra_process.data_directory;
    const std::string& out_directory = spectra_process.out_directory;
    const bool data_is_directory = platform::IsDirectory(data_directory);
    if (!platform::PathExists(out_directory)) platform::CreateDirectoryLevel(out_directory);

    // Spectra alone in their cluster are written first, then the consensus spectra; a file
    // written later replaces one of the same name written earlier.
    std::vector<int32_t> singles;
    std::vector<bool> done(links.size(), false);
    for (size_t k = 0; k < links.size(); ++k) {
        if (links[k].cluster != static_cast<int32_t>(k) || links[k].next != -1) continue;
        singles.push_back(static_cast<int32_t>(k));
        done[k] = true;
    }
    ClusterWalks walks;
    for (size_t first = 0; first < links.size(); ++first) {
        if (done[first]) continue;
        walks.starts.push_back(walks.members.size());
        for (int32_t member = static_cast<int32_t>(first); member != -1; member = links[member].next) {
            done[member] = true;
            walks.members.push_back(member);
        }
    }
    walks.starts.push_back(walks.members.size());

    // A single spectrum goes to the output directory as it is: copied when its file is at
    // hand, written from memory otherwise.
    const auto make_single = [&](int32_t k, MadeFile& made) {
        const std::string& file_name = spectra[k].file_name;
        made.path = platform::JoinPath(out_directory, file_name);
        if (data_is_directory) {
            made.source = platform::JoinPath(data_directory, file_name);
        } else {
            made.text = SpectrumFileText(spectra[k]);
        }
    };
    // A consensus spectrum: the pooled peaks of the members at the median precursor mass,
    // named after the first, the middle and the last member.
    const auto make_consensus = [&](size_t cluster, MadeFile& made) {
        const std::span<const int32_t> members(walks.members.data() + walks.starts[cluster],
                                               walks.starts[cluster + 1] - walks.starts[cluster]);
        std::vector<double> masses;
        PeakList merged;
        for (const int32_t member : members) {
            const CSpectrum& spectrum = spectra[member];
            merged.insert(merged.end(), spectrum.peaks.begin(), spectrum.peaks.end());
            masses.push_back(spectrum.precursor_mass);
        }
        const int32_t first = members.front();
        const size_t middle = members.size() / 2;
        std::sort(masses.begin(), masses.end());
        const std::string header = ConsensusHeader(masses[middle], spectra[first].charge);
        const std::string file_name = ExtractScanLabel(spectra[first].file_name) + "-" +
                                      ExtractScanLabel(spectra[members[middle]].file_name) + "-" +
                                      ExtractScanLabel(spectra[members.back()].file_name) + ".dta";
        std::sort(merged.begin(), merged.end(), ByMzAscending);
        made.path = platform::JoinPath(out_directory, file_name);
        made.text = ConsensusSpectrumText(merged, header);
    };

    // The texts are made on the workers; the files are written here, in order.
    const size_t clusters = walks.starts.size() - 1;
    RunInOrder<std::vector<MadeFile>>(
        singles.size() + clusters, kFilesPerBlock, threads, [] { return 0; },
        [&](int, size_t first, size_t end, std::vector<MadeFile>& made) {
            made.assign(end - first, MadeFile{});
            for (size_t item = first; item < end; ++item) {
                MadeFile& file = made[item - first];
                if (item < singles.size()) {
                    make_single(singles[item], file);
                } else {
                    make_consensus(item - singles.size(), file);
                }
            }
        },
        [](const std::vector<MadeFile>& made) {
            for (const MadeFile& file : made) {
                if (!file.source.empty()) {
                    platform::CopyFileReplacing(file.source, file.path);
                } else {
                    platform::WriteFileReplacing(file.path, file.text);
                }
            }
        });
}

bool CRepresentativeSpectra::WriteConsensusSpectrum(std::string path, PeakList merged, std::string header) const {
    return platform::WriteFileReplacing(path, ConsensusSpectrumText(merged, header));
}

}  // namespace speclink
