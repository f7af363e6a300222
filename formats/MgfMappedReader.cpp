#include "speclink/formats/MgfMappedReader.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "speclink/formats/FormatError.h"
#include "speclink/formats/LineInput.h"
#include "speclink/formats/MgfSpectrumParser.h"
#include "speclink/formats/TextFields.h"
#include "speclink/formats/TextScan.h"
#include "speclink/library/common/TurnTakingWorkers.h"

namespace speclink {
namespace {

constexpr size_t kMaxLineLength = LineInput::kDefaultMaxLineLength;

// A spectrum whose records wait for what the pieces before its own tell.
struct WaitingSpectrum {
    size_t records_before;  // records of the piece made before it
    int index;              // its position in the piece, 1-based
    bool positional_scan;   // its scan is its position in the file
    bool default_charges;   // it takes the header CHARGE in force when the piece begins
    SourceSpectrum spectrum;
};

// What reading one piece gave. Line numbers and positions count from the piece's start.
struct ParsedPiece {
    ReadResult counted;
    std::vector<CSpectrum> records;
    std::vector<std::string> native_ids;
    std::vector<WaitingSpectrum> waiting;
    uint64_t lines = 0;
    int spectra = 0;
    std::optional<std::vector<int>> default_charges;  // set by a header CHARGE in the piece
    size_t end = 0;                                   // where the next piece begins, or this empty one's cut
    size_t cut = 0;                                   // where the next piece is cut
    std::exception_ptr error;
};

// Reads one piece of the text, from its first spectrum start to the next piece's.
class PieceParser {
public:
    PieceParser(const std::string& path, std::string_view text, const char* readable_end, const RecordEmitter& emitter)
        : path_(path),
          text_(text),
          text_end_(text.data() + text.size()),
          readable_end_(readable_end),
          emitter_(emitter.Redirected(parsed_.counted, keep_)) {}

    // The piece cut at offsets [from, to).
    ParsedPiece Parse(size_t from, size_t to) {
        // A piece in which no spectrum starts is empty: its search ends with it, so that a
        // long stretch without spectra is searched once, not by every piece before its end.
        const size_t begin = MgfSpectrumStartAfter(text_, from, to);
        parsed_.end = begin == to ? to : MgfSpectrumStartAfter(text_, to);
        parsed_.cut = to;
        // A record for every 512 bytes of the piece is more than MGF files hold: the lists
        // seldom grow.
        parsed_.records.reserve((to - from) / 512);
        parsed_.native_ids.reserve((to - from) / 512);
        try {
            Walk(text_.data() + begin, text_.data() + parsed_.end);
        } catch (...) {
            parsed_.error = std::current_exception();
        }
        return std::move(parsed_);
    }

private:
    // Lines outside spectra up to `stop`, and the spectra they begin.
    void Walk(const char* p, const char* stop) {
        while (p < stop) {
            const char* const found = FindLineEndOrNul(p, text_end_, readable_end_);
            const char* const line_end = found != nullptr ? found : text_end_;
            const size_t length = static_cast<size_t>(line_end - p);
            ++line_;
            if (length > kMaxLineLength) throw Error("line longer than " + std::to_string(kMaxLineLength) + " bytes");
            if (found != nullptr && *found == '\0') throw Error("binary data (NUL byte) in a text file");
            std::string_view line(p, length);
            p = found != nullptr ? found + 1 : text_end_;
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            const std::string_view trimmed = Trim(line);
            if (trimmed.empty() || IsMgfComment(trimmed)) continue;
            switch (TakeMgfHeaderLine(trimmed, path_, line_, defaults_)) {
                case MgfHeaderLine::kBeginIons:
                    p = Spectrum(p);
                    break;
                case MgfHeaderLine::kCharge:
                    parsed_.default_charges = defaults_;
                    break;
                case MgfHeaderLine::kOther:
                    break;
            }
        }
        parsed_.lines = line_;
    }

    // Reads the spectrum whose lines start at `p`; gives where its text ends.
    const char* Spectrum(const char* p) {
        const int index = ++parsed_.spectra;
        MgfSpectrumParser parser(path_, line_, index, defaults_, scratch_);
        // A spectrum may run on past the piece, up to an error.
        const char* const after =
            parser.Lines(std::string_view(p, static_cast<size_t>(text_end_ - p)), readable_end_);
        line_ = parser.line_number();
        if (after == nullptr) throw Error("expected 'END IONS' before end of file");
        SourceSpectrum& spectrum = parser.Finish();
        const bool unknown_charges = !parser.states_charge() && !parsed_.default_charges;
        if (parser.positional_scan() || unknown_charges) {
            parsed_.waiting.push_back(
                {parsed_.records.size(), index, parser.positional_scan(), unknown_charges, std::move(spectrum)});
        } else {
            emitter_.Emit(std::move(spectrum));
        }
        return after;
    }

    FormatError Error(const std::string& message) const { return FormatError::AtLine(path_, line_, message); }

    const std::string& path_;
    const std::string_view text_;
    const char* const text_end_;
    const char* const readable_end_;
    ParsedPiece parsed_;
    const SpectrumSink keep_ = [this](CSpectrum&& record, std::string_view native_id) {
        parsed_.records.push_back(std::move(record));
        parsed_.native_ids.emplace_back(native_id);
    };
    RecordEmitter emitter_;
    // Lines taken; the header CHARGE in force, once the piece sets one.
    uint64_t line_ = 0;
    std::vector<int> defaults_;
    MgfScratch scratch_;
};

// Hands the pieces on in file order, with what the pieces before each tell.
class PieceHandOn {
public:
    PieceHandOn(ByteInput& input, RecordEmitter& emitter, const MgfState& start, const char* text)
        : input_(input), emitter_(emitter), state_(start), text_(text) {}

    void operator()(ParsedPiece parsed) {
        size_t next = 0;
        ReadResult counted = parsed.counted;
        const std::span<CSpectrum> records(parsed.records);
        const std::span<const std::string> ids(parsed.native_ids);
        for (WaitingSpectrum& waiting : parsed.waiting) {
            const size_t count = waiting.records_before - next;
            emitter_.Forward(counted, records.subspan(next, count), ids.subspan(next, count));
            counted = {};
            next = waiting.records_before;
            if (waiting.positional_scan) waiting.spectrum.scan = state_.spectra + waiting.index;
            if (waiting.default_charges) waiting.spectrum.charges = state_.default_charges;
            emitter_.Emit(std::move(waiting.spectrum));
        }
        emitter_.Forward(counted, records.subspan(next), ids.subspan(next));
        if (parsed.error) Rethrow(parsed.error);
        state_.lines += parsed.lines;
        state_.spectra += parsed.spectra;
        if (parsed.default_charges) state_.default_charges = std::move(*parsed.default_charges);
        // Nothing before the next piece's cut is read again: it looks back one byte, and
        // then for its first spectrum start.
        input_.Release(text_ + parsed.cut - 1);
        input_.Passed(text_ + parsed.end);
    }

private:
    // The error with its line counted from the start of the file.
    [[noreturn]] void Rethrow(const std::exception_ptr& error) const {
        try {
            std::rethrow_exception(error);
        } catch (const FormatError& format_error) {
            if (!format_error.line()) throw;
            throw FormatError::AtLine(format_error.file(), state_.lines + *format_error.line(), format_error.message());
        }
    }

    ByteInput& input_;
    RecordEmitter& emitter_;
    MgfState state_;
    const char* text_;
};

}  // namespace

void ReadMappedMgf(ByteInput& input, RecordEmitter& emitter, const MgfState& start) {
    const std::string_view text = input.MappedRest();
    const char* const readable_end = text.data() + text.size() + input.MappedReadableAfter();
    const int threads = std::max(1, emitter.options().threads);
    // Several pieces a thread even for small files, so that the threads share the work to
    // its end; not so large that their records take much memory while they wait.
    const size_t piece = std::clamp<size_t>(text.size() / (static_cast<size_t>(threads) * 8), 1 << 16, 1 << 22);
    PieceHandOn hand_on(input, emitter, start, text.data());
    RunTakingTurns(
        (text.size() + piece - 1) / piece, threads,
        [&](size_t k) {
            return PieceParser(input.path(), text, readable_end, emitter)
                .Parse(k * piece, std::min(text.size(), (k + 1) * piece));
        },
        [&hand_on](ParsedPiece parsed) { hand_on(std::move(parsed)); });
    input.Passed(text.data() + text.size());
}

}  // namespace speclink
