#pragma once

#include <string>
#include <vector>

#include "speclink/formats/ReadOptions.h"
#include "speclink/formats/ReadResult.h"
#include "speclink/formats/RecordEmitter.h"
#include "speclink/formats/SpectrumFormat.h"

namespace speclink {

/// Reads the spectra of `path` and hands each record to `sink` as soon as it is complete, so
/// memory does not grow with the file. `path` is a spectrum file in any format of
/// DetectFormat, gzip-compressed or not, or a directory of DTA files (its regular files named
/// *.dta or *.dta.gz, in name order; other files are ignored).
///
/// Records from multi-spectrum formats are named "base.scan.scan.charge.dta" after the input
/// file name without directory and extensions; DTA records keep their file's name.
///
/// Throws FormatError for content that breaks its format (see each reader), an empty file, a
/// format that cannot be told or a directory without DTA files; std::system_error when a file
/// cannot be opened; std::invalid_argument for an assigned charge below 1.
ReadResult ReadSpectra(const std::string& path, const ReadOptions& options, const SpectrumSink& sink);

/// Reads several inputs in order as one run; progress counts the bytes of all of them.
ReadResult ReadSpectra(const std::vector<std::string>& paths, const ReadOptions& options, const SpectrumSink& sink);

/// Reads every record of `path` into a list.
std::vector<CSpectrum> ReadAllSpectra(const std::string& path, const ReadOptions& options = {},
                                      ReadResult* result = nullptr);

}  // namespace speclink
