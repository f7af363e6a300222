#include "speclink/tests/support/Ms2Writer.h"

#include <cmath>

#include "speclink/formats/PrecursorMz.h"

namespace speclink {
namespace {

/// Minutes m near seconds / 60 for which m * 60.0 == seconds, as the reader computes it;
/// seconds / 60 when no neighbour within a few units in the last place does.
double MinutesFor(double seconds) {
    const double minutes = seconds / 60.0;
    double below = minutes;
    double above = minutes;
    for (int step = 0; step < 8; ++step) {
        if (below * 60.0 == seconds) return below;
        if (above * 60.0 == seconds) return above;
        below = std::nextafter(below, -INFINITY);
        above = std::nextafter(above, INFINITY);
    }
    return minutes;
}

}  // namespace

Ms2Writer::Ms2Writer(std::string path) : file_(std::move(path)) { file_.Write("H\tExtractor\tspeclink\n"); }

void Ms2Writer::Write(const CSpectrum& spectrum) {
    const std::string scan = std::to_string(spectrum.scan);
    std::string text = "S\t" + scan + "\t" + scan + "\t" + Lossless(PrecursorMzForWriting(spectrum)) + "\n";
    if (spectrum.retention_time != 0.0) text += "I\tRTime\t" + Lossless(MinutesFor(spectrum.retention_time)) + "\n";
    if (spectrum.charge != 0)
        text += "Z\t" + std::to_string(spectrum.charge) + "\t" + Lossless(spectrum.precursor_mass) + "\n";
    for (const Peak& peak : spectrum.peaks) text += Lossless(peak.mz) + " " + Lossless(peak.intensity) + "\n";
    file_.Write(text);
}

}  // namespace speclink
