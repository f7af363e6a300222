#pragma once

#include <cstddef>
#include <filesystem>

namespace speclink::cli {

// The library writes its result files without checking single writes, so a full device or a
// file size limit leaves them cut short without a word. These checks find that afterwards.

/// Throws OutputError when the file system holding `directory` has no free block or no free
/// file entry left (as the current user counts them: root may use the reserved blocks).
void RequireSpaceLeft(const std::filesystem::path& directory);

/// Throws OutputError when `file` is not a regular file or does not end with a line end
/// (a write cut short). An empty file is whole.
void RequireWholeFile(const std::filesystem::path& file);

}  // namespace speclink::cli
