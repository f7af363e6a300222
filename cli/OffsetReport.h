#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "speclink/library/modification/MassOffsetProfile.h"
#include "speclink/library/modification/OffsetAnnotation.h"

namespace speclink::cli {

/// A mass offset of the profile with what it may be.
struct NamedOffset {
    MassOffset offset;
    OffsetAnnotation annotation;

    /// The name shown for it: its nearest single modification, else its nearest sum of two,
    /// else its substitution or amino acid, else empty.
    std::string Name() const;
};

/// Writes offsets.tsv: a header, then one line per offset, most pairs first: rank, apex,
/// lower, upper (Da), pairs, spectra, median_score, unimod, unimod_pairs, substitution,
/// amino_acid (names separated by "; ", "-" for none; the last four "-" when no Unimod file
/// was read).
void WriteOffsetTable(const std::filesystem::path& path, const std::vector<NamedOffset>& offsets);

/// The profile as an SVG plot: a bar per offset at its apex, as tall as its pairs, over the
/// mass window; the `labelled` largest named by Name() (or their apex).
std::string OffsetPlot(const std::vector<NamedOffset>& offsets, double lowest, double highest, std::size_t labelled);

/// Writes report.html: one self-contained page (inline SVG, no script, nothing fetched) with
/// the plot, the table of offsets and the settings of the run (name, value).
void WriteReport(const std::filesystem::path& path, const std::string& title, const std::string& plot,
                 const std::vector<NamedOffset>& offsets, const std::vector<std::pair<std::string, std::string>>& settings);

}  // namespace speclink::cli
