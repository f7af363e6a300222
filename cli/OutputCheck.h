#pragma once

#include <cstddef>
#include <filesystem>

namespace speclink::cli {

// The library writes its result files without checking single writes, so a full device or a
// file size limit leaves them cut short without a word. These checks find that afterwards.

/// Throws OutputError when the file system holding `directory` has no free block or no free
/// file entry left (as the current user counts them: root may use the reserved blocks).
void RequireSpaceLeft(const std::filesystem::path& directory);

/// Number of lines of a text file. Throws OutputError when it is not a regular file, cannot
/// be read, or its last line lacks its line end (a write cut short).
size_t CountCompleteLines(const std::filesystem::path& file);

/// Throws OutputError unless the cluster result file `result` holds one complete line per
/// spectrum, `spectra` in all.
void RequireClusterResult(const std::filesystem::path& result, size_t spectra);

}  // namespace speclink::cli
