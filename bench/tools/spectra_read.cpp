// spectra_read PATH...: reads spectrum files through ReadSpectra, as the speclink command does,
// but hands every record to a sink that only counts it, so that the memory the readers need
// is measured without the spectra the command would keep.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "speclink/formats/SpectrumReader.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: spectra_read PATH...\n");
        return 2;
    }
    const std::vector<std::string> paths(argv + 1, argv + argc);
    uint64_t peaks = 0;
    size_t largest = 0;
    try {
        const speclink::ReadResult result = speclink::ReadSpectra(paths, {}, [&](speclink::CSpectrum&& spectrum, std::string_view) {
            peaks += spectrum.peaks.size();
            largest = std::max(largest, spectrum.peaks.size());
        });
        std::printf("files %llu, spectra %llu, records %llu, skipped %llu, peaks %llu, largest spectrum %zu peaks\n",
                    static_cast<unsigned long long>(result.files), static_cast<unsigned long long>(result.spectra),
                    static_cast<unsigned long long>(result.records), static_cast<unsigned long long>(result.skipped()),
                    static_cast<unsigned long long>(peaks), largest);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "spectra_read: %s\n", error.what());
        return 1;
    }
    return 0;
}
