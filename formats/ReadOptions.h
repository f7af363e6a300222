#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace speclink {

/// Choices a caller makes when reading spectrum files.
struct ReadOptions {
    /// Charges given to a spectrum that carries none (no charge, or charge 0): one record per
    /// charge, in this order. Empty: such spectra are skipped and counted.
    std::vector<int> assign_charges;
    /// Called as the input is consumed with (bytes read, total bytes) of the files of the run,
    /// counted in file bytes (compressed bytes for gzip files).
    std::function<void(uint64_t bytes_read, uint64_t total_bytes)> progress;
    /// Threads that parse the spectra of MGF files while the file is read; 1 parses them on
    /// the caller's thread. Records, counts and errors are the same for every count; the
    /// sink and `progress` may be called on the reading threads, one call at a time.
    int threads = 1;
    /// Records of multi-spectrum files are named "base.scan.scan.charge.dta" with this base;
    /// empty: the file's name without directory and extensions.
    std::string base_name;
};

}  // namespace speclink
