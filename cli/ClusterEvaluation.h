#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace speclink::cli {

/// How pure and how complete a clustering is, as the clustering literature measures it.
struct ClusterQuality {
    std::size_t spectra = 0;
    std::size_t clusters = 0;
    std::size_t identified = 0;  ///< spectra with a label
    /// Spectra in clusters of two or more, over all spectra.
    double clustered_ratio = 0.0;
    /// Over the identified spectra in clusters of two or more, those that do not carry their
    /// cluster's most common label (ties go to the label seen first).
    double incorrect_ratio = 0.0;
    /// 1 - H(C|P) / H(P) over the identified spectra, singletons included: 1 when every
    /// label's spectra share one cluster (and when there is at most one label).
    double completeness = 1.0;
};

/// The quality of a clustering: `clusters[k]` is spectrum k's cluster, `labels[k]` its
/// label (peptide and charge), or -1 when unidentified.
ClusterQuality EvaluateClustering(const std::vector<uint32_t>& clusters, const std::vector<int32_t>& labels);

/// The label of an identification: the peptide in upper case with I read as L (they weigh
/// the same), then "/" and the charge.
std::string IdentificationLabel(const std::string& peptide, int charge);

}  // namespace speclink::cli
