// The text of the spectrum files the consensus step writes. Lines are made in memory so
// that they can be made on worker threads and written to their files in order elsewhere.

#include "speclink/library/consensus/SpectrumText.h"

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

}  // namespace

void AppendPeakLines(std::string& text, const FixedPointWriter& writer, const PeakList& peaks) {
    for (const Peak& peak : peaks) {
        writer.Append(text, peak.mz, kDecimals);
        text += ' ';
        writer.Append(text, peak.intensity, kDecimals);
        text += '\n';
    }
}

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

}  // namespace speclink
