// The text of the spectrum files the consensus step writes. Lines are made in memory so
// that they can be made on worker threads and written to their files in order elsewhere.

#include "speclink/library/consensus/SpectrumText.h"

#include "speclink/library/common/FormattedText.h"
#include "speclink/library/consensus/RepresentativeSpectra.h"
#include "speclink/library/peaks/PeakSelect.h"

namespace speclink {

namespace {

// "%f" and "%lf" both write six decimals.
constexpr int kDecimals = 6;

// Appends "<value> <number>\n" as "%f %d\n" writes it.
void AppendMassLine(std::string& text, const FixedPointWriter& writer, double value, int32_t number) {
    writer.Append(text, value, kDecimals);
    text += ' ';
    text += std::to_string(number);
    text += '\n';
}

// Appends the peaks as "%f %f\n" lines.
void AppendPeakLines(std::string& text, const FixedPointWriter& writer, const PeakList& peaks) {
    for (const Peak& peak : peaks) {
        writer.Append(text, peak.mz, kDecimals);
        text += ' ';
        writer.Append(text, peak.intensity, kDecimals);
        text += '\n';
    }
}

}  // namespace

std::string SpectrumFileText(const CSpectrum& spectrum) {
    const FixedPointWriter writer;
    std::string text;
    AppendMassLine(text, writer, spectrum.precursor_mass, spectrum.charge);
    AppendPeakLines(text, writer, spectrum.peaks);
    return text;
}

std::string ConsensusHeader(double precursor_mass, int32_t charge) {
    const FixedPointWriter writer;
    std::string text;
    AppendMassLine(text, writer, precursor_mass, charge);
    return text;
}

std::string ConsensusSpectrumText(const PeakList& merged, const std::string& header) {
    PeakList consensus = CRepresentativeSpectra::MergeConsensusPeaks(merged);
    // The ten most intense merged peaks of every 100 m/z window, in ascending m/z.
    const CPeakSelect window_top(PEAK_SELECT_PART_TOP, 0, 10, 100);
    window_top.SelectPeak(consensus);
    const FixedPointWriter writer;
    std::string text = header;
    AppendPeakLines(text, writer, consensus);
    return text;
}

}  // namespace speclink
