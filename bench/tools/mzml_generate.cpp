// mzml_generate PATH SPECTRA PEAKS [zlib]: writes an mzML file of SPECTRA MS2 spectra of PEAKS
// peaks each through MzmlWriter, one spectrum at a time, so that a file of any size is made in
// constant memory. Arrays are 64-bit floats, uncompressed (which makes the file large) or,
// with "zlib", compressed as converters of instrument files usually write them.

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "speclink/formats/MzmlWriter.h"
#include "speclink/formats/ProtonMass.h"

int main(int argc, char** argv) {
    if (argc != 4 && !(argc == 5 && std::string(argv[4]) == "zlib")) {
        std::fprintf(stderr, "usage: mzml_generate PATH SPECTRA PEAKS [zlib]\n");
        return 2;
    }
    speclink::MzmlWriteOptions options;
    options.mz.zlib = options.intensity.zlib = argc == 5;
    const long spectra = std::atol(argv[2]);
    const long peaks = std::atol(argv[3]);
    try {
        speclink::MzmlWriter writer(argv[1], options);
        speclink::CSpectrum spectrum;
        spectrum.peaks.resize(static_cast<size_t>(peaks));
        for (long k = 0; k < spectra; ++k) {
            spectrum.scan = static_cast<int32_t>(k + 1);
            spectrum.charge = 2 + static_cast<int32_t>(k % 2);
            spectrum.precursor_mz = 400.0 + static_cast<double>(k % 100000) * 0.01;
            spectrum.precursor_mass = speclink::MassFromMz(spectrum.precursor_mz, spectrum.charge);
            spectrum.retention_time = static_cast<double>(k) * 0.1;
            for (long p = 0; p < peaks; ++p) {
                const double mz = 100.0 + static_cast<double>(p) * 7.31 + static_cast<double>(k % 13) * 0.001;
                spectrum.peaks[static_cast<size_t>(p)] = {mz, static_cast<double>((p * 7919 + k) % 1000 + 1)};
            }
            writer.Write(spectrum);
        }
        writer.Close();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "mzml_generate: %s\n", error.what());
        return 1;
    }
    return 0;
}
