#include "speclink/tests/support/DtaWriter.h"

#include <stdexcept>

#include "speclink/formats/OutputFile.h"

namespace speclink {

void WriteDta(const CSpectrum& spectrum, const std::string& path) {
    OutputFile file(path);
    file.Print("%lf %d\n", spectrum.precursor_mass, spectrum.charge);
    for (const Peak& peak : spectrum.peaks) file.Print("%lf %lf\n", peak.mz, peak.intensity);
    file.Close();
}

void WriteDtaDirectory(const std::vector<CSpectrum>& spectra, const std::string& directory) {
    for (const CSpectrum& spectrum : spectra) {
        if (spectrum.file_name.empty() || spectrum.file_name.find('/') != std::string::npos) {
            throw std::invalid_argument("cannot write a DTA file named '" + spectrum.file_name + "'");
        }
        WriteDta(spectrum, directory + "/" + spectrum.file_name);
    }
}

}  // namespace speclink
