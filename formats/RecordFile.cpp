#include "speclink/formats/RecordFile.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <system_error>
#include <type_traits>

#include "speclink/formats/FormatError.h"

namespace speclink {
namespace {

template <typename Value>
void Put(std::string& out, const Value& value) {
    static_assert(std::is_trivially_copyable_v<Value>);
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

void PutText(std::string& out, std::string_view text) {
    Put(out, static_cast<uint32_t>(text.size()));
    out.append(text);
}

// Reads the fields back from one record's bytes; false when they run out.
class Fields {
public:
    explicit Fields(std::string_view bytes) : bytes_(bytes) {}

    template <typename Value>
    bool Get(Value& value) {
        if (bytes_.size() < sizeof value) return false;
        std::memcpy(&value, bytes_.data(), sizeof value);
        bytes_.remove_prefix(sizeof value);
        return true;
    }

    bool GetText(std::string& text) {
        uint32_t size = 0;
        if (!Get(size) || bytes_.size() < size) return false;
        text.assign(bytes_.data(), size);
        bytes_.remove_prefix(size);
        return true;
    }

    // `count` items of `size` bytes each follow.
    bool Holds(uint32_t count, std::size_t size) const { return bytes_.size() / size >= count; }
    bool Empty() const { return bytes_.empty(); }

private:
    std::string_view bytes_;
};

// One record's fields, from the bytes after its length; std::invalid_argument when they are
// damaged.
void DecodeRecord(std::string_view bytes, StoredRecord& record) {
    Fields fields(bytes);
    CSpectrum& spectrum = record.spectrum;
    uint32_t ions = 0;
    uint32_t merged = 0;
    uint32_t peaks = 0;
    bool whole = fields.Get(spectrum.charge) && fields.Get(spectrum.precursor_mass) &&
                 fields.Get(spectrum.precursor_mz) && fields.Get(spectrum.retention_time) &&
                 fields.Get(spectrum.precursor_intensity) && fields.Get(spectrum.total_ion_current) &&
                 fields.Get(spectrum.scan) && fields.Get(spectrum.ms_level) && fields.Get(record.input) &&
                 fields.GetText(spectrum.file_name) && fields.GetText(spectrum.title) &&
                 fields.GetText(spectrum.peptide) && fields.GetText(record.native_id) && fields.Get(ions) &&
                 fields.Holds(ions, sizeof(double) * 2 + sizeof(int32_t));
    if (whole) {
        spectrum.fragment_ions = FragmentIonArray(ions);
        for (uint32_t k = 0; k < ions && whole; ++k) {
            whole = fields.Get(spectrum.fragment_ions[k].mz) && fields.Get(spectrum.fragment_ions[k].intensity) &&
                    fields.Get(spectrum.fragment_ions[k].ion_index);
        }
    }
    whole = whole && fields.Get(merged) && fields.Holds(merged, sizeof(uint32_t));
    if (whole) {
        spectrum.merged_scans.resize(merged);
        for (uint32_t& scan : spectrum.merged_scans) fields.Get(scan);
    }
    whole = whole && fields.Get(peaks) && fields.Holds(peaks, sizeof(Peak));
    if (whole) {
        spectrum.peaks.resize(peaks);
        for (Peak& peak : spectrum.peaks) fields.Get(peak);
    }
    if (!whole || !fields.Empty()) throw std::invalid_argument("damaged record");
}

}  // namespace

void AppendRecord(std::string& out, const CSpectrum& spectrum, uint32_t input, std::string_view native_id) {
    // The length goes first; it is known once the fields are in.
    const std::size_t start = out.size();
    Put(out, uint64_t{0});
    Put(out, spectrum.charge);
    Put(out, spectrum.precursor_mass);
    Put(out, spectrum.precursor_mz);
    Put(out, spectrum.retention_time);
    Put(out, spectrum.precursor_intensity);
    Put(out, spectrum.total_ion_current);
    Put(out, spectrum.scan);
    Put(out, spectrum.ms_level);
    Put(out, input);
    PutText(out, spectrum.file_name);
    PutText(out, spectrum.title);
    PutText(out, spectrum.peptide);
    PutText(out, native_id);
    Put(out, spectrum.fragment_ions.size());
    for (uint32_t k = 0; k < spectrum.fragment_ions.size(); ++k) {
        Put(out, spectrum.fragment_ions[k].mz);
        Put(out, spectrum.fragment_ions[k].intensity);
        Put(out, spectrum.fragment_ions[k].ion_index);
    }
    Put(out, static_cast<uint32_t>(spectrum.merged_scans.size()));
    for (const uint32_t scan : spectrum.merged_scans) Put(out, scan);
    Put(out, static_cast<uint32_t>(spectrum.peaks.size()));
    out.append(reinterpret_cast<const char*>(spectrum.peaks.data()), spectrum.peaks.size() * sizeof(Peak));
    const auto length = static_cast<uint64_t>(out.size() - start - sizeof(uint64_t));
    std::memcpy(out.data() + start, &length, sizeof length);
}

bool TakeRecord(std::string_view& bytes, StoredRecord& record) {
    if (bytes.empty()) return false;
    uint64_t length = 0;
    if (bytes.size() < sizeof length) throw std::invalid_argument("record cut short");
    std::memcpy(&length, bytes.data(), sizeof length);
    if (bytes.size() - sizeof length < length) throw std::invalid_argument("record cut short");
    DecodeRecord(bytes.substr(sizeof length, length), record);
    bytes.remove_prefix(sizeof length + length);
    return true;
}

void RecordFileWriter::Write(const CSpectrum& spectrum, uint32_t input, std::string_view native_id) {
    const std::size_t before = buffer_.size();
    AppendRecord(buffer_, spectrum, input, native_id);
    bytes_ += buffer_.size() - before;
    if (buffer_.size() >= kBufferBytes) Flush();
}

void RecordFileWriter::Flush() {
    file_.Write(buffer_);
    buffer_.clear();
}

void RecordFileWriter::Close() {
    Flush();
    file_.Close();
}

RecordFileReader::RecordFileReader(std::string path) : path_(std::move(path)) {
    file_ = OpenStdioFile(path_, "rb");
    if (!file_) throw std::system_error(errno, std::generic_category(), "cannot open " + path_);
}

bool RecordFileReader::NextBytes() {
    uint64_t length = 0;
    const std::size_t got = std::fread(&length, 1, sizeof length, file_.get());
    if (got == 0 && std::feof(file_.get())) return false;
    const auto fail = [&](const char* what) -> bool {
        if (std::ferror(file_.get())) throw std::system_error(errno, std::generic_category(), "cannot read " + path_);
        throw FormatError(path_, "byte " + std::to_string(offset_), what);
    };
    if (got != sizeof length) return fail("record cut short");
    if (length > (uint64_t{1} << 40)) return fail("damaged record length");
    buffer_.resize(length);
    if (std::fread(buffer_.data(), 1, length, file_.get()) != length) return fail("record cut short");
    offset_ += sizeof length + length;
    return true;
}

bool RecordFileReader::Next(StoredRecord& record) {
    if (!NextBytes()) return false;
    try {
        DecodeRecord(buffer_, record);
    } catch (const std::invalid_argument& error) {
        throw FormatError(path_, "byte " + std::to_string(offset_), error.what());
    }
    return true;
}

bool RecordFileReader::NextKey(int32_t& charge, double& precursor_mass) {
    if (!NextBytes()) return false;
    Fields fields(buffer_);
    if (!fields.Get(charge) || !fields.Get(precursor_mass)) {
        throw FormatError(path_, "byte " + std::to_string(offset_), "damaged record");
    }
    return true;
}

}  // namespace speclink
