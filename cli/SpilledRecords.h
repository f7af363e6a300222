#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string_view>
#include <vector>

#include "speclink/formats/RecordFile.h"
#include "speclink/library/data/Spectrum.h"

namespace speclink::cli {

struct InputSpectra;

/// Records that did not fit in memory, spilled once to disk in the compact form of
/// RecordFile (every field and peak kept), in buckets by charge and precursor mass, to be
/// taken back a bucket at a time in the order a job works through them. A bucket holds one
/// charge and a range of masses; within it the records keep the order they were read in, so
/// that a stable sort of each bucket in turn gives the order a stable sort of all records
/// gives.
class SpilledRecords {
public:
    /// One bucket: a charge and the masses low <= [M+H]+ < high.
    struct Bucket {
        int32_t charge;
        double low;
        double high;
        std::size_t records = 0;
        uint64_t bytes = 0;  ///< on disk
        std::unique_ptr<RecordFileWriter> writer;
        std::filesystem::path path;
    };

    /// Buckets for the charges and masses of `sample`, the records read so far, sized so that
    /// each holds about `bucket_bytes` of records in memory once `expected_records` records have
    /// been read. Charges the sample lacks get a bucket each when met. The files go into
    /// `directory`, which exists and is the caller's to remove.
    SpilledRecords(std::filesystem::path directory, const std::vector<CSpectrum>& sample, double expected_records,
                   uint64_t bucket_bytes);
    ~SpilledRecords();
    SpilledRecords(const SpilledRecords&) = delete;
    SpilledRecords& operator=(const SpilledRecords&) = delete;

    /// Spills one record (read after every record spilled before it).
    void Add(const CSpectrum& spectrum, uint32_t input, std::string_view native_id);

    /// Closes the bucket files; a bucket far larger than planned (masses bunched where the
    /// sample had few) is split once more by its own masses.
    void Finish();

    /// The buckets in the order of a job: ascending charge and mass, or both descending.
    std::vector<const Bucket*> Ordered(bool descending) const;

    /// The records of a bucket in the order they were read, into `part`'s spectra and origins.
    static void Load(const Bucket& bucket, InputSpectra& part);

    std::size_t records() const { return records_; }
    uint64_t bytes() const;
    std::size_t bucket_count() const { return buckets_.size(); }

private:
    Bucket& NewBucket(int32_t charge, double low, double high);
    Bucket& BucketOf(int32_t charge, double mass);
    /// Replaces the bucket at `index` by buckets of about `records_per_bucket_` records each.
    void Split(std::size_t index);

    std::filesystem::path directory_;
    std::size_t records_per_bucket_;
    std::vector<std::unique_ptr<Bucket>> buckets_;  // by charge, then mass
    std::size_t records_ = 0;
    std::size_t files_made_ = 0;
};

}  // namespace speclink::cli
