// Consensus spectra: one per cluster of two or more spectra, plus the single spectra.

#include <algorithm>
#include <cstdio>
#include <vector>

#include "consensus/RepresentativeSpectra.h"
#include "consensus/TextOutputFile.h"
#include "peaks/PeakSelect.h"
#include "platform/FileSystem.h"

namespace speclink {

namespace {

// The header line of a consensus spectrum: precursor mass and charge.
std::string ConsensusHeader(double precursor_mass, int32_t charge) {
    const int length = std::snprintf(nullptr, 0, "%f %d\n", precursor_mass, charge);
    std::string header(static_cast<size_t>(length), '\0');
    std::snprintf(header.data(), header.size() + 1, "%f %d\n", precursor_mass, charge);
    return header;
}

}  // namespace

void CRepresentativeSpectra::GenerateConsensusSpectra(const std::vector<CSpectrum>& spectra,
                                                      const ClusterLinkList& links) const {
    const std::string& data_directory = spectra_process.data_directory;
    const std::string& out_directory = spectra_process.out_directory;
    const bool data_is_directory = platform::IsDirectory(data_directory);
    if (!platform::PathExists(out_directory)) platform::CreateDirectoryLevel(out_directory);

    // Spectra alone in their cluster go to the output directory as they are: copied when
    // their files are at hand, written from memory otherwise.
    std::vector<bool> done(links.size(), false);
    for (size_t k = 0; k < links.size(); ++k) {
        if (links[k].cluster != static_cast<int32_t>(k) || links[k].next != -1) continue;
        const std::string& file_name = spectra[k].file_name;
        if (data_is_directory) {
            platform::CopyFileReplacing(platform::JoinPath(data_directory, file_name),
                                        platform::JoinPath(out_directory, file_name));
        } else {
            WriteSpectrumFile(spectra[k], platform::JoinPath(out_directory, file_name));
        }
        done[k] = true;
    }

    for (size_t first = 0; first < links.size(); ++first) {
        if (done[first]) continue;
        std::vector<int32_t> members;
        std::vector<double> masses;
        PeakList merged;
        for (int32_t member = static_cast<int32_t>(first); member != -1; member = links[member].next) {
            done[member] = true;
            members.push_back(member);
            const CSpectrum& spectrum = spectra[member];
            merged.insert(merged.end(), spectrum.peaks.begin(), spectrum.peaks.end());
            masses.push_back(spectrum.precursor_mass);
        }

        const size_t middle = members.size() / 2;
        std::sort(masses.begin(), masses.end());
        const std::string header = ConsensusHeader(masses[middle], spectra[first].charge);
        const std::string file_name = ExtractScanLabel(spectra[first].file_name) + "-" +
                                      ExtractScanLabel(spectra[members[middle]].file_name) + "-" +
                                      ExtractScanLabel(spectra[members.back()].file_name) + ".dta";
        std::sort(merged.begin(), merged.end(), ByMzAscending);
        WriteConsensusSpectrum(platform::JoinPath(out_directory, file_name), std::move(merged), header);
    }
}

bool CRepresentativeSpectra::WriteConsensusSpectrum(std::string path, PeakList merged, std::string header) const {
    const TextOutputFile file = OpenTextForWriting(path);
    if (!file) return false;
    std::fputs(header.c_str(), file.get());

    PeakList consensus = MergeConsensusPeaks(merged);
    // The ten most intense merged peaks of every 100 m/z window, in ascending m/z.
    const CPeakSelect window_top(PEAK_SELECT_PART_TOP, 0, 10, 100);
    window_top.SelectPeak(consensus);
    for (const Peak& peak : consensus) std::fprintf(file.get(), "%f %f\n", peak.mz, peak.intensity);
    return true;
}

}  // namespace speclink
