#pragma once

#include <cstdint>
#include <string>

#include "speclink/library/data/Spectrum.h"

namespace speclink::cli {

/// About the memory a record and its origin take as a run holds them: the objects, their
/// peaks and fragment ions, and the text of strings too long to be kept inside them (with
/// the allocator's own bytes per block).
inline uint64_t RecordBytes(const CSpectrum& spectrum, std::size_t native_id_length = 0) {
    constexpr uint64_t kBlockOverhead = 16;
    constexpr std::size_t kInline = 15;  // characters a string keeps inside itself
    const auto text = [](std::size_t length) { return length > kInline ? length + 1 + kBlockOverhead : 0; };
    const auto block = [](uint64_t bytes) { return bytes > 0 ? bytes + kBlockOverhead : 0; };
    return sizeof(CSpectrum) + sizeof(std::string) + sizeof(uint32_t) * 2 +
           block(spectrum.peaks.capacity() * sizeof(Peak)) +
           block(uint64_t{spectrum.fragment_ions.size()} * sizeof(FragmentIon)) +
           block(spectrum.merged_scans.capacity() * sizeof(uint32_t)) + text(spectrum.file_name.size()) +
           text(spectrum.title.size()) + text(spectrum.peptide.size()) + text(native_id_length);
}

}  // namespace speclink::cli
