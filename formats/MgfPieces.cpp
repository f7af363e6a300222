#include "speclink/formats/MgfPieces.h"

#include <filesystem>
#include <string_view>

#include "speclink/formats/ByteInput.h"
#include "speclink/formats/SpectrumNaming.h"
#include "speclink/formats/TextFields.h"

namespace speclink {

uint64_t MgfPieceBoundary(const std::string& path, uint64_t offset) {
    if (offset == 0) return 0;
    ByteInput input(path, 0, std::filesystem::file_size(path));
    // The whole file as one view: blocks of a mapped file follow each other.
    std::string_view text;
    for (std::string_view block = input.NextBlock(); !block.empty(); block = input.NextBlock()) {
        text = text.empty() ? block : std::string_view(text.data(), text.size() + block.size());
    }
    if (offset >= text.size()) return text.size();
    // From the start of the first line at or after the offset.
    std::size_t at = offset;
    if (text[at - 1] != '\n') {
        const std::size_t newline = text.find('\n', at);
        if (newline == std::string_view::npos) return text.size();
        at = newline + 1;
    }
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (EqualsIgnoreCase(Trim(line), "BEGIN IONS")) return at;
        at = end + 1;
    }
    return text.size();
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
