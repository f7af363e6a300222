// Consensus spectra: one per cluster of two or more spectra, plus the single spectra.

#include <algorithm>
#include <span>
#include <string>
#include <vector>

#include "speclink/library/common/InOrderWorkers.h"
#include "speclink/library/consensus/ConsensusSpectrum.h"
#include "speclink/library/consensus/RepresentativeSpectra.h"
#include "speclink/library/consensus/SpectrumText.h"
#include "speclink/library/platform/FileSystem.h"

namespace speclink {

namespace {

// One file of the consensus step as a worker makes it: copied from the data set under
// `copy` when that is set, otherwise written with `text`.
struct MadeFile {
    std::string path;
    std::string copy;
    std::string text;
};

// Files per block of work: large enough to keep the threads' hand-over rare, small enough
// to keep the text held at any time small.
constexpr size_t kFilesPerBlock = 32;

}  // namespace

void CRepresentativeSpectra::GenerateConsensusSpectra(const std::vector<CSpectrum>& spectra,
                                                      const ClusterLinkList& links) const {
    const std::string& out_directory = spectra_process.out_directory;
    // A spectrum source stands for a data directory that holds the spectra's files.
    const bool copies = spectra_process.spectrum_source != nullptr || platform::IsDirectory(spectra_process.data_directory);
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
    // hand, written from memory otherwise. A consensus spectrum is named after its first,
    // middle and last member.
    const auto make_single = [&](int32_t k, MadeFile& made) {
        const std::string& file_name = spectra[k].file_name;
        made.path = platform::JoinPath(out_directory, file_name);
        if (copies) {
            made.copy = file_name;
        } else {
            made.text = SpectrumFileText(spectra[k]);
        }
    };
    const FixedPointWriter writer;
    const auto make_consensus = [&](size_t cluster, MadeFile& made) {
        const ConsensusSpectrum consensus = MakeConsensusSpectrum(spectra, walks[cluster]);
        made.path = platform::JoinPath(out_directory, ConsensusFileName(spectra, walks[cluster]));
        made.text = ConsensusHeader(consensus.precursor_mass, consensus.charge);
        AppendPeakLines(made.text, writer, consensus.peaks);
    };

    // The texts are made on the workers; the files are written here, in order.
    RunInOrder<std::vector<MadeFile>>(
        singles.size() + walks.size(), kFilesPerBlock, threads, [] { return 0; },
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
        [&](const std::vector<MadeFile>& made) {
            for (const MadeFile& file : made) {
                if (!file.copy.empty()) {
                    CopySpectrumFileInto(spectra_process, file.copy);
                } else {
                    platform::WriteFileReplacing(file.path, file.text);
                }
            }
        });
}

bool CRepresentativeSpectra::WriteConsensusSpectrum(std::string path, PeakList merged, std::string header) const {
    std::string text = std::move(header);
    AppendPeakLines(text, FixedPointWriter(), ConsensusPeaks(merged));
    return platform::WriteFileReplacing(path, text);
}

}  // namespace speclink
