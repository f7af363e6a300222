#include "speclink/tests/support/MzxmlWriter.h"

#include <stdexcept>
#include <vector>

#include "speclink/formats/BinaryArrayEncoder.h"
#include "speclink/formats/PrecursorMz.h"

namespace speclink {
namespace {

/// Room kept for the scan count, which is known only at the end.
constexpr size_t kCountWidth = 28;

std::string CountAttribute(uint64_t count) {
    std::string text = "scanCount=\"" + std::to_string(count) + "\"";
    text.resize(kCountWidth, ' ');
    return text;
}

}  // namespace

MzxmlWriter::MzxmlWriter(std::string path, MzxmlWriteOptions options) : file_(std::move(path)), options_(options) {
    if (options_.precision != 32 && options_.precision != 64)
        throw std::invalid_argument("mzXML precision must be 32 or 64");
    file_.Write(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<mzXML xmlns=\"http://sashimi.sourceforge.net/schema_revision/mzXML_3.2\">\n"
        "  <msRun ");
    count_position_ = file_.Position();
    file_.Write(CountAttribute(0) + ">\n");
}

void MzxmlWriter::Write(const CSpectrum& spectrum) {
    ++count_;
    const int32_t num = spectrum.scan != 0 ? spectrum.scan : static_cast<int32_t>(count_);
    std::string text = "    <scan num=\"" + std::to_string(num) + "\" msLevel=\"2\" peaksCount=\"" +
                       std::to_string(spectrum.peaks.size()) + "\" retentionTime=\"PT" +
                       Lossless(spectrum.retention_time) + "S\"";
    if (spectrum.total_ion_current != 0.0) text += " totIonCurrent=\"" + Lossless(spectrum.total_ion_current) + "\"";
    text += ">\n      <precursorMz precursorIntensity=\"" + Lossless(spectrum.precursor_intensity) + "\"";
    if (spectrum.charge != 0) text.append(" precursorCharge=\"").append(std::to_string(spectrum.charge)).append("\"");
    text.append(">").append(Lossless(PrecursorMzForWriting(spectrum))).append("</precursorMz>\n");

    std::vector<double> pairs;
    pairs.reserve(spectrum.peaks.size() * 2);
    for (const Peak& peak : spectrum.peaks) {
        pairs.push_back(peak.mz);
        pairs.push_back(peak.intensity);
    }
    ArrayEncoding encoding;
    encoding.type = options_.precision == 32 ? ArrayEncoding::Type::kFloat32 : ArrayEncoding::Type::kFloat64;
    encoding.zlib = options_.zlib;
    encoding.big_endian = true;
    const std::string data = EncodeBinaryArray(pairs, encoding);
    text += "      <peaks precision=\"" + std::to_string(options_.precision) +
            "\" byteOrder=\"network\" contentType=\"m/z-int\" compressionType=\"" + (options_.zlib ? "zlib" : "none") +
            "\" compressedLen=\"" + std::to_string(options_.zlib ? data.size() : 0) + "\">" + data +
            "</peaks>\n    </scan>\n";
    file_.Write(text);
}

void MzxmlWriter::Close() {
    file_.Write("  </msRun>\n</mzXML>\n");
    file_.WriteAt(count_position_, CountAttribute(count_));
    file_.Close();
}

}  // namespace speclink
