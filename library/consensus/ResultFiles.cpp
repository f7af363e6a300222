// The cluster result file and the single-spectrum file.

#include <cstdio>
#include <string>
#include <vector>

#include "speclink/library/common/FormattedText.h"
#include "speclink/library/common/StdioFile.h"
#include "speclink/library/consensus/RepresentativeSpectra.h"
#include "speclink/library/consensus/SpectrumText.h"
#include "speclink/library/platform/FileSystem.h"

namespace speclink {

bool CRepresentativeSpectra::WriteClusterResult(const std::vector<CSpectrum>& spectra,
                                                const ClusterLinkList& links) const {
    const StdioFile file = OpenStdioFile(spectra_process.cluster_result, "w");
    if (!file) return false;

    // Lines as "%d,%s,%d,%lf\n" writes them, made in memory and written a block at a time.
    constexpr size_t kBlockBytes = 1 << 20;
    const FixedPointWriter writer;
    std::string block;
    std::vector<bool> seen(links.size(), false);
    int32_t line_number = 1;
    int32_t cluster_number = 1;
    for (size_t first = 0; first < links.size(); ++first) {
        if (seen[first]) continue;
        for (int32_t member = static_cast<int32_t>(first); member != -1; member = links[member].next) {
            const CSpectrum& spectrum = spectra[member];
            block += std::to_string(line_number);
            block += ',';
            AppendCString(block, spectrum.file_name);
            block += ',';
            block += std::to_string(cluster_number);
            block += ',';
            writer.Append(block, spectrum.precursor_mass, 6);
            block += '\n';
            if (block.size() >= kBlockBytes) {
                std::fwrite(block.data(), 1, block.size(), file.get());
                block.clear();
            }
            seen[member] = true;
            ++line_number;
        }
        ++cluster_number;
    }
    std::fwrite(block.data(), 1, block.size(), file.get());
    return true;
}

void CRepresentativeSpectra::WriteSpectrumFile(const CSpectrum& spectrum, std::string path) {
    platform::WriteFileReplacing(path, SpectrumFileText(spectrum));
}

}  // namespace speclink
