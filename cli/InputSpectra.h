#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "speclink/library/data/Spectrum.h"
#include "speclink/formats/ReadResult.h"

namespace speclink::cli {

/// What one input path gave.
struct InputFileReport {
    std::string path;
    ReadResult result;
};

/// The spectra of a run with, per record, the file it can be copied from verbatim: a DTA
/// input's own file, or empty when the record came from another format.
struct InputSpectra {
    std::vector<CSpectrum> spectra;
    std::vector<std::filesystem::path> sources;
    std::vector<InputFileReport> files;
};

/// Reads every input (file or directory of DTA files, gzip or not) in the given order.
/// `assign_charges` gives charges to spectra that carry none (one record per charge); when
/// empty such spectra are skipped and counted. Throws FormatError or std::runtime_error
/// naming the file. Shows a progress bar on a terminal. MGF files are parsed on `threads`
/// threads while they are read; the result is the same for every count.
InputSpectra ReadInputs(const std::vector<std::string>& paths, const std::vector<int>& assign_charges,
                        int threads = 1);

/// Orders the records for the clustering sweep: by charge, then precursor mass; records
/// that compare equal keep their input order.
void OrderForClustering(InputSpectra& input);

/// Throws std::runtime_error naming both records when two records share a file name, since
/// their output files would overwrite each other.
void RequireUniqueNames(const InputSpectra& input);

}  // namespace speclink::cli
