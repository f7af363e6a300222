#include "speclink/library/consensus/RepresentativeSpectra.h"

#include <cstdio>


namespace speclink {

void CRepresentativeSpectra::GenerateRepresentativeSpectra(const std::vector<CSpectrum>& spectra,
                                                           const ClusterLinkList& links,
                                                           const RepresentativeList& representatives,
                                                           CSpectraProcess process) {
    spectra_process.spectra = std::move(process.spectra);
    spectra_process.data_directory = std::move(process.data_directory);
    spectra_process.out_directory = std::move(process.out_directory);
    spectra_process.cluster_result = std::move(process.cluster_result);
    spectra_process.data_type = process.data_type;
    spectra_process.small_peaks_count_filter = process.small_peaks_count_filter;
    spectra_process.spectrum_source = process.spectrum_source;

    if (!WriteClusterResult(spectra, links)) std::printf("Cannot generate the clustering result file!\n");
    std::printf("Generating consensus spectra...\n");

    const bool consensus =
        consensus_type == CONSENSUS_SPECTRA || consensus_type == CONSENSUS_SPECTRA_AND_REPRESENTATIVES;
    const bool copies =
        consensus_type == CONSENSUS_REPRESENTATIVES || consensus_type == CONSENSUS_SPECTRA_AND_REPRESENTATIVES;
    if (consensus) GenerateConsensusSpectra(spectra, links);
    if (copies) {
        for (const int32_t representative : representatives) CopySpectrumFile(spectra[representative].file_name);
    }
    std::fflush(stdout);
}

void CRepresentativeSpectra::CopySpectrumFile(std::string file_name) const {
    speclink::CopySpectrumFile(spectra_process, file_name);
}

}  // namespace speclink
