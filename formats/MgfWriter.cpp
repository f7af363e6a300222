#include "speclink/formats/MgfWriter.h"

#include <stdexcept>

#include "speclink/formats/PrecursorMz.h"

namespace speclink {
namespace {

void RequireOneLine(const std::string& text, const char* what) {
    if (text.find_first_of("\r\n") != std::string::npos)
        throw std::invalid_argument(std::string(what) + " holds a line break");
}

}  // namespace

void MgfWriter::Write(const CSpectrum& spectrum) { file_.Write(MgfEntry(spectrum)); }

std::string MgfEntry(const CSpectrum& spectrum) {
    RequireOneLine(spectrum.title, "title");
    RequireOneLine(spectrum.peptide, "peptide");
    std::string text = "BEGIN IONS\n";
    if (!spectrum.title.empty()) text += "TITLE=" + spectrum.title + "\n";
    text += "PEPMASS=" + Lossless(PrecursorMzForWriting(spectrum));
    if (spectrum.precursor_intensity != 0.0) text.append(" ").append(Lossless(spectrum.precursor_intensity));
    text += "\n";
    if (spectrum.charge > 0) text += "CHARGE=" + std::to_string(spectrum.charge) + "+\n";
    if (spectrum.charge < 0) text += "CHARGE=" + std::to_string(-spectrum.charge) + "-\n";
    if (spectrum.retention_time != 0.0) text += "RTINSECONDS=" + Lossless(spectrum.retention_time) + "\n";
    if (spectrum.scan != 0) text += "SCANS=" + std::to_string(spectrum.scan) + "\n";
    if (!spectrum.peptide.empty()) text += "SEQ=" + spectrum.peptide + "\n";
    for (const Peak& peak : spectrum.peaks) text += Lossless(peak.mz) + " " + Lossless(peak.intensity) + "\n";
    text += "END IONS\n\n";
    return text;
}

}  // namespace speclink
