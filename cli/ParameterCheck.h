#pragma once

#include <string>
#include <vector>

#include "speclink/library/params/ParameterFileReading.h"

namespace speclink::cli {

/// A line of a parameter file that the library skips or reads otherwise than it says.
struct ParameterFinding {
    int line;             ///< 1-based; 0 for what concerns the whole file (a missing section)
    std::string message;  ///< what the line says, what the library does, and what it uses
    std::string key;      ///< the setting whose value it concerns, when a run may take it elsewhere
};

/// Checks a parameter file against how the library reads it: unknown keys, keys in the
/// wrong section or outside any, blanks before '=', values that are not numbers or units,
/// the precursor unit under the key the library does not read, repeated keys, names read in
/// lower case, over-long lines, missing sections whose defaults apply. A file the library
/// itself wrote with the precursor unit ppm gives no finding.
std::vector<ParameterFinding> CheckParameterFile(const ParameterFileReading& reading);

/// Reads a parameter file as the library reads it, after checking it. The findings go to
/// the standard error; with any of them the file is refused (UsageError) unless `lenient`.
/// Findings about the names in `replaced` (data_directory, out_directory), which the run
/// takes from its command line instead, are left out: they change nothing.
/// Throws InputError when the file cannot be read or its cluster type is neither 0 nor 1.
Settings ReadParameterFile(const std::string& path, bool lenient, const std::vector<std::string>& replaced = {});

/// "path:line: message" (or "path: message" for the whole file), one line each.
std::string FormatFindings(const std::string& path, const std::vector<ParameterFinding>& findings);

}  // namespace speclink::cli
