#include "speclink/formats/MgfPieces.h"

#include <filesystem>

#include "speclink/formats/ByteInput.h"
#include "speclink/formats/MgfSpectrumParser.h"
#include "speclink/formats/SpectrumNaming.h"

namespace speclink {

uint64_t MgfPieceBoundary(const std::string& path, uint64_t offset) {
    if (offset == 0) return 0;
    const ByteInput input(path, 0, std::filesystem::file_size(path));
    return MgfSpectrumStartAfter(input.MappedRest(), offset);
}

MgfState ScanMgfPiece(const std::string& path, uint64_t begin, uint64_t end, const MgfState& start) {
    ByteInput input(path, begin, end);
    return ScanMgf(input, start);
}

ReadResult ReadMgfPiece(const std::string& path, uint64_t begin, uint64_t end, const MgfState& start,
                        const ReadOptions& options, const SpectrumSink& sink) {
    ByteInput input(path, begin, end);
    ReadResult result;
    RecordEmitter emitter(options.base_name.empty() ? InputBaseName(path) : options.base_name, options, result, sink);
    ReadMgf(input, emitter, start);
    result.files = 1;
    return result;
}

}  // namespace speclink
