#pragma once

#include "speclink/cli/EngineRun.h"

namespace speclink::mpi {

/// speclink cluster or modsearch on every process of an MPI run, with the files and standard
/// output of the run on one process, byte for byte:
///
/// 1. The inputs are shared out in order, by bytes: whole files, and pieces of large plain
///    MGF files cut at spectrum starts (each read from the state the pieces before end in).
///    Record names are made unique over the whole run as one process makes them.
/// 2. The records are exchanged into the job's order (charge, then precursor mass, then input
///    order) in shares sized by the pairs they are expected to score. Clustering moves each
///    share's last precursor group to the next share, so that a share is cut only where the
///    sweep starts a group; the modification search sends each rank the later spectra within
///    the mass window of its own, its partners.
/// 3. Each rank runs the engine on its share on its threads and writes its part of each file;
///    the first rank joins the parts, writes what needs the whole (temp.temp, the score
///    histogram, the offset profile), moves the files into place and prints the summary with
///    each rank's reading, exchange and engine time.
///
/// A rank that fails says why; every rank then stops with the highest exit status, and the
/// output directory holds nothing but the staging directory that the first rank removes.
/// What needs every record on one process is refused: --keep-order, --dta, --shift-search,
/// --memory.
void RunEngineMpi(const cli::EngineRequest& request);

}  // namespace speclink::mpi
