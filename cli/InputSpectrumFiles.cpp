#include "speclink/cli/InputSpectrumFiles.h"

#include <fstream>
#include <iterator>

#include "speclink/library/consensus/SpectrumText.h"

namespace speclink::cli {

InputSpectrumFiles::InputSpectrumFiles(const InputSpectra& input) : input_(input) {}

std::optional<std::string> InputSpectrumFiles::Content(const std::string& file_name) const {
    std::call_once(indexed_, [this] {
        by_name_.reserve(input_.spectra.size());
        for (std::size_t k = 0; k < input_.spectra.size(); ++k) by_name_.emplace(input_.spectra[k].file_name, k);
    });
    const auto found = by_name_.find(file_name);
    if (found == by_name_.end()) return std::nullopt;
    const std::size_t k = found->second;
    const std::filesystem::path source = input_.VerbatimSource(k);
    if (source.empty()) return SpectrumFileText(input_.spectra[k]);
    std::ifstream file(source, std::ios::binary);
    if (!file) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace speclink::cli
