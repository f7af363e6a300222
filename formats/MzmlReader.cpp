#include "speclink/formats/MzmlReader.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <exception>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "speclink/formats/BinaryArrayDecoder.h"
#include "speclink/formats/FormatError.h"
#include "speclink/formats/MarkupScanner.h"
#include "speclink/formats/SpectrumNaming.h"
#include "speclink/formats/TextFields.h"
#include "speclink/formats/XmlParser.h"
#include "speclink/library/common/InOrderTasks.h"
#include "speclink/library/common/TurnTakingWorkers.h"

namespace speclink {
namespace {

struct CvParam {
    std::string accession;
    std::string value;
    std::string unit_accession;
};

enum class ArrayKind { kOther, kMz, kIntensity };

/// An m/z or intensity array whose text waits to be decoded, with the line an error in it
/// names.
struct PendingArray {
    ArrayKind kind;
    std::string text;
    ArrayEncoding encoding;
    size_t length;
    uint64_t line;
};

std::string ArrayName(ArrayKind kind) { return kind == ArrayKind::kMz ? "m/z array" : "intensity array"; }

/// What every message about a spectrum starts with; made only for a message.
std::string SpectrumContext(const std::string& index_text, const std::string& id) {
    return "spectrum index " + index_text + " (id '" + id + "'): ";
}

/// The spectrum being read and where inside it the parser is.
struct SpectrumState {
    SourceSpectrum spectrum;
    std::string id;
    std::string index_text;
    size_t default_length = 0;
    std::optional<int> ms_level;
    bool ms1_term = false;
    std::vector<int> possible_charges;
    std::optional<int> charge;
    int scans_seen = 0;
    int precursors_seen = 0;
    int selected_ions_seen = 0;
    std::vector<PendingArray> arrays;  // in document order

    bool Has(ArrayKind kind) const {
        for (const PendingArray& array : arrays) {
            if (array.kind == kind) return true;
        }
        return false;
    }
};

struct ArrayState {
    ArrayEncoding encoding;
    ArrayKind kind = ArrayKind::kOther;
    size_t length = 0;
    std::string text;
    bool has_binary = false;
};

/// A spectrum read whole but for its arrays, which are decoded and made into peaks apart from
/// the parsing, on another thread when there is one.
struct PendingSpectrum {
    SourceSpectrum spectrum;
    std::string index_text;
    std::string id;
    std::vector<PendingArray> arrays;
    bool ms2 = false;
    uint64_t end_line = 0;  // of its </spectrum>, which errors in its peaks name
};

std::vector<double> Decode(const std::string& path, const std::string& index_text, const std::string& id,
                           const PendingArray& array) {
    try {
        return DecodeBinaryArray(array.text, array.encoding, array.length);
    } catch (const ArrayDecodeError& error) {
        throw FormatError::AtLine(path, array.line,
                                  SpectrumContext(index_text, id) + ArrayName(array.kind) + ": " + error.what());
    }
}

/// The spectrum with its peaks, from the m/z and intensity arrays of an MS2 spectrum.
SourceSpectrum Finish(const std::string& path, PendingSpectrum pending) {
    std::optional<std::vector<double>> mz;
    std::optional<std::vector<double>> intensity;
    for (const PendingArray& array : pending.arrays) {
        (array.kind == ArrayKind::kMz ? mz : intensity) = Decode(path, pending.index_text, pending.id, array);
    }
    if (!pending.ms2) return std::move(pending.spectrum);
    const auto error = [&](const std::string& message) {
        return FormatError::AtLine(path, pending.end_line, SpectrumContext(pending.index_text, pending.id) + message);
    };
    const size_t mz_count = mz ? mz->size() : 0;
    const size_t intensity_count = intensity ? intensity->size() : 0;
    if (mz_count == 0 && intensity_count == 0) return std::move(pending.spectrum);
    if (!mz) throw error("expected an m/z array");
    if (!intensity) throw error("expected an intensity array");
    if (mz_count != intensity_count) {
        throw error("m/z and intensity arrays differ in length (" + std::to_string(mz_count) + " and " +
                    std::to_string(intensity_count) + ")");
    }
    PeakList& peaks = pending.spectrum.peaks;
    peaks.resize(mz_count);
    for (size_t i = 0; i < mz_count; ++i) {
        const double m = (*mz)[i];
        const double value = (*intensity)[i];
        if (!std::isfinite(m) || m <= 0.0) {
            throw error("peak " + std::to_string(i + 1) + ": m/z must be a positive finite number");
        }
        if (!std::isfinite(value) || value < 0.0) {
            throw error("peak " + std::to_string(i + 1) + ": intensity must be a finite number of at least 0");
        }
        peaks[i] = {m, value};
    }
    return std::move(pending.spectrum);
}

/// What finishing a batch of spectra gave: their records and counts, in file order, and the
/// error that stopped it, if any.
struct FinishedBatch {
    ReadResult counted;
    std::vector<CSpectrum> records;
    std::vector<std::string> native_ids;
    std::exception_ptr error;
};

FinishedBatch FinishBatch(const std::string& path, std::vector<PendingSpectrum> batch, const RecordEmitter& emitter) {
    FinishedBatch finished;
    const SpectrumSink keep = [&finished](CSpectrum&& record, std::string_view native_id) {
        finished.records.push_back(std::move(record));
        finished.native_ids.emplace_back(native_id);
    };
    RecordEmitter batch_emitter = emitter.Redirected(finished.counted, keep);
    try {
        for (PendingSpectrum& pending : batch) batch_emitter.Emit(Finish(path, std::move(pending)));
    } catch (...) {
        finished.error = std::current_exception();
    }
    return finished;
}

/// Where a spectrum element starts in [from, to): its start tag's '<', or `to`. Only the text
/// from `from` on is looked at; the tag may run on past `to`.
const char* SpectrumStart(const char* from, const char* to, const char* end) {
    static constexpr std::string_view kTag = "<spectrum";
    for (const char* p = from; p < to;) {
        p = static_cast<const char*>(std::memchr(p, '<', static_cast<size_t>(to - p)));
        if (p == nullptr) break;
        if (static_cast<size_t>(end - p) > kTag.size() && std::string_view(p, kTag.size()) == kTag) {
            // The name ends there: not <spectrumList>.
            const char next = p[kTag.size()];
            if (next == ' ' || next == '\t' || next == '\r' || next == '\n' || next == '/' || next == '>') return p;
        }
        ++p;
    }
    return to;
}

/// A piece of a spectrum list, read on its own: from one spectrum start to another, or to the
/// list's end tag.
struct ListPiece {
    bool empty = true;           // no spectrum starts in it
    const char* stop = nullptr;  // the next piece's begin
    const char* cut = nullptr;   // the next piece's cut, before which the next reads nothing
    const char* end = nullptr;   // where its reading ended; null when it could not be read alone
    int spectra = 0;
    ReadResult counted;
    std::vector<CSpectrum> records;
    std::vector<std::string> native_ids;
};

/// Thrown in a piece of a spectrum list where its reading needs what the pieces before it
/// tell: the piece is read again, after them.
struct NeedsTheListBefore {};

class MzmlHandler : public XmlHandler {
public:
    MzmlHandler(ByteInput& input, RecordEmitter& emitter)
        : input_(input),
          emitter_(emitter),
          parser_(input, *this, "binary"),
          tasks_(emitter.options().threads, [this](FinishedBatch batch) { HandOn(std::move(batch)); }) {}

    /// A handler for a piece of a spectrum list, in the state `list_reader` is in between two
    /// spectra of the list; its spectra are finished as they end.
    MzmlHandler(ByteInput& input, RecordEmitter& emitter, const MzmlHandler& list_reader)
        : MzmlHandler(input, emitter) {
        root_seen_ = true;
        path_ = list_reader.path_;
        groups_ = list_reader.groups_;
        in_piece_ = true;
    }

    void Run() {
        try {
            parser_.Parse();
        } catch (...) {
            // The arrays decoded apart may hold an error that comes before this one in the
            // file: the spectra before, then the arrays of the spectrum being read.
            if (!in_order_error_) {
                Dispatch();
                tasks_.Finish();
                if (spectrum_) {
                    for (const PendingArray& array : spectrum_->arrays) {
                        Decode(input_.path(), spectrum_->index_text, spectrum_->id, array);
                    }
                }
            }
            throw;
        }
        Dispatch();
        tasks_.Finish();
        if (!root_seen_) throw FormatError(input_.path(), "1", "expected an mzML document, found no element");
    }

    /// Reads the document `text` (the whole input, mapped) through a MarkupScanner; false,
    /// when it leaves the scanner's subset, for the caller to read it through expat. Any
    /// error leaves as an exception, found in the order the scanner meets it.
    bool RunScanned(std::string_view text) {
        const auto passed = [this](const char* at) {
            input_.Release(at);
            input_.Passed(at);
        };
        MarkupScanner::ContentReader list{"spectrumList",
                                          [this, text](const char* begin) { return ReadListInPieces(text, begin); }};
        if (!MarkupScanner(text, *this, passed, std::move(list)).Run()) return false;
        Dispatch();
        tasks_.Finish();
        return root_seen_;
    }

    void StartElement(std::string_view name, const XmlAttributes& attributes) override {
        if (!root_seen_) {
            root_seen_ = true;
            if (name != "mzML" && name != "indexedmzML") {
                throw parser_.ErrorHere("expected an mzML document, found <" + std::string(name) + ">");
            }
        }
        path_.emplace_back(name);
        const std::string_view parent =
            path_.size() < 2 ? std::string_view() : std::string_view(path_[path_.size() - 2]);
        if (name == "cvParam") {
            CvParam param{std::string(attributes.Get("accession").value_or("")),
                          std::string(attributes.Get("value").value_or("")),
                          std::string(attributes.Get("unitAccession").value_or(""))};
            Apply(parent, param);
        } else if (name == "referenceableParamGroupRef") {
            const std::string ref(attributes.Get("ref").value_or(""));
            const auto group = groups_.find(ref);
            if (group == groups_.end()) throw parser_.ErrorHere("unknown referenceableParamGroup '" + ref + "'");
            // A copy: a reference inside a group definition adds to that group, which may be
            // the very group referenced.
            const std::vector<CvParam> params = group->second;
            for (const CvParam& param : params) Apply(parent, param);
        } else if (name == "referenceableParamGroup") {
            if (in_piece_) throw NeedsTheListBefore();
            group_id_ = std::string(attributes.Get("id").value_or(""));
            groups_[*group_id_].clear();
        } else if (name == "spectrum") {
            StartSpectrum(attributes);
        } else if (spectrum_ && name == "scan") {
            ++spectrum_->scans_seen;
        } else if (spectrum_ && name == "precursor") {
            ++spectrum_->precursors_seen;
        } else if (spectrum_ && name == "selectedIon") {
            ++spectrum_->selected_ions_seen;
        } else if (spectrum_ && name == "binaryDataArray") {
            array_.emplace();
            array_->length = spectrum_->default_length;
            if (const auto length = attributes.Get("arrayLength")) array_->length = Count(*length, "arrayLength");
        } else if (array_ && name == "binary") {
            array_->has_binary = true;
        }
    }

    void EndElement(std::string_view name) override {
        path_.pop_back();
        if (name == "referenceableParamGroup") {
            group_id_.reset();
        } else if (name == "binaryDataArray" && array_) {
            EndArray();
        } else if (name == "spectrum" && spectrum_) {
            EndSpectrum();
        }
    }

    void Text(std::string_view text) override {
        if (array_ && !path_.empty() && path_.back() == "binary" && Wanted()) array_->text.append(text);
    }

private:
    /// Reads the content of a spectrum list, from `begin`, in pieces on the reading threads,
    /// each from one spectrum start to the next piece's, and hands their records on in order.
    /// Gives where the pieces read up to, for the scanner to go on from: the list's end tag,
    /// or the start of the first piece that could not be read alone, the scanner then reading
    /// the rest of the list itself.
    const char* ReadListInPieces(std::string_view text, const char* begin) {
        // Between two spectra of a list the handler is in the same state throughout, the state
        // each piece starts from; not so in a list inside a spectrum.
        if (spectrum_) return begin;
        // The spectra before the list go first.
        Dispatch();
        tasks_.Finish();
        const char* const end = text.data() + text.size();
        const auto size = static_cast<size_t>(end - begin);
        const int threads = std::max(1, emitter_.options().threads);
        // Several pieces a thread, so that the threads share the work to its end.
        const size_t step = std::clamp<size_t>(size / (static_cast<size_t>(threads) * 8), 1 << 10, 1 << 22);
        const auto cut = [&](size_t k) { return begin + std::min(size, k * step); };
        const char* at = begin;
        std::atomic<bool> done{false};
        RunTakingTurns(
            (size + step - 1) / step, threads,
            [&](size_t k) {
                const char* const from = k == 0 ? begin : SpectrumStart(cut(k), cut(k + 1), end);
                // A piece in which no spectrum starts is empty, so that a long stretch without
                // one is searched once.
                if (done || from == cut(k + 1)) return ListPiece{};
                return ReadPiece(text, from, SpectrumStart(cut(k + 1), end, end), cut(k + 1));
            },
            [&](ListPiece piece) {
                // A piece begins where the one before it stopped: both look for the first
                // spectrum start after the same cut.
                if (done || piece.empty) return;
                if (piece.end == nullptr) {
                    done = true;
                    return;
                }
                emitter_.Forward(piece.counted, piece.records, piece.native_ids);
                position_ += piece.spectra;
                at = piece.end;
                input_.Release(piece.cut);
                input_.Passed(at);
                if (at != piece.stop) done = true;  // at the list's end tag
            });
        return at;
    }

    ListPiece ReadPiece(std::string_view text, const char* begin, const char* stop, const char* cut) const {
        ListPiece piece;
        piece.empty = false;
        piece.stop = stop;
        piece.cut = cut;
        const SpectrumSink keep = [&piece](CSpectrum&& record, std::string_view native_id) {
            piece.records.push_back(std::move(record));
            piece.native_ids.emplace_back(native_id);
        };
        RecordEmitter emitter = emitter_.Redirected(piece.counted, keep);
        MzmlHandler handler(input_, emitter, *this);
        try {
            piece.end = MarkupScanner(text, handler, {}).ScanContent(begin, stop);
        } catch (...) {
            // An error, or a spectrum that needs the pieces before: the scanner reads the
            // piece again, in order, and meets the same.
            piece.end = nullptr;
        }
        piece.spectra = handler.position_;
        return piece;
    }

    // Spectra of this much array text, or on one thread each spectrum, are finished as one
    // piece of work.
    static constexpr size_t kBatchBytes = 1 << 22;

    FormatError SpectrumError(const std::string& message) const {
        return parser_.ErrorHere(SpectrumContext(spectrum_->index_text, spectrum_->id) + message);
    }

    size_t Count(std::string_view text, const std::string& what) const {
        const std::optional<int> value = ParseInt(Trim(text));
        if (!value || *value < 0)
            throw parser_.ErrorHere("expected a count for " + what + ", found '" + std::string(text) + "'");
        return static_cast<size_t>(*value);
    }

    double Number(const CvParam& param, const std::string& what) const {
        const std::optional<double> value = ParseDouble(Trim(param.value));
        if (!value || !std::isfinite(*value)) {
            throw SpectrumError("expected a finite number for the " + what + ", found '" + param.value + "'");
        }
        return *value;
    }

    /// Whether the current array's data matter: an m/z or intensity array of a spectrum that
    /// is not known to be of another MS level than 2.
    bool Wanted() const {
        return array_->kind != ArrayKind::kOther && (!spectrum_->ms_level || *spectrum_->ms_level == 2);
    }

    void StartSpectrum(const XmlAttributes& attributes) {
        const std::optional<std::string_view> index = attributes.Get("index");
        // Its position in the file is known only once the pieces before are read.
        if (in_piece_ && !index) throw NeedsTheListBefore();
        // An array is part of its spectrum, and never outlives it.
        array_.reset();
        spectrum_.emplace();
        ++position_;
        spectrum_->id = std::string(attributes.Get("id").value_or(""));
        spectrum_->spectrum.native_id = spectrum_->id;
        spectrum_->index_text = index ? std::string(*index) : std::to_string(position_ - 1);
        spectrum_->default_length = Count(attributes.Get("defaultArrayLength").value_or("0"), "defaultArrayLength");
        if (const std::optional<int> scan = ScanFromNativeId(spectrum_->id)) {
            spectrum_->spectrum.scan = *scan;
        } else {
            const std::optional<int> index = ParseInt(spectrum_->index_text);
            if (!index || *index < 0) throw SpectrumError("expected a whole index attribute");
            spectrum_->spectrum.scan = *index + 1;
        }
    }

    void Apply(std::string_view parent, const CvParam& param) {
        if (parent == "referenceableParamGroup" && group_id_) {
            groups_[*group_id_].push_back(param);
        } else if (!spectrum_) {
            return;
        } else if (parent == "binaryDataArray" && array_) {
            ArrayParam(param);
        } else if (parent == "spectrum") {
            SpectrumParam(param);
        } else if (parent == "scan" && spectrum_->scans_seen == 1) {
            ScanParam(param);
        } else if (parent == "selectedIon" && spectrum_->precursors_seen == 1 && spectrum_->selected_ions_seen == 1) {
            SelectedIonParam(param);
        }
    }

    void SpectrumParam(const CvParam& param) {
        if (param.accession == "MS:1000511") {
            const std::optional<int> level = ParseInt(Trim(param.value));
            if (!level) throw SpectrumError("expected a whole ms level, found '" + param.value + "'");
            spectrum_->ms_level = *level;
        } else if (param.accession == "MS:1000579") {
            spectrum_->ms1_term = true;
        } else if (param.accession == "MS:1000796") {
            spectrum_->spectrum.title = param.value;
        } else if (param.accession == "MS:1000285") {
            spectrum_->spectrum.total_ion_current = Number(param, "total ion current");
        }
    }

    void ScanParam(const CvParam& param) {
        if (param.accession != "MS:1000016") return;
        const double time = Number(param, "scan start time");
        if (param.unit_accession == "UO:0000031") {
            spectrum_->spectrum.retention_time = time * 60.0;
        } else if (param.unit_accession == "UO:0000010" || param.unit_accession.empty()) {
            spectrum_->spectrum.retention_time = time;
        } else {
            throw SpectrumError("scan start time in an unknown unit '" + param.unit_accession + "'");
        }
    }

    void SelectedIonParam(const CvParam& param) {
        if (param.accession == "MS:1000744" || param.accession == "MS:1000040") {
            const double mz = Number(param, "selected ion m/z");
            if (mz <= 0.0) throw SpectrumError("the selected ion m/z must be positive");
            spectrum_->spectrum.precursor_mz = mz;
        } else if (param.accession == "MS:1000041" || param.accession == "MS:1000633") {
            const std::optional<int> charge = ParseInt(Trim(param.value));
            if (!charge) throw SpectrumError("expected a whole charge, found '" + param.value + "'");
            if (param.accession == "MS:1000041") {
                spectrum_->charge = *charge;
            } else {
                spectrum_->possible_charges.push_back(*charge);
            }
        } else if (param.accession == "MS:1000042") {
            spectrum_->spectrum.precursor_intensity = Number(param, "precursor peak intensity");
        }
    }

    void ArrayParam(const CvParam& param) {
        using Type = ArrayEncoding::Type;
        using Numpress = ArrayEncoding::Numpress;
        ArrayEncoding& encoding = array_->encoding;
        const std::string& a = param.accession;
        if (a == "MS:1000514") {
            array_->kind = ArrayKind::kMz;
        } else if (a == "MS:1000515") {
            array_->kind = ArrayKind::kIntensity;
        } else if (a == "MS:1000521") {
            encoding.type = Type::kFloat32;
        } else if (a == "MS:1000523") {
            encoding.type = Type::kFloat64;
        } else if (a == "MS:1000519") {
            encoding.type = Type::kInt32;
        } else if (a == "MS:1000522") {
            encoding.type = Type::kInt64;
        } else if (a == "MS:1000574") {
            encoding.zlib = true;
        } else if (a == "MS:1000576") {
            encoding.zlib = false;
        } else if (a == "MS:1002312" || a == "MS:1002746") {
            encoding.numpress = Numpress::kLinear;
            encoding.zlib = encoding.zlib || a == "MS:1002746";
        } else if (a == "MS:1002313" || a == "MS:1002747") {
            encoding.numpress = Numpress::kPic;
            encoding.zlib = encoding.zlib || a == "MS:1002747";
        } else if (a == "MS:1002314" || a == "MS:1002748") {
            encoding.numpress = Numpress::kSlof;
            encoding.zlib = encoding.zlib || a == "MS:1002748";
        }
    }

    void EndArray() {
        if (Wanted()) {
            const std::string what = ArrayName(array_->kind);
            if (spectrum_->Has(array_->kind)) throw SpectrumError("a second " + what);
            if (!array_->has_binary) throw SpectrumError(what + " without a <binary> element");
            spectrum_->arrays.push_back(
                {array_->kind, std::move(array_->text), array_->encoding, array_->length, parser_.line()});
        }
        array_.reset();
    }

    void EndSpectrum() {
        SpectrumState& state = *spectrum_;
        if (state.ms_level) {
            state.spectrum.ms_level = *state.ms_level;
        } else if (state.ms1_term) {
            state.spectrum.ms_level = 1;
        } else {
            throw SpectrumError("expected an 'ms level' parameter (MS:1000511)");
        }
        const bool ms2 = state.spectrum.ms_level == 2;
        if (ms2) {
            if (state.charge) {
                state.spectrum.charges = {*state.charge};
            } else {
                state.spectrum.charges = state.possible_charges;
            }
        }
        array_.reset();
        if (in_piece_) {
            emitter_.Emit(Finish(input_.path(), {std::move(state.spectrum), std::move(state.index_text),
                                                 std::move(state.id), std::move(state.arrays), ms2, 0}));
            spectrum_.reset();
            return;
        }
        for (const PendingArray& array : state.arrays) batch_bytes_ += array.text.size();
        batch_.push_back({std::move(state.spectrum), std::move(state.index_text), std::move(state.id),
                          std::move(state.arrays), ms2, parser_.line()});
        spectrum_.reset();
        if (emitter_.options().threads <= 1 || batch_bytes_ >= kBatchBytes) Dispatch();
    }

    // Starts finishing the spectra gathered.
    void Dispatch() {
        if (batch_.empty()) return;
        std::vector<PendingSpectrum> batch;
        batch.swap(batch_);
        batch_bytes_ = 0;
        tasks_.Add([this, batch = std::move(batch)]() mutable {
            return FinishBatch(input_.path(), std::move(batch), emitter_);
        });
    }

    void HandOn(FinishedBatch batch) {
        emitter_.Forward(batch.counted, batch.records, batch.native_ids);
        if (batch.error) {
            // Everything before it in the file has been handed on.
            in_order_error_ = true;
            std::rethrow_exception(batch.error);
        }
    }

    ByteInput& input_;
    RecordEmitter& emitter_;
    XmlParser parser_;
    bool root_seen_ = false;
    std::vector<std::string> path_;
    std::map<std::string, std::vector<CvParam>> groups_;
    std::optional<std::string> group_id_;
    std::optional<SpectrumState> spectrum_;
    std::optional<ArrayState> array_;
    int position_ = 0;  // spectra started; in a piece, since its start
    bool in_piece_ = false;
    std::vector<PendingSpectrum> batch_;
    size_t batch_bytes_ = 0;
    bool in_order_error_ = false;
    InOrderTasks<FinishedBatch, std::function<void(FinishedBatch)>> tasks_;
};

}  // namespace

void ReadMzml(ByteInput& input, RecordEmitter& emitter) {
    if (!input.mapped()) {
        MzmlHandler(input, emitter).Run();
        return;
    }
    // Most files keep to the subset of XML the scanner reads. Any other, and any error, is
    // read again through expat, whose records after those already handed on go on to the
    // caller: the same records, counts and first error as expat's alone.
    ReadResult scanned;
    uint64_t handed = 0;
    std::exception_ptr sink_failure;
    const SpectrumSink pass = [&](CSpectrum&& record, std::string_view native_id) {
        try {
            emitter.sink()(std::move(record), native_id);
            ++handed;
        } catch (...) {
            sink_failure = std::current_exception();
            throw;
        }
    };
    try {
        RecordEmitter scanning = emitter.Redirected(scanned, pass);
        const std::string_view text = input.MappedRest();
        if (MzmlHandler(input, scanning).RunScanned(text)) {
            emitter.Forward(scanned, {}, {});
            input.Passed(text.data() + text.size());
            return;
        }
    } catch (...) {
        if (sink_failure) std::rethrow_exception(sink_failure);
    }
    ReadResult read;
    const SpectrumSink rest = [&](CSpectrum&& record, std::string_view native_id) {
        if (handed > 0) {
            --handed;
            return;
        }
        emitter.sink()(std::move(record), native_id);
    };
    RecordEmitter reading = emitter.Redirected(read, rest);
    try {
        MzmlHandler(input, reading).Run();
    } catch (...) {
        emitter.Forward(read, {}, {});
        throw;
    }
    emitter.Forward(read, {}, {});
}

}  // namespace speclink
