#include "speclink/cli/SpilledRecords.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <string>

#include "speclink/cli/InputSpectra.h"
#include "speclink/cli/RecordBytes.h"

namespace speclink::cli {

namespace fs = std::filesystem;

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// Edges that cut the ascending `masses` into `count` runs of about equal length, each edge
// the first mass of a run; equal masses stay in one run.
std::vector<double> QuantileEdges(const std::vector<double>& masses, std::size_t count) {
    std::vector<double> edges;
    for (std::size_t k = 1; k < count; ++k) {
        const double edge = masses[k * masses.size() / count];
        if (edge > masses.front() && (edges.empty() || edge > edges.back())) edges.push_back(edge);
    }
    return edges;
}

}  // namespace

SpilledRecords::SpilledRecords(fs::path directory, const std::vector<CSpectrum>& sample, double expected_records,
                               uint64_t bucket_bytes)
    : directory_(std::move(directory)) {
    uint64_t sample_bytes = 0;
    std::map<int32_t, std::vector<double>> masses;
    for (const CSpectrum& spectrum : sample) {
        sample_bytes += RecordBytes(spectrum);
        masses[spectrum.charge].push_back(spectrum.precursor_mass);
    }
    const double per_record = sample.empty() ? 1024.0 : static_cast<double>(sample_bytes) / static_cast<double>(sample.size());
    records_per_bucket_ = std::max<std::size_t>(1, static_cast<std::size_t>(static_cast<double>(bucket_bytes) / per_record));
    const double growth = sample.empty() ? 1.0 : std::max(1.0, expected_records / static_cast<double>(sample.size()));
    for (auto& [charge, charge_masses] : masses) {
        std::sort(charge_masses.begin(), charge_masses.end());
        const double expected = static_cast<double>(charge_masses.size()) * growth;
        const auto count = static_cast<std::size_t>(std::ceil(expected / static_cast<double>(records_per_bucket_)));
        const std::vector<double> edges = QuantileEdges(charge_masses, std::max<std::size_t>(count, 1));
        double low = -kInfinity;
        for (const double edge : edges) {
            NewBucket(charge, low, edge);
            low = edge;
        }
        NewBucket(charge, low, kInfinity);
    }
}

SpilledRecords::~SpilledRecords() = default;

SpilledRecords::Bucket& SpilledRecords::NewBucket(int32_t charge, double low, double high) {
    auto bucket = std::make_unique<Bucket>();
    bucket->charge = charge;
    bucket->low = low;
    bucket->high = high;
    bucket->path = directory_ / ("bucket-" + std::to_string(files_made_++) + ".records");
    bucket->writer = std::make_unique<RecordFileWriter>(bucket->path.string());
    const auto at = std::lower_bound(buckets_.begin(), buckets_.end(), std::make_pair(charge, low),
                                     [](const std::unique_ptr<Bucket>& b, const std::pair<int32_t, double>& key) {
                                         return b->charge != key.first ? b->charge < key.first : b->low < key.second;
                                     });
    return **buckets_.insert(at, std::move(bucket));
}

SpilledRecords::Bucket& SpilledRecords::BucketOf(int32_t charge, double mass) {
    // The last bucket of the charge whose range starts at or below the mass.
    const auto after = std::upper_bound(buckets_.begin(), buckets_.end(), std::make_pair(charge, mass),
                                        [](const std::pair<int32_t, double>& key, const std::unique_ptr<Bucket>& b) {
                                            return key.first != b->charge ? key.first < b->charge : key.second < b->low;
                                        });
    if (after == buckets_.begin() || (*(after - 1))->charge != charge) return NewBucket(charge, -kInfinity, kInfinity);
    return **(after - 1);
}

void SpilledRecords::Add(const CSpectrum& spectrum, uint32_t input, std::string_view native_id) {
    Bucket& bucket = BucketOf(spectrum.charge, spectrum.precursor_mass);
    bucket.writer->Write(spectrum, input, native_id);
    ++bucket.records;
    ++records_;
}

void SpilledRecords::Finish() {
    for (std::size_t k = 0; k < buckets_.size(); ++k) {
        Bucket& bucket = *buckets_[k];
        if (!bucket.writer) continue;
        bucket.writer->Close();
        bucket.bytes = bucket.writer->bytes();
        bucket.writer.reset();
    }
    for (std::size_t k = 0; k < buckets_.size(); ++k) {
        if (buckets_[k]->records > 2 * records_per_bucket_) Split(k);
    }
}

void SpilledRecords::Split(std::size_t index) {
    const Bucket old = {buckets_[index]->charge, buckets_[index]->low, buckets_[index]->high,
                        buckets_[index]->records, buckets_[index]->bytes, nullptr, buckets_[index]->path};
    std::vector<double> masses;
    masses.reserve(old.records);
    {
        RecordFileReader keys(old.path.string());
        int32_t charge = 0;
        double mass = 0.0;
        while (keys.NextKey(charge, mass)) masses.push_back(mass);
    }
    std::sort(masses.begin(), masses.end());
    const std::vector<double> edges =
        QuantileEdges(masses, (masses.size() + records_per_bucket_ - 1) / records_per_bucket_);
    if (edges.empty()) return;  // one mass: nothing to split by

    buckets_.erase(buckets_.begin() + static_cast<std::ptrdiff_t>(index));
    std::vector<Bucket*> parts;
    double low = old.low;
    for (const double edge : edges) {
        parts.push_back(&NewBucket(old.charge, low, edge));
        low = edge;
    }
    parts.push_back(&NewBucket(old.charge, low, old.high));
    {
        RecordFileReader reader(old.path.string());
        StoredRecord record;
        while (reader.Next(record)) {
            const auto part = std::upper_bound(edges.begin(), edges.end(), record.spectrum.precursor_mass) - edges.begin();
            Bucket& bucket = *parts[static_cast<std::size_t>(part)];
            bucket.writer->Write(record.spectrum, record.input, record.native_id);
            ++bucket.records;
        }
    }
    for (Bucket* bucket : parts) {
        bucket->writer->Close();
        bucket->bytes = bucket->writer->bytes();
        bucket->writer.reset();
    }
    std::error_code ec;
    fs::remove(old.path, ec);
}

std::vector<const SpilledRecords::Bucket*> SpilledRecords::Ordered(bool descending) const {
    std::vector<const Bucket*> ordered;
    for (const auto& bucket : buckets_) ordered.push_back(bucket.get());
    if (descending) std::reverse(ordered.begin(), ordered.end());
    return ordered;
}

void SpilledRecords::Load(const Bucket& bucket, InputSpectra& part) {
    part.spectra.reserve(part.spectra.size() + bucket.records);
    part.origins.reserve(part.origins.size() + bucket.records);
    RecordFileReader reader(bucket.path.string());
    StoredRecord record;
    while (reader.Next(record)) {
        part.spectra.push_back(std::move(record.spectrum));
        part.origins.push_back({record.input, std::move(record.native_id)});
        record = StoredRecord();
    }
}

uint64_t SpilledRecords::bytes() const {
    uint64_t total = 0;
    for (const auto& bucket : buckets_) total += bucket->bytes;
    return total;
}

}  // namespace speclink::cli
