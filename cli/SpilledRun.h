#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "speclink/cli/EngineRun.h"
#include "speclink/cli/InputSpectra.h"
#include "speclink/cli/RunSummary.h"
#include "speclink/library/params/Para.h"

namespace speclink::cli {

/// speclink cluster over records spilled to disk (input.spilled), a bucket at a time in
/// sweep order. Each bucket's records are ordered as OrderForClustering orders them; the last
/// precursor group of what is at hand is carried into the next bucket, so that every part
/// clustered is a run of whole groups, as the run over all records in memory would meet
/// them; the files are written part by part and are the same as that run's. Counts the
/// clusters into `summary`; gives how many precursor groups crossed a bucket edge.
std::size_t ClusterSpilled(const EngineRequest& request, const Settings& settings, const InputSpectra& input,
                           CPara& para, const std::filesystem::path& staging, const std::string& result,
                           RunSummary& summary);

/// speclink modsearch over records spilled to disk, a bucket at a time in the search's
/// order (charge, then mass, highest first). The records of each bucket are searched as rows,
/// a share of them at a time, with every later record they can pair with: the rest of the
/// bucket, and the buckets that follow within the mass window (and, when the method pairs
/// charge 3 with 2, the doubly charged buckets around it). The files and output are those of
/// the run over all records in memory. Gives how many buckets took partners from other
/// buckets.
std::size_t SearchSpilled(const InputSpectra& input, CPara& para);

}  // namespace speclink::cli
