#include "speclink/cli/InputSpectra.h"

#include <algorithm>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <unordered_map>

#include "speclink/cli/ProgressBar.h"
#include "speclink/formats/ReadOptions.h"
#include "speclink/formats/SpectrumReader.h"

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

// Where the records of one input can be copied from unchanged: only DTA inputs have such
// files, a directory of them or a single one.
class VerbatimSources {
public:
    explicit VerbatimSources(const fs::path& input) : input_(input), file_name_(input.filename().string()) {
        std::error_code ec;
        is_directory_ = fs::is_directory(input, ec);
    }

    fs::path For(const CSpectrum& record) const {
        if (is_directory_) return input_ / record.file_name;
        if (record.file_name == file_name_) return input_;
        return {};
    }

private:
    fs::path input_;
    std::string file_name_;
    bool is_directory_ = false;
};

}  // namespace

InputSpectra ReadInputs(const std::vector<std::string>& paths, const std::vector<int>& assign_charges,
                        int threads) {
    InputSpectra input;
    uint64_t total = 0;
    for (const std::string& path : paths) total += SizeOf(path);
    ProgressBar bar("reading");
    uint64_t finished_bytes = 0;
    uint64_t bytes_read = 0;
    // When the lists are full they grow to twice the number of records the bytes read so
    // far promise for the whole input, rather than to twice their size: every growth moves
    // all records and touches fresh memory on the thread that takes the records over, while
    // room that is never used costs address space only. (The bytes read run ahead of the
    // records handed over while pieces are being parsed, so the promise is low at first.)
    const auto make_room = [&] {
        const size_t size = input.spectra.size();
        if (size < input.spectra.capacity() || size < 1024 || bytes_read == 0) return;
        const double expected = static_cast<double>(size) * static_cast<double>(total) /
                                static_cast<double>(bytes_read) * 2.0;
        const size_t capacity = std::clamp(static_cast<size_t>(expected), 2 * size, 256 * size);
        input.spectra.reserve(capacity);
        input.sources.reserve(capacity);
    };
    for (const std::string& path : paths) {
        ReadOptions options;
        options.assign_charges = assign_charges;
        options.threads = threads;
        options.progress = [&](uint64_t done, uint64_t) {
            bytes_read = finished_bytes + done;
            bar.Update(bytes_read, total);
        };
        const VerbatimSources verbatim(path);
        const ReadResult result = ReadSpectra(path, options, [&](CSpectrum&& record) {
            make_room();
            input.sources.push_back(verbatim.For(record));
            input.spectra.push_back(std::move(record));
        });
        finished_bytes += SizeOf(path);
        input.files.push_back({path, result});
    }
    bar.Finish();
    return input;
}

void OrderForClustering(InputSpectra& input) {
    // Sorting compact keys keeps the comparisons in cache.
    struct Key {
        int32_t charge;
        double precursor_mass;
        size_t index;
    };
    std::vector<Key> keys;
    keys.reserve(input.spectra.size());
    for (size_t k = 0; k < input.spectra.size(); ++k) {
        keys.push_back({input.spectra[k].charge, input.spectra[k].precursor_mass, k});
    }
    std::stable_sort(keys.begin(), keys.end(), [](const Key& x, const Key& y) {
        if (x.charge != y.charge) return x.charge < y.charge;
        return x.precursor_mass < y.precursor_mass;
    });
    // Position k takes the record at keys[k].index: each cycle of that permutation is
    // rotated in place, so the records move once and no second list is allocated.
    std::vector<bool> placed(keys.size(), false);
    for (size_t start = 0; start < keys.size(); ++start) {
        if (placed[start]) continue;
        CSpectrum spectrum = std::move(input.spectra[start]);
        fs::path source = std::move(input.sources[start]);
        size_t k = start;
        while (keys[k].index != start) {
            input.spectra[k] = std::move(input.spectra[keys[k].index]);
            input.sources[k] = std::move(input.sources[keys[k].index]);
            placed[k] = true;
            k = keys[k].index;
        }
        input.spectra[k] = std::move(spectrum);
        input.sources[k] = std::move(source);
        placed[k] = true;
    }
}

void RequireUniqueNames(const InputSpectra& input) {
    std::unordered_map<std::string_view, size_t> seen;
    seen.reserve(input.spectra.size());
    for (size_t k = 0; k < input.spectra.size(); ++k) {
        const std::string& name = input.spectra[k].file_name;
        const auto [where, fresh] = seen.emplace(name, k);
        if (!fresh)
            throw std::runtime_error("two spectra are both named '" + name + "' (records " +
                                     std::to_string(where->second + 1) + " and " + std::to_string(k + 1) +
                                     "); their output files would overwrite each other. Rename one input file.");
    }
}

}  // namespace speclink::cli
