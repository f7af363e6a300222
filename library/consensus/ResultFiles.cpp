// The cluster result file and the single-spectrum file.

#include <cstdio>
#include <vector>

#include "common/StdioFile.h"
#include "consensus/RepresentativeSpectra.h"
#include "consensus/SpectrumText.h"
#include "platform/FileSystem.h"

namespace speclink {

bool CRepresentativeSpectra::WriteClusterResult(const std::vector<CSpectrum>& spectra,
                                                const ClusterLinkList& links) const {
    const StdioFile file = OpenStdioFile(spectra_process.cluster_result, "w");
    if (!file) return false;

    std::vector<bool> seen(links.size(), false);
    int32_t line_number = 1;
    int32_t cluster_number = 1;
    for (size_t first = 0; first < links.size(); ++first) {
        if (seen[first]) continue;
        for (int32_t member = static_cast<int32_t>(first); member != -1; member = links[member].next) {
            const CSpectrum& spectrum = spectra[member];
            std::fprintf(file.get(), "%d,%s,%d,%lf\n", line_number, spectrum.file_name.c_str(), cluster_number,
                         spectrum.precursor_mass);
            seen[member] = true;
            ++line_number;
        }
        ++cluster_number;
    }
    return true;
}

void CRepresentativeSpectra::WriteSpectrumFile(const CSpectrum& spectrum, std::string path) {
    platform::WriteFileReplacing(path, SpectrumFileText(spectrum));
}

}  // namespace speclink
