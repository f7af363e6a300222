#include "speclink/formats/MzmlWriter.h"

#include <vector>

#include "speclink/formats/BinaryArrayEncoder.h"
#include "speclink/formats/PrecursorMz.h"
#include "speclink/formats/SpectrumNaming.h"

namespace speclink {
namespace {

/// Room kept for the spectrum count, which is known only at the end.
constexpr size_t kCountWidth = 24;

std::string CvParam(const char* accession, const char* name, const std::string& value = "",
                    const char* unit = nullptr) {
    std::string text = std::string("<cvParam cvRef=\"MS\" accession=\"") + accession + "\" name=\"" + name +
                       "\" value=\"" + XmlEscape(value) + "\"";
    if (unit != nullptr) text += std::string(" ") + unit;
    return text + "/>";
}

constexpr const char* kSecondUnit = "unitCvRef=\"UO\" unitAccession=\"UO:0000010\" unitName=\"second\"";
constexpr const char* kMzUnit = "unitCvRef=\"MS\" unitAccession=\"MS:1000040\" unitName=\"m/z\"";
constexpr const char* kCountsUnit =
    "unitCvRef=\"MS\" unitAccession=\"MS:1000131\" unitName=\"number of detector counts\"";

std::string CountAttribute(uint64_t count) {
    std::string text = "count=\"" + std::to_string(count) + "\"";
    text.resize(kCountWidth, ' ');
    return text;
}

void AddEncodingParams(std::string& text, const ArrayEncoding& encoding) {
    using Numpress = ArrayEncoding::Numpress;
    const char* const indent = "\n            ";
    if (encoding.numpress == Numpress::kNone) {
        switch (encoding.type) {
            case ArrayEncoding::Type::kFloat32:
                text += indent + CvParam("MS:1000521", "32-bit float");
                break;
            case ArrayEncoding::Type::kFloat64:
                text += indent + CvParam("MS:1000523", "64-bit float");
                break;
            case ArrayEncoding::Type::kInt32:
                text += indent + CvParam("MS:1000519", "32-bit integer");
                break;
            case ArrayEncoding::Type::kInt64:
                text += indent + CvParam("MS:1000522", "64-bit integer");
                break;
        }
        text += indent +
                (encoding.zlib ? CvParam("MS:1000574", "zlib compression") : CvParam("MS:1000576", "no compression"));
        return;
    }
    // Numpress arrays decode to 64-bit floats.
    text += indent + CvParam("MS:1000523", "64-bit float");
    if (encoding.numpress == Numpress::kLinear) {
        text += indent +
                (encoding.zlib
                     ? CvParam("MS:1002746", "MS-Numpress linear prediction compression followed by zlib compression")
                     : CvParam("MS:1002312", "MS-Numpress linear prediction compression"));
    } else if (encoding.numpress == Numpress::kPic) {
        text += indent +
                (encoding.zlib
                     ? CvParam("MS:1002747", "MS-Numpress positive integer compression followed by zlib compression")
                     : CvParam("MS:1002313", "MS-Numpress positive integer compression"));
    } else {
        text += indent +
                (encoding.zlib
                     ? CvParam("MS:1002748", "MS-Numpress short logged float compression followed by zlib compression")
                     : CvParam("MS:1002314", "MS-Numpress short logged float compression"));
    }
}

}  // namespace

MzmlWriter::MzmlWriter(std::string path, MzmlWriteOptions options) : file_(path), options_(options) {
    const std::string id = XmlEscape(InputBaseName(path));
    const std::string version = SPECLINK_FORMATS_VERSION;
    const std::vector<std::string> lines = {
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>",
        "<mzML xmlns=\"http://psi.hupo.org/ms/mzml\" version=\"1.1.0\" id=\"" + id + "\">",
        "  <cvList count=\"2\">",
        "    <cv id=\"MS\" fullName=\"Proteomics Standards Initiative Mass Spectrometry Ontology\" "
        "URI=\"https://raw.githubusercontent.com/HUPO-PSI/psi-ms-CV/master/psi-ms.obo\"/>",
        "    <cv id=\"UO\" fullName=\"Unit Ontology\" "
        "URI=\"https://raw.githubusercontent.com/bio-ontology-research-group/unit-ontology/master/unit.obo\"/>",
        "  </cvList>",
        "  <fileDescription>",
        "    <fileContent>",
        "      " + CvParam("MS:1000580", "MSn spectrum"),
        "    </fileContent>",
        "  </fileDescription>",
        "  <softwareList count=\"1\">",
        "    <software id=\"speclink\" version=\"" + version + "\">",
        "      " + CvParam("MS:1000799", "custom unreleased software tool", "speclink"),
        "    </software>",
        "  </softwareList>",
        "  <instrumentConfigurationList count=\"1\">",
        "    <instrumentConfiguration id=\"IC\">",
        "      " + CvParam("MS:1000031", "instrument model"),
        "    </instrumentConfiguration>",
        "  </instrumentConfigurationList>",
        "  <dataProcessingList count=\"1\">",
        "    <dataProcessing id=\"speclink_processing\">",
        "      <processingMethod order=\"0\" softwareRef=\"speclink\">",
        "        " + CvParam("MS:1000544", "Conversion to mzML"),
        "      </processingMethod>",
        "    </dataProcessing>",
        "  </dataProcessingList>",
        "  <run id=\"" + id + "\" defaultInstrumentConfigurationRef=\"IC\">",
    };
    for (const std::string& line : lines) file_.Write(line + "\n");
    file_.Write("    <spectrumList ");
    count_position_ = file_.Position();
    file_.Write(CountAttribute(0) + " defaultDataProcessingRef=\"speclink_processing\">\n");
}

void MzmlWriter::WriteArray(const std::vector<double>& values, const ArrayEncoding& encoding, const char* accession,
                            const char* name, const char* unit) {
    const std::string data = EncodeBinaryArray(values, encoding);
    std::string text = "          <binaryDataArray encodedLength=\"" + std::to_string(data.size()) + "\">";
    AddEncodingParams(text, encoding);
    text += "\n            " + CvParam(accession, name, "", unit) + "\n            <binary>" + data +
            "</binary>\n          </binaryDataArray>\n";
    file_.Write(text);
}

void MzmlWriter::Write(const CSpectrum& spectrum) {
    const std::string index = std::to_string(count_);
    const std::string id = spectrum.scan != 0 ? "scan=" + std::to_string(spectrum.scan) : "index=" + index;
    std::string text = "      <spectrum index=\"" + index + "\" id=\"" + id + "\" defaultArrayLength=\"" +
                       std::to_string(spectrum.peaks.size()) + "\">\n";
    const auto line = [&](int indent, const std::string& content) {
        text += std::string(static_cast<size_t>(indent), ' ') + content + "\n";
    };
    line(8, CvParam("MS:1000511", "ms level", "2"));
    line(8, CvParam("MS:1000580", "MSn spectrum"));
    line(8, CvParam("MS:1000127", "centroid spectrum"));
    if (!spectrum.title.empty()) line(8, CvParam("MS:1000796", "spectrum title", spectrum.title));
    if (spectrum.total_ion_current != 0.0) {
        line(8, CvParam("MS:1000285", "total ion current", Lossless(spectrum.total_ion_current)));
    }
    line(8, "<scanList count=\"1\">");
    line(10, CvParam("MS:1000795", "no combination"));
    line(10, "<scan>");
    line(12, CvParam("MS:1000016", "scan start time", Lossless(spectrum.retention_time), kSecondUnit));
    line(10, "</scan>");
    line(8, "</scanList>");
    line(8, "<precursorList count=\"1\">");
    line(10, "<precursor>");
    line(12, "<selectedIonList count=\"1\">");
    line(14, "<selectedIon>");
    line(16, CvParam("MS:1000744", "selected ion m/z", Lossless(PrecursorMzForWriting(spectrum)), kMzUnit));
    if (spectrum.charge != 0) line(16, CvParam("MS:1000041", "charge state", std::to_string(spectrum.charge)));
    if (spectrum.precursor_intensity != 0.0) {
        line(16, CvParam("MS:1000042", "peak intensity", Lossless(spectrum.precursor_intensity), kCountsUnit));
    }
    line(14, "</selectedIon>");
    line(12, "</selectedIonList>");
    line(12, "<activation>");
    line(14, CvParam("MS:1000133", "collision-induced dissociation"));
    line(12, "</activation>");
    line(10, "</precursor>");
    line(8, "</precursorList>");
    line(8, "<binaryDataArrayList count=\"2\">");
    file_.Write(text);

    std::vector<double> mz(spectrum.peaks.size());
    std::vector<double> intensity(spectrum.peaks.size());
    for (size_t i = 0; i < spectrum.peaks.size(); ++i) {
        mz[i] = spectrum.peaks[i].mz;
        intensity[i] = spectrum.peaks[i].intensity;
    }
    WriteArray(mz, options_.mz, "MS:1000514", "m/z array", kMzUnit);
    WriteArray(intensity, options_.intensity, "MS:1000515", "intensity array", kCountsUnit);
    file_.Write("        </binaryDataArrayList>\n      </spectrum>\n");
    ++count_;
}

void MzmlWriter::Close() {
    file_.Write("    </spectrumList>\n  </run>\n</mzML>\n");
    file_.WriteAt(count_position_, CountAttribute(count_));
    file_.Close();
}

}  // namespace speclink
