#include "speclink/formats/MgfReader.h"

#include <cstring>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "speclink/formats/FormatError.h"
#include "speclink/formats/LineInput.h"
#include "speclink/formats/MgfMappedReader.h"
#include "speclink/formats/MgfSpectrumParser.h"
#include "speclink/formats/PeakLineText.h"
#include "speclink/formats/TextFields.h"
#include "speclink/formats/TextScan.h"
#include "speclink/library/common/InOrderTasks.h"

namespace speclink {
namespace {

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
    MgfScratch scratch;
    try {
        for (const SpectrumLines& spectrum : chunk.spectra) {
            const std::string_view lines = chunk.text().substr(spectrum.begin, spectrum.end - spectrum.begin);
            MgfSpectrumParser parser(path, spectrum.begin_line, spectrum.index, spectrum.default_charges, scratch);
            if (parser.Lines(lines, chunk.readable_end()) != nullptr) chunk_emitter.Emit(std::move(parser.Finish()));
        }
    } catch (...) {
        parsed.error = std::current_exception();
    }
    return parsed;
}

// Reads a stream (a gzip file, a pipe), or scans any input, block by block, and cuts it into
// chunks of whole spectra (a mapped file is read by ReadMappedMgf). Here only the lines
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
                emitter_->Emit(std::move(large_->Finish()));
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
            if (trimmed.empty() || IsMgfComment(trimmed)) return;
            if (TakeMgfHeaderLine(trimmed, input_.path(), line_number_, default_charges_) == MgfHeaderLine::kBeginIons) {
                BeginSpectrum();
            }
        }
    }

    // Parses the spectrum being read on this thread from now on, after handing on every
    // spectrum before it.
    void ParseHere() {
        large_spectrum_ = std::move(spectra_.back());
        spectra_.pop_back();
        Submit(large_spectrum_.begin);
        tasks_.Finish();
        large_.emplace(input_.path(), large_spectrum_.begin_line, large_spectrum_.index, large_spectrum_.default_charges,
                       large_scratch_);
        large_->Lines(Text().substr(0, scanned_), Text().data() + scanned_);
    }

    void BeginSpectrum() {
        in_spectrum_ = true;
        spectra_.push_back({line_number_, ++index_, default_charges_, scanned_, 0});
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
        emitter_->Forward(parsed.counted, parsed.records, parsed.native_ids);
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
    // A spectrum parsed here, and its parser.
    SpectrumLines large_spectrum_{};
    std::optional<MgfSpectrumParser> large_;
    MgfScratch large_scratch_;
};

}  // namespace

void ReadMgf(ByteInput& input, RecordEmitter& emitter, const MgfState& start) {
    if (input.mapped()) {
        ReadMappedMgf(input, emitter, start);
        return;
    }
    MgfReader(input, &emitter, start).Run();
}

MgfState ScanMgf(ByteInput& input, const MgfState& start) {
    MgfReader reader(input, nullptr, start);
    reader.Run();
    return reader.state();
}

}  // namespace speclink
