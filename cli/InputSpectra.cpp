#include "InputSpectra.h"

#include <algorithm>
#include <numeric>
#include <stdexcept>
#include <system_error>
#include <unordered_map>

#include "ProgressBar.h"
#include "formats/ReadOptions.h"
#include "formats/SpectrumReader.h"

namespace speclink::cli {

namespace fs = std::filesystem;

namespace {

uint64_t SizeOf(const std::string& path) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        uint64_t total = 0;
        for (const auto& entry : fs::directory_iterator(path, ec))
            if (entry.is_regular_file(ec)) total += entry.file_size(ec);
        return total;
    }
    const auto size = fs::file_size(path, ec);
    return ec ? 0 : size;
}

// The file a record can be copied from unchanged: only DTA inputs have one.
fs::path VerbatimSource(const fs::path& input, const CSpectrum& record) {
    std::error_code ec;
    if (fs::is_directory(input, ec)) return input / record.file_name;
    if (input.filename() == record.file_name) return input;
    return {};
}

}  // namespace

InputSpectra ReadInputs(const std::vector<std::string>& paths, const std::vector<int>& assign_charges) {
    InputSpectra input;
    uint64_t total = 0;
    for (const std::string& path : paths) total += SizeOf(path);
    ProgressBar bar("reading");
    uint64_t finished_bytes = 0;
    for (const std::string& path : paths) {
        ReadOptions options;
        options.assign_charges = assign_charges;
        options.progress = [&](uint64_t done, uint64_t) { bar.Update(finished_bytes + done, total); };
        const fs::path input_path(path);
        const ReadResult result = ReadSpectra(path, options, [&](CSpectrum&& record) {
            input.sources.push_back(VerbatimSource(input_path, record));
            input.spectra.push_back(std::move(record));
        });
        finished_bytes += SizeOf(path);
        input.files.push_back({path, result});
    }
    bar.Finish();
    return input;
}

void OrderForClustering(InputSpectra& input) {
    std::vector<size_t> order(input.spectra.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const CSpectrum& x = input.spectra[a];
        const CSpectrum& y = input.spectra[b];
        if (x.charge != y.charge) return x.charge < y.charge;
        return x.precursor_mass < y.precursor_mass;
    });
    std::vector<CSpectrum> spectra;
    std::vector<fs::path> sources;
    spectra.reserve(order.size());
    sources.reserve(order.size());
    for (const size_t k : order) {
        spectra.push_back(std::move(input.spectra[k]));
        sources.push_back(std::move(input.sources[k]));
    }
    input.spectra = std::move(spectra);
    input.sources = std::move(sources);
}

void RequireUniqueNames(const InputSpectra& input) {
    std::unordered_map<std::string, size_t> seen;
    for (size_t k = 0; k < input.spectra.size(); ++k) {
        const auto [where, fresh] = seen.emplace(input.spectra[k].file_name, k);
        if (!fresh)
            throw std::runtime_error("two spectra are both named '" + input.spectra[k].file_name +
                                     "' (records " + std::to_string(where->second + 1) + " and " +
                                     std::to_string(k + 1) +
                                     "); their output files would overwrite each other. Rename one input file.");
    }
}

}  // namespace speclink::cli
