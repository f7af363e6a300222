#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "speclink/formats/ByteInput.h"
#include "speclink/formats/RecordEmitter.h"

namespace speclink::fuzz {

/// A private directory under the temporary directory (TMPDIR) for one fuzzing process, where
/// each input is written as a file for the code under test to read. Removed at a normal exit;
/// a crashed process leaves it inside TMPDIR, which scripts/fuzz.sh points at its own scratch.
class ScratchDirectory {
public:
    ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;
    ~ScratchDirectory();

    /// Writes the bytes to `name` inside the directory, replacing it; returns its path.
    std::string Write(const std::string& name, const uint8_t* data, size_t size) const;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

/// The process's scratch directory, made on first use.
const ScratchDirectory& Scratch();

/// A reader's stream entry point.
using Reader = void (*)(ByteInput&, RecordEmitter&);

/// Runs `reader` on the file at `path`. A FormatError is the expected answer to bad input;
/// anything else escapes to libFuzzer as a finding. Every record handed out is checked for
/// what the readers promise (charge at least 1, finite positive masses and m/z, finite
/// non-negative intensities), and the counts of the read for consistency; a broken promise
/// aborts.
void ReadChecked(const std::string& path, Reader reader);

/// Writes the bytes as `name` and as a gzip copy, reads both with `reader` (a plain file is
/// mapped and read whole, a gzip file streamed) as ReadChecked does, and aborts unless both
/// give the same records, counts, and error line and message.
void ReadBothWays(const uint8_t* data, size_t size, const std::string& name, Reader reader);

/// Aborts with `what` on standard error unless `condition` holds.
void Require(bool condition, const char* what);

}  // namespace speclink::fuzz
