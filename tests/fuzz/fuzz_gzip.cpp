// Fuzz target: gzip input. The bytes are a file whose name ends in ".gz": the inflated content
// is drained block by block, then the file goes through ReadSpectra (format detection and the
// reader it picks) as the command reads it.
#include <cstddef>
#include <cstdint>
#include <system_error>

#include "speclink/tests/fuzz/FuzzSupport.h"
#include "speclink/formats/FormatError.h"
#include "speclink/formats/SpectrumReader.h"

namespace {

/// Inflated bytes accepted before the drain stops; a gzip stream inflates at most about
/// 1032 to 1, so a fuzz input of a few kilobytes stays far below.
constexpr uint64_t kDrainLimit = uint64_t{64} << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using speclink::fuzz::Require;
    const std::string path = speclink::fuzz::Scratch().Write("input.gz", data, size);
    try {
        speclink::ByteInput input(path);
        uint64_t inflated = 0;
        for (std::string_view block = input.NextBlock(); !block.empty(); block = input.NextBlock()) {
            Require(block.size() <= speclink::ByteInput::kBlockSize, "block larger than the block size");
            inflated += block.size();
            if (inflated > kDrainLimit) break;
        }
    } catch (const speclink::FormatError&) {
    }
    speclink::ReadOptions options;
    options.assign_charges = {2};
    uint64_t records = 0;
    try {
        const speclink::ReadResult result =
            speclink::ReadSpectra(path, options, [&](speclink::CSpectrum&&, std::string_view) { ++records; });
        Require(result.records == records, "record count differs from the records handed out");
        Require(result.files == 1, "one file read");
    } catch (const speclink::FormatError&) {
    }
    return 0;
}
