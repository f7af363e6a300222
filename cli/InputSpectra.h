#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "speclink/cli/SpilledRecords.h"
#include "speclink/formats/ReadResult.h"
#include "speclink/library/data/Spectrum.h"

namespace speclink::cli {

/// What one input path gave.
struct InputFileReport {
    std::string path;
    ReadResult result;
    bool directory = false;  ///< a directory of DTA files
};

/// Where a record came from: its input and the native id of its spectrum.
struct RecordOrigin {
    uint32_t input = 0;     ///< index into InputSpectra::files
    std::string native_id;  ///< the spectrum's id as its file writes it
};

/// The records of a run, each with its origin, and what each input gave.
struct InputSpectra {
    std::vector<CSpectrum> spectra;
    std::vector<RecordOrigin> origins;  ///< one per record, in the same order
    std::vector<InputFileReport> files;
    /// Records renamed to keep names unique (see MakeNamesUnique).
    std::size_t renamed = 0;
    /// The records, when they did not fit in memory (`spectra` and `origins` are then empty).
    std::shared_ptr<SpilledRecords> spilled;

    /// The file the spectrum file of record `k` can be copied from as it stands: a DTA
    /// input's own file; empty for a record of any other format.
    std::filesystem::path VerbatimSource(std::size_t k) const;
};

/// How much memory a run's records may take, and where those go that do not fit.
struct SpillOptions {
    uint64_t memory = UINT64_MAX;        ///< bytes of records (RecordBytes) held in memory
    std::filesystem::path directory;     ///< made when records spill
};

/// Reads every input (file or directory of DTA files, gzip or not) in the given order.
/// `assign_charges` gives charges to spectra that carry none (one record per charge); when
/// empty such spectra are skipped and counted. Throws FormatError or std::runtime_error
/// naming the file. Shows a progress bar on a terminal. MGF files are parsed on `threads`
/// threads while they are read; the result is the same for every count. Record names are
/// made unique (MakeNamesUnique). Once the records read take more than `spill.memory`, all
/// of them spill to buckets on disk (InputSpectra::spilled), sized to a quarter of it.
InputSpectra ReadInputs(const std::vector<std::string>& paths, const std::vector<int>& assign_charges,
                        int threads = 1, const SpillOptions& spill = {});

/// The names of the records read so far, to give each record a name no earlier one has (see
/// MakeNamesUnique). Holds a copy of every name, a few bytes more than its text.
class UniqueNames {
public:
    UniqueNames();

    /// Keeps `name`, renamed first when an earlier record has it; true when renamed.
    bool MakeUnique(std::string& name);

private:
    static constexpr std::size_t kBlockBytes = 1 << 20;

    bool Contains(std::string_view name) const { return slots_[Find(name)].data() != nullptr; }
    // The slot holding `name`, or the empty one where it would go.
    std::size_t Find(std::string_view name) const;
    void Insert(std::string_view name);

    // An open-addressing table of views of the names, kept in blocks of their own.
    std::vector<std::string_view> slots_;
    std::size_t size_ = 0;
    std::vector<std::unique_ptr<char[]>> blocks_;
    char* block_end_ = nullptr;
    std::size_t block_free_ = 0;
    // Per name, the next suffix to try: a name repeated many times is not searched anew.
    std::unordered_map<std::string, std::size_t> next_suffix_;
};

/// Gives every record a name no earlier record has: a record whose name is taken (the same
/// base name in two inputs, a scan number repeated within a file) gets "_2", "_3", ... after
/// the part of its name before the first dot, the first such name that is free
/// ("run.7.7.2.dta" becomes "run_2.7.7.2.dta"). Counts the renamed records.
void MakeNamesUnique(InputSpectra& input);

/// Orders the records for the clustering sweep: by charge, then precursor mass; records
/// that compare equal keep their input order.
void OrderForClustering(InputSpectra& input);

/// Orders the records for the modification search so that every pair it compares is
/// compared with its mass difference as the shift (a positive one): by charge, highest
/// first, so that the 3 of a 3 -> 2 pair comes before the 2 as the charge rule needs; then by
/// precursor mass, heaviest first. Records that compare equal keep their input order.
void OrderForModificationSearch(InputSpectra& input);

}  // namespace speclink::cli
