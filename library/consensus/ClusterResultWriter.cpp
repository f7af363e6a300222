#include "speclink/library/consensus/ClusterResultWriter.h"

#include "speclink/library/common/FormattedText.h"

namespace speclink {

void ClusterResultWriter::Write(const std::vector<CSpectrum>& spectra, const ClusterLinkList& links) {
    // Lines made in memory and written a block at a time.
    constexpr size_t kBlockBytes = 1 << 20;
    const FixedPointWriter writer;
    std::string block;
    std::vector<bool> seen(links.size(), false);
    for (size_t first = 0; first < links.size(); ++first) {
        if (seen[first]) continue;
        for (int32_t member = static_cast<int32_t>(first); member != -1; member = links[member].next) {
            const CSpectrum& spectrum = spectra[member];
            block += std::to_string(line_number_);
            block += ',';
            AppendCString(block, spectrum.file_name);
            block += ',';
            block += std::to_string(cluster_number_);
            block += ',';
            writer.Append(block, spectrum.precursor_mass, 6);
            block += '\n';
            if (block.size() >= kBlockBytes) {
                std::fwrite(block.data(), 1, block.size(), file_);
                block.clear();
            }
            seen[member] = true;
            ++line_number_;
        }
        ++cluster_number_;
    }
    std::fwrite(block.data(), 1, block.size(), file_);
}

}  // namespace speclink
