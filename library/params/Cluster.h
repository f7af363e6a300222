#pragma once

#include <cstdint>
#include <vector>

#include "speclink/library/data/Spectrum.h"
#include "speclink/library/params/Defaults.h"
#include "speclink/library/params/Enums.h"

namespace speclink {

class CSpectraProcess;
class CRepresentativeSpectra;
class CSimilarity;
class CPeakSelect;

/// Base of the two engines. An engine owns nothing it points at.
class CCluster {
public:
    CCluster(CSpectraProcess* process, CRepresentativeSpectra* representatives, double precursor_tol,
             Tolerance_Type precursor_tol_type, double threshold_value, int32_t type)
        : spectra_process(process),
          representative_spectra(representatives),
          precursor_ion_tol(precursor_tol),
          precursor_ion_tol_type(precursor_tol_type),
          threshold(threshold_value),
          cluster_type(type) {}
    CCluster(const CCluster&) = delete;
    CCluster& operator=(const CCluster&) = delete;
    virtual ~CCluster() = default;

    /// Runs the engine over `spectra` with the given scorer and peak selector.
    virtual void Run(const std::vector<CSpectrum>& spectra, CSimilarity* similarity,
                     CPeakSelect* peak_select) = 0;

    CSpectraProcess* spectra_process;                ///< not owned
    CRepresentativeSpectra* representative_spectra;  ///< not owned; null for Cluster_Type 1
    int32_t lower_mass = defaults::kLowerMass;              ///< Da
    int32_t upper_mass = defaults::kUpperMass;              ///< Da
    double cluster_masses_tol = defaults::kClusterMassesTol;  ///< Da
    double precursor_ion_tol;                        ///< Da or ppm
    Tolerance_Type precursor_ion_tol_type;
    double threshold;                                ///< similarity threshold, 0 to 1
    int32_t cluster_type;
    /// Worker threads for the parts of a run that can be shared out; 1 (the default) runs
    /// everything on the caller's thread. Outputs are the same for every count.
    int32_t threads = 1;
};

}  // namespace speclink
