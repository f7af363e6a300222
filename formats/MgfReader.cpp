#include "speclink/formats/MgfReader.h"

#include <fast_float/fast_float.h>

#include <array>
#include <cmath>
#include <cstring>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "speclink/formats/FormatError.h"
#include "speclink/formats/LineInput.h"
#include "speclink/formats/PeakLineText.h"
#include "speclink/formats/ShortDecimal.h"
#include "speclink/formats/SpectrumNaming.h"
#include "speclink/formats/TextFields.h"
#include "speclink/formats/TextScan.h"
#include "speclink/library/common/InOrderTasks.h"

namespace speclink {
namespace {

bool IsComment(std::string_view line) {
    const char c = line.front();
    return c == '#' || c == ';' || c == '!' || c == '/';
}

bool StartsPeak(std::string_view line) {
    const char c = line.front();
    return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+';
}

/// A CHARGE value: one charge or a list; an error at `line` of `path` when it is neither.
std::vector<int> Charges(std::string_view value, const std::string& path, uint64_t line) {
    std::optional<std::vector<int>> charges = ParseChargeList(value);
    if (!charges) {
        throw FormatError::AtLine(
            path, line, "expected a charge such as 2+ or a list such as '2+ and 3+', found '" + std::string(value) + "'");
    }
    return std::move(*charges);
}

/// The key of a KEY=value line, or empty when the line is not one.
std::string_view KeyOf(std::string_view line) {
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos || equals == 0) return {};
    for (const char c : line.substr(0, equals)) {
        const bool word = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
        if (!word) return {};
    }
    return line.substr(0, equals);
}

// One spectrum as the cutter hands it on: its lines from the one after "BEGIN IONS" up to
// and including "END IONS" (or to the end of the file), each ended by '\n', in the text of
// its chunk.
struct SpectrumLines {
    uint64_t begin_line;               // line number of its "BEGIN IONS"
    int index;                         // 1-based position in the file
    std::vector<int> default_charges;  // the header CHARGE in force
    size_t begin;
    size_t end;
};

// Consecutive spectra of the file, parsed as one piece of work.
struct MgfChunk {
    // The text the spectra lie in: part of a mapped file, or text of its own.
    std::string_view mapped;
    std::string owned;
    // Bytes after the text that may be read too (numbers are read several bytes at a time).
    size_t readable_after = 0;
    std::vector<SpectrumLines> spectra;

    std::string_view text() const { return mapped.data() != nullptr ? mapped : std::string_view(owned); }
    const char* readable_end() const { return text().data() + text().size() + readable_after; }
};

// What parsing a chunk gave: its records and counts, in file order, and the error that
// stopped it, if any.
struct ParsedChunk {
    const char* text_end = nullptr;  // of the chunk's text, when it lies in a mapped file
    ReadResult counted;
    std::vector<CSpectrum> records;
    std::vector<std::string> native_ids;
    std::exception_ptr error;
};

// Parses the lines of one spectrum.
class SpectrumParser {
public:
    // `scratch` holds the peaks while the spectrum is parsed; it is cleared here and may be
    // reused for the next spectrum.
    SpectrumParser(const std::string& path, const SpectrumLines& spectrum, PeakList& scratch)
        : path_(path),
          line_number_(spectrum.begin_line),
          index_(spectrum.index),
          default_charges_(spectrum.default_charges),
          peaks_(scratch) {
        peaks_.clear();
    }

    // Takes the spectrum's next line (without its '\n'); true when it ends the spectrum
    // ("END IONS").
    bool Line(std::string_view raw) {
        ++line_number_;
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
        if (!raw.empty() && raw.front() >= '0' && raw.front() <= '9' && FastPeakLine(raw)) return false;
        const std::string_view line = Trim(raw);
        if (line.empty() || IsComment(line)) return false;
        if (EqualsIgnoreCase(line, "END IONS")) return true;
        SpectrumLine(line);
        return false;
    }

    // The spectrum, once its "END IONS" line has been taken.
    SourceSpectrum Finish() {
        if (!has_pepmass_) throw Error("expected a PEPMASS line before 'END IONS'");
        if (!has_charge_) spectrum_.charges = default_charges_;
        spectrum_.peaks.assign(peaks_.begin(), peaks_.end());
        if (scans_) {
            spectrum_.scan = *scans_;
        } else {
            spectrum_.scan = ScanFromTitle(spectrum_.title).value_or(index_);
        }
        return std::move(spectrum_);
    }

    // Takes lines, each ended by '\n'; true when one of them ended the spectrum, which is
    // the last one taken. Bytes up to `readable_end` (at least the end of `lines`) may be read.
    bool Lines(std::string_view lines, const char* readable_end) {
        const char* p = lines.data();
        const char* const end = p + lines.size();
        readable_end_ = readable_end;
        while (p != end) {
            if (*p >= '0' && *p <= '9' && readable_end - p >= kPeakLineReadable) {
                double mz = 0.0;
                double intensity = 0.0;
                if (const char* const next = ReadPeakLine(p, mz, intensity); next != nullptr && next <= end) {
                    ++line_number_;
                    peaks_.push_back({mz, intensity});
                    p = next;
                    continue;
                }
            }
            const auto* newline = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
            if (static_cast<size_t>(newline - p) > LineInput::kDefaultMaxLineLength) {
                ++line_number_;
                throw Error("line longer than " + std::to_string(LineInput::kDefaultMaxLineLength) + " bytes");
            }
            const bool ended = Line(std::string_view(p, static_cast<size_t>(newline - p)));
            p = newline + 1;
            if (ended) return true;
        }
        return false;
    }

private:
    FormatError Error(const std::string& message) const { return FormatError::AtLine(path_, line_number_, message); }

    // Peak lines the general path meets first: "m/z intensity" with both numbers normal
    // and positive, and at most a fragment charge after them. Takes such a line and gives
    // true; anything else, including a line that may be an error, is left to the rest of
    // the general path.
    bool FastPeakLine(std::string_view line) {
        const char* p = line.data();
        const char* const end = p + line.size();
        double mz = 0.0;
        double intensity = 0.0;
        if (!FastNumber(p, end, mz) || p == end) return false;
        SkipBlanks(p, end);
        if (p == end || *p == '+' || !FastNumber(p, end, intensity)) return false;
        SkipBlanks(p, end);
        if (p != end) {
            const char* const charge = p;
            while (p != end && !IsBlankChar(*p)) ++p;
            const char* const charge_end = p;
            SkipBlanks(p, end);
            if (p != end || !ParseChargeList(std::string_view(charge, static_cast<size_t>(charge_end - charge)))) {
                return false;
            }
        }
        if (!(mz > 0.0) || !(intensity > 0.0)) return false;
        peaks_.push_back({mz, intensity});
        return true;
    }

    static bool IsBlankChar(char c) { return c == ' ' || c == '\t'; }

    static void SkipBlanks(const char*& p, const char* end) {
        while (p != end && IsBlankChar(*p)) ++p;
    }
    // A normal number ending at a blank or the line end, as ParseDouble reads it.
    bool FastNumber(const char*& p, const char* end, double& value) const {
        if (const char* const after = ReadShortDecimal(p, end, readable_end_, value)) {
            if (after == end || IsBlankChar(*after)) {
                p = after;
                return true;
            }
        }
        const auto [after, error] = fast_float::from_chars(p, end, value);
        if (error != std::errc() || (after != end && !IsBlankChar(*after)) || !std::isnormal(value)) return false;
        p = after;
        return true;
    }

    void SpectrumLine(std::string_view line) {
        if (EqualsIgnoreCase(line, "BEGIN IONS")) throw Error("expected 'END IONS' before 'BEGIN IONS'");
        const std::string_view key = KeyOf(line);
        if (!key.empty()) {
            Parameter(key, Trim(line.substr(key.size() + 1)));
        } else if (StartsPeak(line) || ParseDouble(SplitFields(line).front())) {
            PeakLine(line);
        } else {
            throw Error("expected a peak line 'm/z intensity', a KEY=value line or 'END IONS'");
        }
    }

    void PeakLine(std::string_view line) {
        std::array<std::string_view, 3> fields;
        const size_t count = SplitFields(line, fields);
        if (count < 2 || count > 3) throw Error("expected a peak line 'm/z intensity'");
        const std::optional<double> mz = ParseDouble(fields[0]);
        const std::optional<double> intensity = ParseDouble(fields[1]);
        if (!mz) throw Error("expected a number for the peak m/z, found '" + std::string(fields[0]) + "'");
        if (!intensity) throw Error("expected a number for the peak intensity, found '" + std::string(fields[1]) + "'");
        if (!std::isfinite(*mz) || *mz <= 0.0) throw Error("peak m/z must be a positive finite number");
        if (!std::isfinite(*intensity) || *intensity < 0.0) {
            throw Error("peak intensity must be a finite number of at least 0");
        }
        if (count == 3 && !ParseChargeList(fields[2])) {
            throw Error("expected a fragment charge in the third column, found '" + std::string(fields[2]) + "'");
        }
        peaks_.push_back({*mz, *intensity});
    }

    void Parameter(std::string_view key, std::string_view value) {
        if (EqualsIgnoreCase(key, "PEPMASS")) {
            const std::vector<std::string_view> fields = SplitFields(value);
            if (fields.empty() || fields.size() > 2) throw Error("expected PEPMASS=m/z or PEPMASS=m/z intensity");
            const std::optional<double> mz = ParseDouble(fields[0]);
            if (!mz || !std::isfinite(*mz) || *mz <= 0.0) throw Error("PEPMASS must be a positive finite m/z");
            spectrum_.precursor_mz = *mz;
            if (fields.size() == 2) {
                const std::optional<double> intensity = ParseDouble(fields[1]);
                if (!intensity || !std::isfinite(*intensity))
                    throw Error("expected a precursor intensity after the PEPMASS m/z");
                spectrum_.precursor_intensity = *intensity;
            }
            has_pepmass_ = true;
        } else if (EqualsIgnoreCase(key, "CHARGE")) {
            spectrum_.charges = Charges(value, path_, line_number_);
            has_charge_ = true;
        } else if (EqualsIgnoreCase(key, "TITLE")) {
            spectrum_.title = std::string(value);
            spectrum_.native_id = spectrum_.title;
        } else if (EqualsIgnoreCase(key, "RTINSECONDS")) {
            const size_t dash = value.find('-', 1);
            const std::optional<double> seconds = ParseDouble(Trim(value.substr(0, dash)));
            if (!seconds || !std::isfinite(*seconds)) throw Error("expected RTINSECONDS=seconds");
            spectrum_.retention_time = *seconds;
        } else if (EqualsIgnoreCase(key, "SCANS")) {
            const std::string_view first = value.substr(0, value.find_first_of("-,"));
            scans_ = ParseInt(Trim(first));
            if (!scans_) throw Error("expected SCANS=number");
        } else if (EqualsIgnoreCase(key, "SEQ")) {
            spectrum_.peptide = std::string(value);
        } else if (EqualsIgnoreCase(key, "MSLEVEL")) {
            const std::optional<int> level = ParseInt(value);
            if (!level) throw Error("expected MSLEVEL=number");
            spectrum_.ms_level = *level;
        }
    }

    const std::string& path_;
    uint64_t line_number_;
    int index_;
    std::vector<int> default_charges_;
    SourceSpectrum spectrum_;
    // Peaks gather here and are copied once, at their final size, into the record.
    PeakList& peaks_;
    const char* readable_end_ = nullptr;
    std::optional<int> scans_;
    bool has_pepmass_ = false;
    bool has_charge_ = false;
};

// Parses the spectra of a chunk and makes their records, counted apart from the file's.
ParsedChunk ParseChunk(const std::string& path, const MgfChunk& chunk, const RecordEmitter& emitter) {
    ParsedChunk parsed;
    if (chunk.mapped.data() != nullptr) parsed.text_end = chunk.mapped.data() + chunk.mapped.size();
    const SpectrumSink keep = [&parsed](CSpectrum&& record, std::string_view native_id) {
        parsed.records.push_back(std::move(record));
        parsed.native_ids.emplace_back(native_id);
    };
    RecordEmitter chunk_emitter = emitter.Redirected(parsed.counted, keep);
    parsed.records.reserve(chunk.spectra.size());
    parsed.native_ids.reserve(chunk.spectra.size());
    PeakList scratch;
    try {
        for (const SpectrumLines& spectrum : chunk.spectra) {
            const std::string_view lines = chunk.text().substr(spectrum.begin, spectrum.end - spectrum.begin);
            SpectrumParser parser(path, spectrum, scratch);
            if (parser.Lines(lines, chunk.readable_end())) chunk_emitter.Emit(parser.Finish());
        }
    } catch (...) {
        parsed.error = std::current_exception();
    }
    return parsed;
}

// Reads the file block by block and cuts it into chunks of whole spectra. Here only the lines
// that decide where a spectrum begins and ends are looked at, and header lines between
// spectra are dealt with; the spectra are parsed on up to `threads` worker threads, a chunk
// each, and their records handed on in file order. An error is reported only once
// everything before it in the file has been handed on, so it is always the first error of
// the file, as on one thread.
class MgfReader {
public:
    // Reads from `start`; with `emitter` null only scans (see ScanMgf).
    MgfReader(ByteInput& input, RecordEmitter* emitter, const MgfState& start)
        : input_(input),
          emitter_(emitter),
          threads_(emitter != nullptr ? emitter->options().threads : 1),
          viewing_(input.mapped()),
          line_number_(start.lines),
          default_charges_(start.default_charges),
          index_(start.spectra) {
        if (!viewing_) owned_.reserve(kChunkBytes + ByteInput::kBlockSize);
    }

    // Where the reading stands: after Run, the state at the end of the input.
    MgfState state() const { return {line_number_, index_, default_charges_}; }

    void Run() {
        std::exception_ptr error;
        try {
            Cut();
        } catch (...) {
            error = std::current_exception();
        }
        // The spectrum being read when the file or the reading ended, up to the last line
        // looked at; not when an error before it ended the reading as that spectrum was set
        // aside to be parsed here.
        if (in_spectrum_ && !large_ && !spectra_.empty()) spectra_.back().end = scanned_;
        if (!spectra_.empty()) Submit(scanned_);
        tasks_.Finish();
        if (error) std::rethrow_exception(error);
        if (in_spectrum_) throw Error("expected 'END IONS' before end of file");
    }

private:
    // Text of whole spectra gathered before the chunk is handed to a worker.
    static constexpr size_t kChunkBytes = 1 << 20;
    // A spectrum whose own text grows beyond this is parsed here, line by line, so that its
    // text is not held.
    static constexpr size_t kLargeSpectrumBytes = 256 * 1024;
    static constexpr size_t kMaxLineLength = LineInput::kDefaultMaxLineLength;

    FormatError Error(const std::string& message) const {
        return FormatError::AtLine(input_.path(), line_number_, message);
    }

    void Cut() {
        for (;;) {
            const std::string_view block = input_.NextBlock();
            if (block.empty()) break;
            Append(block);
            ScanLines();
            DropLooked();
        }
        // The last line may lack its line end.
        if (scanned_ < Text().size()) {
            // Ended here as in any other line: the rest of the text becomes the reader's own.
            if (viewing_) {
                owned_.assign(window_);
                viewing_ = false;
            }
            owned_ += '\n';
            ScanLines();
        }
    }

    std::string_view Text() const { return viewing_ ? window_ : std::string_view(owned_); }

    void Append(std::string_view block) {
        if (!viewing_) {
            owned_.append(block);
        } else if (window_.empty()) {
            window_ = block;
        } else {
            // Blocks of a mapped file follow each other.
            window_ = std::string_view(window_.data(), window_.size() + block.size());
        }
    }

    // Looks at the whole lines after `scanned_`: inside a spectrum only those that may end it.
    void ScanLines() {
        while (in_spectrum_ && !large_ ? SkipToCandidate() : NextLine()) {
        }
    }

    // Looks at the next whole line; false when there is none yet.
    bool NextLine() {
        const char* const text = Text().data();
        const size_t size = Text().size();
        const char* const start = text + scanned_;
        const auto* found = static_cast<const char*>(std::memchr(start, '\n', size - scanned_));
        const char* const line_end = found != nullptr ? found : text + size;
        if (const auto* nul = static_cast<const char*>(std::memchr(start, '\0', static_cast<size_t>(line_end - start)))) {
            NulAfter(static_cast<size_t>(nul - start));
        }
        if (found == nullptr) {
            if (size - scanned_ > kMaxLineLength) LineTooLong();
            return false;
        }
        TakeLineAt(static_cast<size_t>(found - text));
        return true;
    }

    // The text ends at a NUL byte `partial` bytes into the line from `scanned_`: what reads
    // as a line up to there is judged as the last line of the file would be, then the byte is
    // reported.
    [[noreturn]] void NulAfter(size_t partial) {
        if (partial > kMaxLineLength) LineTooLong();
        ++line_number_;
        throw Error("binary data (NUL byte) in a text file");
    }

    // Inside a spectrum: moves to the next line that holds an 'N' or 'n', which every line
    // that can end the spectrum holds and no peak line does, and looks at it, counting the
    // lines passed. False when no such line is whole yet. A NUL byte ends the text.
    bool SkipToCandidate() {
        const char* const text = Text().data();
        const char* const from = text + scanned_;
        const char* const end = text + Text().size();
        std::size_t passed_lines = 0;
        const char* stop = FindLetterNOrNul(from, end, passed_lines);
        const char* newline = nullptr;
        if (stop != end && *stop != '\0') {
            newline = static_cast<const char*>(std::memchr(stop, '\n', static_cast<size_t>(end - stop)));
            const char* const line_end = newline != nullptr ? newline : end;
            if (const auto* nul = static_cast<const char*>(std::memchr(stop, '\0', static_cast<size_t>(line_end - stop)))) {
                stop = nul;
                newline = nullptr;
            }
        }
        const bool at_nul = stop != end && *stop == '\0';
        // Lines before the one that may end the spectrum or holds the NUL, or all whole lines;
        // the lines counted up to `stop` are exactly those.
        const char* const passed_end = newline != nullptr || at_nul ? stop : end;
        const auto* last = static_cast<const char*>(memrchr(from, '\n', static_cast<size_t>(passed_end - from)));
        if (last != nullptr) {
            line_number_ += passed_lines;
            scanned_ = static_cast<size_t>(last + 1 - text);
        }
        if (newline == nullptr) {
            const size_t partial = static_cast<size_t>(passed_end - text) - scanned_;
            if (scanned_ - spectra_.back().begin > kLargeSpectrumBytes && emitter_ != nullptr) ParseHere();
            // Parsed here from now on, the rest is read line by line, as the last line of
            // the file would be.
            if (at_nul) NulAfter(large_ ? partial : 0);
            return false;
        }
        TakeLineAt(static_cast<size_t>(newline - text));
        return true;
    }

    // Looks at the line from `scanned_` to the line end at `newline`.
    void TakeLineAt(size_t newline) {
        const size_t length = newline - scanned_;
        if (length > kMaxLineLength) LineTooLong();
        std::string_view line(Text().data() + scanned_, length);
        ++line_number_;
        scanned_ = newline + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        TakeLine(line);
    }

    [[noreturn]] void LineTooLong() {
        ++line_number_;
        throw Error("line longer than " + std::to_string(kMaxLineLength) + " bytes");
    }

    // Text no spectrum of the chunk needs any more: header lines, the lines of a spectrum
    // parsed here.
    void DropLooked() {
        if (!spectra_.empty() || scanned_ == 0) return;
        if (viewing_) {
            window_.remove_prefix(scanned_);
        } else {
            owned_.erase(0, scanned_);
        }
        scanned_ = 0;
    }

    void TakeLine(std::string_view line) {
        if (large_) {
            if (large_->Line(line)) {
                emitter_->Emit(large_->Finish());
                large_.reset();
                in_spectrum_ = false;
            }
        } else if (in_spectrum_) {
            if (EqualsIgnoreCase(Trim(line), "END IONS")) {
                EndSpectrum();
            } else if (scanned_ - spectra_.back().begin > kLargeSpectrumBytes && emitter_ != nullptr) {
                ParseHere();
            }
        } else {
            const std::string_view trimmed = Trim(line);
            if (trimmed.empty() || IsComment(trimmed)) return;
            HeaderLine(trimmed);
        }
    }

    // Parses the spectrum being read on this thread from now on, after handing on every
    // spectrum before it.
    void ParseHere() {
        const SpectrumLines spectrum = spectra_.back();
        spectra_.pop_back();
        Submit(spectrum.begin);
        tasks_.Finish();
        large_.emplace(input_.path(), spectrum, large_peaks_);
        large_->Lines(Text().substr(0, scanned_), Text().data() + scanned_);
    }

    void HeaderLine(std::string_view line) {
        if (EqualsIgnoreCase(line, "BEGIN IONS")) {
            in_spectrum_ = true;
            spectra_.push_back({line_number_, ++index_, default_charges_, scanned_, 0});
            return;
        }
        if (EqualsIgnoreCase(line, "END IONS")) throw Error("'END IONS' without 'BEGIN IONS'");
        const std::string_view key = KeyOf(line);
        if (key.empty()) throw Error("expected 'BEGIN IONS' or a KEY=value header line");
        if (EqualsIgnoreCase(key, "CHARGE")) {
            default_charges_ = Charges(line.substr(key.size() + 1), input_.path(), line_number_);
        }
    }

    void EndSpectrum() {
        in_spectrum_ = false;
        spectra_.back().end = scanned_;
        if (scanned_ >= kChunkBytes) Submit(scanned_);
    }

    // Hands on the spectra gathered, whose text lies before `cut`; the text after it stays.
    // Parses them on a worker, or here when there are none or none can be started.
    void Submit(size_t cut) {
        MgfChunk chunk;
        chunk.spectra = std::move(spectra_);
        spectra_.clear();
        if (viewing_) {
            chunk.mapped = window_.substr(0, cut);
            chunk.readable_after = window_.size() - cut;
            window_.remove_prefix(cut);
        } else {
            chunk.owned = std::move(owned_);
            owned_ = std::string();
            owned_.reserve(kChunkBytes + ByteInput::kBlockSize);
            owned_.assign(chunk.owned, cut);
            chunk.owned.resize(cut);
            // Numbers near the end of the text may be read several bytes at a time.
            chunk.owned.append(kPeakLineReadable, '\0');
        }
        scanned_ -= cut;
        // A scan only counts the spectra.
        if (chunk.spectra.empty() || emitter_ == nullptr) return;
        tasks_.Add([this, chunk = std::move(chunk)] { return ParseChunk(input_.path(), chunk, *emitter_); });
    }

    void HandOn(ParsedChunk parsed) {
        emitter_->Forward(parsed.counted, std::move(parsed.records), parsed.native_ids);
        // Chunks are handed on in file order: nothing before this one's end is read again.
        if (parsed.text_end != nullptr) input_.Release(parsed.text_end);
        if (parsed.error) std::rethrow_exception(parsed.error);
    }

    ByteInput& input_;
    RecordEmitter* emitter_;  // null when scanning
    int threads_;
    // Text read and not yet handed on, and the spectra in it; lines before `scanned_` have
    // been looked at. The text is a window on the mapped file while `viewing_`, else the
    // reader's own.
    bool viewing_;
    std::string_view window_;
    std::string owned_;
    std::vector<SpectrumLines> spectra_;
    size_t scanned_ = 0;
    uint64_t line_number_;
    std::vector<int> default_charges_;
    bool in_spectrum_ = false;
    int index_;
    // Chunks parsed on worker threads, handed on in file order.
    InOrderTasks<ParsedChunk, std::function<void(ParsedChunk)>> tasks_{
        threads_, [this](ParsedChunk parsed) { HandOn(std::move(parsed)); }};
    std::optional<SpectrumParser> large_;
    PeakList large_peaks_;
};

}  // namespace

void ReadMgf(ByteInput& input, RecordEmitter& emitter, const MgfState& start) {
    MgfReader(input, &emitter, start).Run();
}

MgfState ScanMgf(ByteInput& input, const MgfState& start) {
    MgfReader reader(input, nullptr, start);
    reader.Run();
    return reader.state();
}

}  // namespace speclink
