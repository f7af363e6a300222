#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "speclink/formats/FormatError.h"
#include "speclink/formats/SourceSpectrum.h"

namespace speclink {

/// Whether a trimmed, non-empty MGF line is a comment ('#', ';', '!' or '/' first).
bool IsMgfComment(std::string_view line);

/// What an MGF line outside spectra is.
enum class MgfHeaderLine { kBeginIons, kCharge, kOther };

/// Takes a trimmed, non-empty, non-comment MGF line outside a spectrum, the line `line_number`
/// of `path`: a header CHARGE sets `default_charges`. Raises the FormatError of a line that
/// has no place there.
MgfHeaderLine TakeMgfHeaderLine(std::string_view line, const std::string& path, uint64_t line_number,
                                std::vector<int>& default_charges);

/// Where the first "BEGIN IONS" line at or after byte `offset` of MGF `text` starts: the start
/// of the first line at or after `offset`, or of a later one; the size of `text` when there is
/// none. Text may be cut there into pieces that are read one after the other. With a `limit`,
/// only lines that start before it are looked at, and `limit` stands for none.
size_t MgfSpectrumStartAfter(std::string_view text, size_t offset, size_t limit = std::string_view::npos);

/// What parsing one MGF spectrum after another reuses: the peaks gather here and are copied
/// once, at their final size, into the spectrum, and the spectrum keeps the room of its
/// charges, which nearly every spectrum states.
struct MgfScratch {
    PeakList peaks;
    SourceSpectrum spectrum;
};

/// Parses the lines of one MGF spectrum, those after its "BEGIN IONS" line.
class MgfSpectrumParser {
public:
    /// The spectrum whose "BEGIN IONS" is the line `begin_line` of `path` and the `index`th
    /// spectrum (1-based), which takes `default_charges` when it states none, parsed in
    /// `scratch` (what the last spectrum left there is cleared).
    MgfSpectrumParser(const std::string& path, uint64_t begin_line, int index, const std::vector<int>& default_charges,
                      MgfScratch& scratch);

    /// Takes the spectrum's next line (without its '\n'); true when it ends the spectrum
    /// ("END IONS").
    bool Line(std::string_view raw);

    /// Takes the lines of `lines`, each ended by '\n' but the last, which may also end with
    /// `lines`. Gives the position after the line that ended the spectrum ("END IONS"), the
    /// last one taken; null when none did. A NUL byte is an error at its line. Bytes up to
    /// `readable_end` (at least the end of `lines`) may be read.
    const char* Lines(std::string_view lines, const char* readable_end);

    /// The spectrum, once its "END IONS" line has been taken: the scratch's, to be moved from.
    SourceSpectrum& Finish();

    /// The last line taken.
    uint64_t line_number() const { return line_number_; }
    /// Whether the spectrum states its charge; else it takes the default charges.
    bool states_charge() const { return has_charge_; }
    /// Whether, once finished, its scan is its position: neither SCANS nor its title gave one.
    bool positional_scan() const { return positional_scan_; }

private:
    FormatError Error(const std::string& message) const;

    bool FastPeakLine(std::string_view line);
    bool FastNumber(const char*& p, const char* end, double& value) const;
    void SpectrumLine(std::string_view line);
    void PeakLine(std::string_view line);
    void Parameter(std::string_view key, std::string_view value);

    const std::string& path_;
    uint64_t line_number_;
    int index_;
    const std::vector<int>& default_charges_;
    SourceSpectrum& spectrum_;
    PeakList& peaks_;
    const char* readable_end_ = nullptr;
    std::optional<int> scans_;
    bool has_pepmass_ = false;
    bool has_charge_ = false;
    bool positional_scan_ = false;
};

}  // namespace speclink
