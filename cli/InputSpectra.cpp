#include "speclink/cli/InputSpectra.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <unordered_map>

#include "speclink/cli/ProgressBar.h"
#include "speclink/cli/RecordBytes.h"
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

bool IsDtaName(const std::string& name) { return name.ends_with(".dta") || name.ends_with(".dta.gz"); }

// `name` with "_<k>" after the part before its first dot.
std::string WithSuffix(const std::string& name, std::size_t k) {
    const std::size_t dot = std::min(name.find('.'), name.size());
    std::string renamed(name, 0, dot);
    renamed += '_';
    renamed += std::to_string(k);
    renamed.append(name, dot);
    return renamed;
}

}  // namespace

fs::path InputSpectra::VerbatimSource(std::size_t k) const {
    const InputFileReport& file = files[origins[k].input];
    if (file.directory) return fs::path(file.path) / origins[k].native_id;
    const fs::path path(file.path);
    if (IsDtaName(path.filename().string()) && origins[k].native_id == path.filename().string()) return path;
    return {};
}

InputSpectra ReadInputs(const std::vector<std::string>& paths, const std::vector<int>& assign_charges,
                        int threads, const SpillOptions& spill) {
    InputSpectra input;
    uint64_t total = 0;
    for (const std::string& path : paths) total += SizeOf(path);
    ProgressBar bar("reading");
    UniqueNames names;
    std::size_t records = 0;
    uint64_t held = 0;  // bytes of the records in memory
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
        input.origins.reserve(capacity);
    };
    for (const std::string& path : paths) {
        const auto index = static_cast<uint32_t>(input.files.size());
        ReadOptions options;
        options.assign_charges = assign_charges;
        options.threads = threads;
        options.progress = [&](uint64_t done, uint64_t) {
            bytes_read = finished_bytes + done;
            bar.Update(bytes_read, total);
        };
        const ReadResult result = ReadSpectra(path, options, [&](CSpectrum&& record, std::string_view native_id) {
            if (names.MakeUnique(record.file_name)) ++input.renamed;
            ++records;
            if (input.spilled) {
                input.spilled->Add(record, index, native_id);
                return;
            }
            make_room();
            held += RecordBytes(record, native_id.size());
            input.origins.push_back({index, std::string(native_id)});
            input.spectra.push_back(std::move(record));
            if (held > spill.memory) {
                // What the whole input promises, from the share of its bytes read so far.
                const double expected = static_cast<double>(records) * static_cast<double>(std::max(total, bytes_read)) /
                                        static_cast<double>(std::max<uint64_t>(bytes_read, 1));
                fs::create_directories(spill.directory);
                input.spilled =
                    std::make_shared<SpilledRecords>(spill.directory, input.spectra, expected, spill.memory / 4);
                for (std::size_t k = 0; k < input.spectra.size(); ++k) {
                    input.spilled->Add(input.spectra[k], input.origins[k].input, input.origins[k].native_id);
                }
                std::vector<CSpectrum>().swap(input.spectra);
                std::vector<RecordOrigin>().swap(input.origins);
            }
        });
        finished_bytes += SizeOf(path);
        std::error_code ec;
        input.files.push_back({path, result, fs::is_directory(path, ec)});
    }
    bar.Finish();
    if (input.spilled) input.spilled->Finish();
    return input;
}

namespace {

// Moves the records (and their origins) into the order `before` gives, stable.
template <typename Before>
void Order(InputSpectra& input, Before before) {
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
    std::stable_sort(keys.begin(), keys.end(), [&](const Key& x, const Key& y) {
        return before(x.charge, x.precursor_mass, y.charge, y.precursor_mass);
    });
    // Position k takes the record at keys[k].index: each cycle of that permutation is
    // rotated in place, so the records move once and no second list is allocated.
    std::vector<bool> placed(keys.size(), false);
    for (size_t start = 0; start < keys.size(); ++start) {
        if (placed[start]) continue;
        CSpectrum spectrum = std::move(input.spectra[start]);
        RecordOrigin origin = std::move(input.origins[start]);
        size_t k = start;
        while (keys[k].index != start) {
            input.spectra[k] = std::move(input.spectra[keys[k].index]);
            input.origins[k] = std::move(input.origins[keys[k].index]);
            placed[k] = true;
            k = keys[k].index;
        }
        input.spectra[k] = std::move(spectrum);
        input.origins[k] = std::move(origin);
        placed[k] = true;
    }
}

}  // namespace

void OrderForClustering(InputSpectra& input) {
    Order(input, [](int32_t charge_x, double mass_x, int32_t charge_y, double mass_y) {
        return charge_x != charge_y ? charge_x < charge_y : mass_x < mass_y;
    });
}

void OrderForModificationSearch(InputSpectra& input) {
    Order(input, [](int32_t charge_x, double mass_x, int32_t charge_y, double mass_y) {
        return charge_x != charge_y ? charge_x > charge_y : mass_x > mass_y;
    });
}

UniqueNames::UniqueNames() : slots_(1024) {}

bool UniqueNames::MakeUnique(std::string& name) {
    if (!Contains(name)) {
        Insert(name);
        return false;
    }
    std::size_t& k = next_suffix_.try_emplace(name, 2).first->second;
    std::string renamed = WithSuffix(name, k);
    while (Contains(renamed)) renamed = WithSuffix(name, ++k);
    ++k;
    name = std::move(renamed);
    Insert(name);
    return true;
}

std::size_t UniqueNames::Find(std::string_view name) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t slot = std::hash<std::string_view>{}(name) & mask;
    while (slots_[slot].data() != nullptr && slots_[slot] != name) slot = (slot + 1) & mask;
    return slot;
}

void UniqueNames::Insert(std::string_view name) {
    if (block_free_ < name.size() + 1) {
        const std::size_t size = std::max(kBlockBytes, name.size() + 1);
        blocks_.push_back(std::make_unique<char[]>(size));
        block_end_ = blocks_.back().get();
        block_free_ = size;
    }
    std::memcpy(block_end_, name.data(), name.size());
    slots_[Find(name)] = std::string_view(block_end_, name.size());
    block_end_ += name.size() + 1;
    block_free_ -= name.size() + 1;
    if (++size_ * 2 > slots_.size()) {
        std::vector<std::string_view> old(slots_.size() * 2);
        old.swap(slots_);
        for (const std::string_view taken : old) {
            if (taken.data() != nullptr) slots_[Find(taken)] = taken;
        }
    }
}

void MakeNamesUnique(InputSpectra& input) {
    UniqueNames names;
    for (CSpectrum& spectrum : input.spectra) {
        if (names.MakeUnique(spectrum.file_name)) ++input.renamed;
    }
}

}  // namespace speclink::cli
