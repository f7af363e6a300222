#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "speclink/library/data/ClusterLink.h"
#include "speclink/library/data/Spectrum.h"

namespace speclink {

/// The lines of the cluster result file, "%d,%s,%d,%lf\n" (line number, spectrum name,
/// cluster number, [M+H]+), cluster by cluster in the order of their first members, each
/// cluster's members as its links chain them. A list may come in consecutive parts that
/// no cluster crosses, for a host that holds only part of a long list at a time: lines and
/// clusters are numbered on from part to part.
class ClusterResultWriter {
public:
    /// Writes to `file`, which stays the caller's; numbers lines from `first_line` and clusters
    /// from `first_cluster` (a part whose earlier parts another process writes).
    explicit ClusterResultWriter(std::FILE* file, int32_t first_line = 1, int32_t first_cluster = 1)
        : file_(file), line_number_(first_line), cluster_number_(first_cluster) {}

    /// The lines of the next part: `spectra` clustered as `links` (positions in `spectra`).
    void Write(const std::vector<CSpectrum>& spectra, const ClusterLinkList& links);

private:
    std::FILE* file_;
    int32_t line_number_;
    int32_t cluster_number_;
};

}  // namespace speclink
