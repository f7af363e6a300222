#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "speclink/formats/ReadResult.h"
#include "speclink/library/data/Spectrum.h"

namespace speclink::cli {

/// What one input path gave.
struct InputFileReport {
    std::string path;
    ReadResult result;
    bool directory = false;  ///< a directory of DTA files
};

/// Where a record came from: its input and the native id of its spectrum.
struct RecordOrigin {
    uint32_t input = 0;     ///< index into InputSpectra::files
    std::string native_id;  ///< the spectrum's id as its file writes it
};

/// The records of a run, each with its origin, and what each input gave.
struct InputSpectra {
    std::vector<CSpectrum> spectra;
    std::vector<RecordOrigin> origins;  ///< one per record, in the same order
    std::vector<InputFileReport> files;
    /// Records renamed to keep names unique (see MakeNamesUnique).
    std::size_t renamed = 0;

    /// The file the spectrum file of record `k` can be copied from as it stands: a DTA
    /// input's own file; empty for a record of any other format.
    std::filesystem::path VerbatimSource(std::size_t k) const;
};

/// Reads every input (file or directory of DTA files, gzip or not) in the given order.
/// `assign_charges` gives charges to spectra that carry none (one record per charge); when
/// empty such spectra are skipped and counted. Throws FormatError or std::runtime_error
/// naming the file. Shows a progress bar on a terminal. MGF files are parsed on `threads`
/// threads while they are read; the result is the same for every count. Record names are
/// made unique (MakeNamesUnique).
InputSpectra ReadInputs(const std::vector<std::string>& paths, const std::vector<int>& assign_charges,
                        int threads = 1);

/// Gives every record a name no earlier record has: a record whose name is taken (the same
/// base name in two inputs, a scan number repeated within a file) gets "_2", "_3", ... after
/// the part of its name before the first dot, the first such name that is free
/// ("run.7.7.2.dta" becomes "run_2.7.7.2.dta"). Counts the renamed records.
void MakeNamesUnique(InputSpectra& input);

/// Orders the records for the clustering sweep: by charge, then precursor mass; records
/// that compare equal keep their input order.
void OrderForClustering(InputSpectra& input);

/// Orders the records for the modification search so that every pair it compares is
/// compared with its mass difference as the shift (a positive one): by charge, highest
/// first, so that the 3 of a 3 -> 2 pair comes before the 2 as the charge rule needs; then by
/// precursor mass, heaviest first. Records that compare equal keep their input order.
void OrderForModificationSearch(InputSpectra& input);

}  // namespace speclink::cli
