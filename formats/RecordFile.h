#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "speclink/formats/OutputFile.h"
#include "speclink/library/common/StdioFile.h"
#include "speclink/library/data/Spectrum.h"

namespace speclink {

/// A record as a run keeps it: the spectrum record, the input it was read from (an index
/// into the run's inputs) and the native id of its spectrum.
struct StoredRecord {
    CSpectrum spectrum;
    uint32_t input = 0;
    std::string native_id;
};

/// Appends a record to `out` in the binary form of RecordFileWriter (its length, then its
/// fields), for sending records between processes as well as for files.
void AppendRecord(std::string& out, const CSpectrum& spectrum, uint32_t input, std::string_view native_id);

/// Takes the record AppendRecord wrote off the front of `bytes`; false when `bytes` is empty.
/// Throws std::invalid_argument when the bytes are cut short or damaged.
bool TakeRecord(std::string_view& bytes, StoredRecord& record);

/// Writes records in a compact binary form that keeps every field as it is, every peak to
/// the bit (everything but `match_score` and `match_delta`, which a copy does not carry
/// either): the form in which a run spills records to disk when they do not fit in memory.
/// Each record is its length, then its fields, in the byte order of the machine that wrote
/// it: files are for the run that writes them. Failures throw std::system_error.
class RecordFileWriter {
public:
    explicit RecordFileWriter(std::string path) : file_(std::move(path)) {}

    void Write(const CSpectrum& spectrum, uint32_t input, std::string_view native_id);
    /// Bytes written so far.
    uint64_t bytes() const { return bytes_; }
    /// Writes what is still held and closes the file.
    void Close();
    const std::string& path() const { return file_.path(); }

private:
    // Records are written to the file in blocks of about this size.
    static constexpr std::size_t kBufferBytes = 1 << 20;

    void Flush();

    OutputFile file_;
    std::string buffer_;
    uint64_t bytes_ = 0;
};

/// Reads back what RecordFileWriter wrote, in the same order. A file cut short or damaged
/// raises a FormatError; one that cannot be read a std::system_error.
class RecordFileReader {
public:
    explicit RecordFileReader(std::string path);

    /// The next record; false at the end of the file.
    bool Next(StoredRecord& record);
    /// The next record's charge and [M+H]+ without the rest of it; false at the end.
    bool NextKey(int32_t& charge, double& precursor_mass);

private:
    bool NextBytes();

    std::string path_;
    StdioFile file_;
    std::string buffer_;
    uint64_t offset_ = 0;
};

}  // namespace speclink
