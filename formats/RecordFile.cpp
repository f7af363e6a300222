#include "speclink/formats/RecordFile.h"

#include <cerrno>
#include <cstring>
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

}  // namespace

void RecordFileWriter::Write(const CSpectrum& spectrum, uint32_t input, std::string_view native_id) {
    // The length goes first; it is known once the fields are in.
    const std::size_t start = buffer_.size();
    Put(buffer_, uint64_t{0});
    Put(buffer_, spectrum.charge);
    Put(buffer_, spectrum.precursor_mass);
    Put(buffer_, spectrum.precursor_mz);
    Put(buffer_, spectrum.retention_time);
    Put(buffer_, spectrum.precursor_intensity);
    Put(buffer_, spectrum.total_ion_current);
    Put(buffer_, spectrum.scan);
    Put(buffer_, spectrum.ms_level);
    Put(buffer_, input);
    PutText(buffer_, spectrum.file_name);
    PutText(buffer_, spectrum.title);
    PutText(buffer_, spectrum.peptide);
    PutText(buffer_, native_id);
    Put(buffer_, spectrum.fragment_ions.size());
    for (uint32_t k = 0; k < spectrum.fragment_ions.size(); ++k) {
        Put(buffer_, spectrum.fragment_ions[k].mz);
        Put(buffer_, spectrum.fragment_ions[k].intensity);
        Put(buffer_, spectrum.fragment_ions[k].ion_index);
    }
    Put(buffer_, static_cast<uint32_t>(spectrum.merged_scans.size()));
    for (const uint32_t scan : spectrum.merged_scans) Put(buffer_, scan);
    Put(buffer_, static_cast<uint32_t>(spectrum.peaks.size()));
    buffer_.append(reinterpret_cast<const char*>(spectrum.peaks.data()), spectrum.peaks.size() * sizeof(Peak));
    const auto length = static_cast<uint64_t>(buffer_.size() - start - sizeof(uint64_t));
    std::memcpy(buffer_.data() + start, &length, sizeof length);
    bytes_ += buffer_.size() - start;
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
    Fields fields(buffer_);
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
    if (!whole || !fields.Empty()) {
        throw FormatError(path_, "byte " + std::to_string(offset_), "damaged record");
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
