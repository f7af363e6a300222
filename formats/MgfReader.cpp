#include "speclink/formats/MgfReader.h"

#include <array>
#include <cmath>
#include <deque>
#include <exception>
#include <future>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "speclink/formats/FormatError.h"
#include "speclink/formats/LineInput.h"
#include "speclink/formats/SpectrumNaming.h"
#include "speclink/formats/TextFields.h"

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
    std::string text;
    std::vector<SpectrumLines> spectra;
};

// What parsing a chunk gave: its records and counts, in file order, and the error that
// stopped it, if any.
struct ParsedChunk {
    ReadResult counted;
    std::vector<CSpectrum> records;
    std::vector<std::string> native_ids;
    std::exception_ptr error;
};

// Parses the lines of one spectrum.
class SpectrumParser {
public:
    SpectrumParser(const std::string& path, const SpectrumLines& spectrum)
        : path_(path),
          line_number_(spectrum.begin_line),
          index_(spectrum.index),
          default_charges_(spectrum.default_charges) {}

    // Takes the spectrum's next line; true when it ends the spectrum ("END IONS").
    bool Line(std::string_view raw) {
        ++line_number_;
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
        if (scans_) {
            spectrum_.scan = *scans_;
        } else {
            spectrum_.scan = ScanFromTitle(spectrum_.title).value_or(index_);
        }
        return std::move(spectrum_);
    }

    // Takes lines, each ended by '\n'; true when one of them ended the spectrum, which is
    // the last one taken.
    bool Lines(std::string_view lines) {
        while (!lines.empty()) {
            const size_t newline = lines.find('\n');
            const bool ended = Line(lines.substr(0, newline));
            lines.remove_prefix(newline + 1);
            if (ended) return true;
        }
        return false;
    }

private:
    FormatError Error(const std::string& message) const { return FormatError::AtLine(path_, line_number_, message); }

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
        spectrum_.peaks.push_back({*mz, *intensity});
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
    std::optional<int> scans_;
    bool has_pepmass_ = false;
    bool has_charge_ = false;
};

// Parses the spectra of a chunk and makes their records, counted apart from the file's.
ParsedChunk ParseChunk(const std::string& path, const MgfChunk& chunk, const RecordEmitter& emitter) {
    ParsedChunk parsed;
    const SpectrumSink keep = [&parsed](CSpectrum&& record, std::string_view native_id) {
        parsed.records.push_back(std::move(record));
        parsed.native_ids.emplace_back(native_id);
    };
    RecordEmitter chunk_emitter = emitter.Redirected(parsed.counted, keep);
    try {
        for (const SpectrumLines& spectrum : chunk.spectra) {
            const std::string_view lines(chunk.text.data() + spectrum.begin, spectrum.end - spectrum.begin);
            SpectrumParser parser(path, spectrum);
            if (parser.Lines(lines)) chunk_emitter.Emit(parser.Finish());
        }
    } catch (...) {
        parsed.error = std::current_exception();
    }
    return parsed;
}

// Reads the file line by line and cuts it into chunks of whole spectra. The header lines
// between spectra are dealt with here; the spectra are parsed on up to `threads` worker
// threads, a chunk each, and their records handed on in file order. An error is reported
// only once everything before it in the file has been handed on, so it is always the
// first error of the file, as on one thread.
class MgfReader {
public:
    MgfReader(ByteInput& input, RecordEmitter& emitter)
        : lines_(input), emitter_(emitter), threads_(emitter.options().threads) {}

    void Run() {
        std::exception_ptr error;
        try {
            Cut();
        } catch (...) {
            error = std::current_exception();
        }
        // The spectrum being read when the file or the reading ended; not when an error
        // before it ended the reading as that spectrum was set aside to be parsed here.
        if (in_spectrum_ && !large_ && !chunk_.spectra.empty()) chunk_.spectra.back().end = chunk_.text.size();
        if (!chunk_.spectra.empty()) Submit();
        while (!pending_.empty()) HandOnOldest();
        if (error) std::rethrow_exception(error);
        if (in_spectrum_) throw Error("expected 'END IONS' before end of file");
    }

private:
    // Text held in a chunk before it is handed to a worker; a spectrum whose own text
    // grows beyond it is parsed here, line by line, so that its text is not held.
    static constexpr size_t kChunkBytes = 256 * 1024;

    FormatError Error(const std::string& message) const {
        return FormatError::AtLine(lines_.path(), lines_.line_number(), message);
    }

    void Cut() {
        std::string_view raw;
        while (lines_.Next(raw)) {
            if (large_) {
                if (large_->Line(raw)) {
                    emitter_.Emit(large_->Finish());
                    large_.reset();
                    in_spectrum_ = false;
                }
            } else if (in_spectrum_) {
                chunk_.text.append(raw);
                chunk_.text += '\n';
                if (EqualsIgnoreCase(Trim(raw), "END IONS")) {
                    EndSpectrum();
                } else if (chunk_.text.size() - chunk_.spectra.back().begin > kChunkBytes) {
                    ParseHere();
                }
            } else {
                const std::string_view line = Trim(raw);
                if (line.empty() || IsComment(line)) continue;
                HeaderLine(line);
            }
        }
    }

    // Parses the spectrum being read on this thread from now on, after handing on every
    // spectrum before it.
    void ParseHere() {
        const SpectrumLines spectrum = chunk_.spectra.back();
        chunk_.spectra.pop_back();
        const std::string lines = chunk_.text.substr(spectrum.begin);
        chunk_.text.resize(spectrum.begin);
        if (chunk_.spectra.empty()) {
            chunk_ = MgfChunk{};
        } else {
            Submit();
        }
        while (!pending_.empty()) HandOnOldest();
        large_.emplace(lines_.path(), spectrum);
        large_->Lines(lines);
    }

    void HeaderLine(std::string_view line) {
        if (EqualsIgnoreCase(line, "BEGIN IONS")) {
            in_spectrum_ = true;
            chunk_.spectra.push_back({lines_.line_number(), ++index_, default_charges_, chunk_.text.size(), 0});
            return;
        }
        if (EqualsIgnoreCase(line, "END IONS")) throw Error("'END IONS' without 'BEGIN IONS'");
        const std::string_view key = KeyOf(line);
        if (key.empty()) throw Error("expected 'BEGIN IONS' or a KEY=value header line");
        if (EqualsIgnoreCase(key, "CHARGE")) {
            default_charges_ = Charges(line.substr(key.size() + 1), lines_.path(), lines_.line_number());
        }
    }

    void EndSpectrum() {
        in_spectrum_ = false;
        chunk_.spectra.back().end = chunk_.text.size();
        if (chunk_.text.size() >= kChunkBytes) Submit();
    }

    // Parses the chunk on a worker, or here when there are none or none can be started.
    void Submit() {
        MgfChunk chunk = std::move(chunk_);
        chunk_ = MgfChunk{};
        if (threads_ > 1) {
            if (pending_.size() >= static_cast<size_t>(threads_)) HandOnOldest();
            try {
                pending_.push_back(std::async(std::launch::async, [this, chunk = std::move(chunk)] {
                    return ParseChunk(lines_.path(), chunk, emitter_);
                }));
                return;
            } catch (const std::system_error&) {
                // No thread to be had: parse it here, after the ones already started.
                while (!pending_.empty()) HandOnOldest();
            }
        }
        HandOn(ParseChunk(lines_.path(), chunk, emitter_));
    }

    void HandOnOldest() {
        ParsedChunk parsed = pending_.front().get();
        pending_.pop_front();
        HandOn(std::move(parsed));
    }

    void HandOn(ParsedChunk parsed) {
        emitter_.Forward(parsed.counted, std::move(parsed.records), parsed.native_ids);
        if (parsed.error) {
            // Workers still parsing later chunks finish before the error leaves.
            pending_.clear();
            std::rethrow_exception(parsed.error);
        }
    }

    LineInput lines_;
    RecordEmitter& emitter_;
    int threads_;
    std::vector<int> default_charges_;
    bool in_spectrum_ = false;
    int index_ = 0;
    MgfChunk chunk_;
    std::deque<std::future<ParsedChunk>> pending_;
    std::optional<SpectrumParser> large_;
};

}  // namespace

void ReadMgf(ByteInput& input, RecordEmitter& emitter) { MgfReader(input, emitter).Run(); }

}  // namespace speclink
