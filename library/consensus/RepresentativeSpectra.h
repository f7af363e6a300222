#pragma once

#include <string>
#include <vector>

#include "speclink/library/data/ClusterLink.h"
#include "speclink/library/data/SpectraProcess.h"
#include "speclink/library/params/Defaults.h"
#include "speclink/library/params/Enums.h"
#include "speclink/library/peaks/PeakList.h"

namespace speclink {

/// Turns a finished clustering into files: the cluster result file, consensus spectra,
/// single spectra and copies of the representatives, as `consensus_type` says.
class CRepresentativeSpectra {
public:
    CRepresentativeSpectra(Representative_Spectra type, double fragment_tol, Tolerance_Type fragment_tol_type)
        : consensus_type(type),
          consensus_fragment_tol(fragment_tol),
          consensus_fragment_tol_type(fragment_tol_type),
          spectra_process(defaults::kDataType, "", "", "", defaults::kSmallPeaksCountFilter) {}

    void GenerateRepresentativeSpectra(const std::vector<CSpectrum>& spectra, const ClusterLinkList& links,
                                       const RepresentativeList& representatives, CSpectraProcess process);

    /// Writes one line per spectrum, cluster by cluster, to `cluster_result`.
    bool WriteClusterResult(const std::vector<CSpectrum>& spectra, const ClusterLinkList& links) const;

    void GenerateConsensusSpectra(const std::vector<CSpectrum>& spectra, const ClusterLinkList& links) const;

    bool WriteConsensusSpectrum(std::string path, PeakList merged, std::string header) const;

    /// Merges peaks of an m/z-ascending list lying less than 0.4 above a reference peak.
    static PeakList MergeConsensusPeaks(const PeakList& merged);

    /// "base.12.15.2.dta" -> "12.2"; "" for names with fewer than four dots.
    static std::string ExtractScanLabel(std::string file_name);

    void CopySpectrumFile(std::string file_name) const;

    static void WriteSpectrumFile(const CSpectrum& spectrum, std::string path);

    Representative_Spectra consensus_type;
    double consensus_fragment_tol;  ///< Da or ppm; stored for the parameter file
    Tolerance_Type consensus_fragment_tol_type;
    CSpectraProcess spectra_process;
    /// Worker threads that make the consensus and single spectra; the files are written
    /// on the caller's thread in the same order for every count. 1 (the default) makes
    /// everything on the caller's thread.
    int32_t threads = 1;
};

}  // namespace speclink
