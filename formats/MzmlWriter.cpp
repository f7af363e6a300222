#include "formats/MzmlWriter.h"

#include "formats/BinaryArrayEncoder.h"
#include "formats/PrecursorMz.h"
#include "formats/SpectrumNaming.h"

namespace speclink {
namespace {

/// Room kept for the spectrum count, which is known only at the end.
constexpr size_t kCountWidth = 24;

std::string CvParam(const char* accession, const char* name, const std::string& value = "") {
    return std::string("<cvParam cvRef=\"MS\" accession=\"") + accession + "\" name=\"" + name + "\" value=\"" +
           XmlEscape(value) + "\"/>";
}

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
        text += indent + (encoding.zlib ? CvParam("MS:1000574", "zlib compression") : CvParam("MS:1000576", "no compression"));
        return;
    }
    // Numpress arrays decode to 64-bit floats.
    text += indent + CvParam("MS:1000523", "64-bit float");
    if (encoding.numpress == Numpress::kLinear) {
        text += indent + (encoding.zlib ? CvParam("MS:1002746", "MS-Numpress linear prediction compression followed by zlib compression")
                                        : CvParam("MS:1002312", "MS-Numpress linear prediction compression"));
    } else if (encoding.numpress == Numpress::kPic) {
        text += indent + (encoding.zlib ? CvParam("MS:1002747", "MS-Numpress positive integer compression followed by zlib compression")
                                        : CvParam("MS:1002313", "MS-Numpress positive integer compression"));
    } else {
        text += indent + (encoding.zlib ? CvParam("MS:1002748", "MS-Numpress short logged float compression followed by zlib compression")
                                        : CvParam("MS:1002314", "MS-Numpress short logged float compression"));
    }
}

}  // namespace

MzmlWriter::MzmlWriter(std::string path, MzmlWriteOptions options) : file_(path), options_(options) {
    const std::string id = XmlEscape(InputBaseName(path));
    file_.Write(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<mzML xmlns=\"http://psi.hupo.org/ms/mzml\" version=\"1.1.0\" id=\"" + id + "\">\n"
        "  <cvList count=\"2\">\n"
        "    <cv id=\"MS\" fullName=\"Proteomics Standards Initiative Mass Spectrometry Ontology\" "
        "URI=\"https://raw.githubusercontent.com/HUPO-PSI/psi-ms-CV/master/psi-ms.obo\"/>\n"
        "    <cv id=\"UO\" fullName=\"Unit Ontology\" "
        "URI=\"https://raw.githubusercontent.com/bio-ontology-research-group/unit-ontology/master/unit.obo\"/>\n"
        "  </cvList>\n"
        "  <fileDescription>\n"
        "    <fileContent>\n"
        "      " + CvParam("MS:1000580", "MSn spectrum") + "\n"
        "    </fileContent>\n"
        "  </fileDescription>\n"
        "  <softwareList count=\"1\">\n"
        "    <software id=\"speclink\" version=\"" SPECLINK_FORMATS_VERSION "\">\n"
        "      " + CvParam("MS:1000799", "custom unreleased software tool", "speclink") + "\n"
        "    </software>\n"
        "  </softwareList>\n"
        "  <instrumentConfigurationList count=\"1\">\n"
        "    <instrumentConfiguration id=\"IC\">\n"
        "      " + CvParam("MS:1000031", "instrument model") + "\n"
        "    </instrumentConfiguration>\n"
        "  </instrumentConfigurationList>\n"
        "  <dataProcessingList count=\"1\">\n"
        "    <dataProcessing id=\"speclink_processing\">\n"
        "      <processingMethod order=\"0\" softwareRef=\"speclink\">\n"
        "        " + CvParam("MS:1000544", "Conversion to mzML") + "\n"
        "      </processingMethod>\n"
        "    </dataProcessing>\n"
        "  </dataProcessingList>\n"
        "  <run id=\"" + id + "\" defaultInstrumentConfigurationRef=\"IC\">\n"
        "    <spectrumList ");
    count_position_ = file_.Position();
    file_.Write(CountAttribute(0) + " defaultDataProcessingRef=\"speclink_processing\">\n");
}

void MzmlWriter::WriteArray(const std::vector<double>& values, const ArrayEncoding& encoding, const char* accession,
                            const char* name, const char* unit) {
    const std::string data = EncodeBinaryArray(values, encoding);
    std::string text = "          <binaryDataArray encodedLength=\"" + std::to_string(data.size()) + "\">";
    AddEncodingParams(text, encoding);
    text += std::string("\n            <cvParam cvRef=\"MS\" accession=\"") + accession + "\" name=\"" + name +
            "\" value=\"\" " + unit + "/>\n            <binary>" + data + "</binary>\n          </binaryDataArray>\n";
    file_.Write(text);
}

void MzmlWriter::Write(const CSpectrum& spectrum) {
    const std::string index = std::to_string(count_);
    const std::string id = spectrum.scan != 0 ? "scan=" + std::to_string(spectrum.scan) : "index=" + index;
    std::string text = "      <spectrum index=\"" + index + "\" id=\"" + id + "\" defaultArrayLength=\"" +
                       std::to_string(spectrum.peaks.size()) + "\">\n";
    const auto param = [&](const std::string& indent, const std::string& line) { text += indent + line + "\n"; };
    param("        ", CvParam("MS:1000511", "ms level", "2"));
    param("        ", CvParam("MS:1000580", "MSn spectrum"));
    param("        ", CvParam("MS:1000127", "centroid spectrum"));
    if (!spectrum.title.empty()) param("        ", CvParam("MS:1000796", "spectrum title", spectrum.title));
    if (spectrum.total_ion_current != 0.0) {
        param("        ", CvParam("MS:1000285", "total ion current", Lossless(spectrum.total_ion_current)));
    }
    text += "        <scanList count=\"1\">\n";
    param("          ", CvParam("MS:1000795", "no combination"));
    text += "          <scan>\n            <cvParam cvRef=\"MS\" accession=\"MS:1000016\" name=\"scan start time\" value=\"" +
            Lossless(spectrum.retention_time) +
            "\" unitCvRef=\"UO\" unitAccession=\"UO:0000010\" unitName=\"second\"/>\n          </scan>\n"
            "        </scanList>\n"
            "        <precursorList count=\"1\">\n"
            "          <precursor>\n"
            "            <selectedIonList count=\"1\">\n"
            "              <selectedIon>\n"
            "                <cvParam cvRef=\"MS\" accession=\"MS:1000744\" name=\"selected ion m/z\" value=\"" +
            Lossless(PrecursorMzForWriting(spectrum)) +
            "\" unitCvRef=\"MS\" unitAccession=\"MS:1000040\" unitName=\"m/z\"/>\n";
    if (spectrum.charge != 0) param("                ", CvParam("MS:1000041", "charge state", std::to_string(spectrum.charge)));
    if (spectrum.precursor_intensity != 0.0) {
        text += "                <cvParam cvRef=\"MS\" accession=\"MS:1000042\" name=\"peak intensity\" value=\"" +
                Lossless(spectrum.precursor_intensity) +
                "\" unitCvRef=\"MS\" unitAccession=\"MS:1000131\" unitName=\"number of detector counts\"/>\n";
    }
    text += "              </selectedIon>\n            </selectedIonList>\n            <activation>\n";
    param("              ", CvParam("MS:1000133", "collision-induced dissociation"));
    text += "            </activation>\n          </precursor>\n        </precursorList>\n"
            "        <binaryDataArrayList count=\"2\">\n";
    file_.Write(text);

    std::vector<double> mz(spectrum.peaks.size());
    std::vector<double> intensity(spectrum.peaks.size());
    for (size_t i = 0; i < spectrum.peaks.size(); ++i) {
        mz[i] = spectrum.peaks[i].mz;
        intensity[i] = spectrum.peaks[i].intensity;
    }
    WriteArray(mz, options_.mz, "MS:1000514", "m/z array", "unitCvRef=\"MS\" unitAccession=\"MS:1000040\" unitName=\"m/z\"");
    WriteArray(intensity, options_.intensity, "MS:1000515", "intensity array",
               "unitCvRef=\"MS\" unitAccession=\"MS:1000131\" unitName=\"number of detector counts\"");
    file_.Write("        </binaryDataArrayList>\n      </spectrum>\n");
    ++count_;
}

void MzmlWriter::Close() {
    file_.Write("    </spectrumList>\n  </run>\n</mzML>\n");
    file_.WriteAt(count_position_, CountAttribute(count_));
    file_.Close();
}

}  // namespace speclink
