#pragma once

#include <cstdint>
#include <string>

namespace speclink::cli {

/// Bytes from a size such as "4G", "512M", "1.5GB", "800KiB" or "1000000" (K, M, G and T in
/// powers of 1024); throws std::invalid_argument for anything else, or for less than 1 MiB.
uint64_t ParseByteSize(const std::string& text);

/// The memory a run's records may take by default: three quarters of what the machine has
/// available when the run starts, or of the run's own limit (a cgroup's, as batch systems
/// set) when that is lower.
uint64_t DefaultMemoryBound();

/// "1.2 GiB", "350.0 MiB", "12.0 KiB" (powers of 1024, one decimal), as --memory counts.
std::string FormatBytes(uint64_t bytes);

}  // namespace speclink::cli
