// The cluster result file and the single-spectrum file.

#include <cstdio>
#include <string>
#include <vector>

#include "speclink/library/common/StdioFile.h"
#include "speclink/library/consensus/ClusterResultWriter.h"
#include "speclink/library/consensus/RepresentativeSpectra.h"
#include "speclink/library/consensus/SpectrumText.h"
#include "speclink/library/platform/FileSystem.h"

namespace speclink {

bool CRepresentativeSpectra::WriteClusterResult(const std::vector<CSpectrum>& spectra,
                                                const ClusterLinkList& links) const {
    const StdioFile file = OpenStdioFile(spectra_process.cluster_result, "w");
    if (!file) return false;
    ClusterResultWriter(file.get()).Write(spectra, links);
    return true;
}

void CRepresentativeSpectra::WriteSpectrumFile(const CSpectrum& spectrum, std::string path) {
    platform::WriteFileReplacing(path, SpectrumFileText(spectrum));
}

}  // namespace speclink
