#pragma once

#include <filesystem>

#include "speclink/cli/InputSpectra.h"

namespace speclink::cli {

/// A temporary data directory holding one DTA file per record, so that the clustering
/// engine, which copies single spectra and representatives from its data directory, gives
/// the same output files whatever format the spectra came in. DTA inputs are copied as they
/// are; other records are written from memory. Removed with the object.
class SpectrumStaging {
public:
    /// Throws std::runtime_error naming the file when a staged file cannot be written, and
    /// InputError when a DTA input to copy has vanished since it was read.
    explicit SpectrumStaging(const InputSpectra& input);
    SpectrumStaging(const SpectrumStaging&) = delete;
    SpectrumStaging& operator=(const SpectrumStaging&) = delete;
    ~SpectrumStaging();

    const std::filesystem::path& directory() const { return directory_; }

private:
    std::filesystem::path directory_;
};

}  // namespace speclink::cli
