// spectra_read [--threads N] PATH...: reads spectrum files through ReadSpectra, as the speclink
// command does, but hands every record to a sink that only counts it, so that the readers'
// own speed and memory are measured without the spectra the command would keep.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "speclink/formats/SpectrumReader.h"

int main(int argc, char** argv) {
    speclink::ReadOptions options;
    int first = 1;
    if (argc > 2 && std::string(argv[1]) == "--threads") {
        options.threads = std::atoi(argv[2]);
        first = 3;
    }
    if (argc <= first || options.threads < 1) {
        std::fprintf(stderr, "usage: spectra_read [--threads N] PATH...\n");
        return 2;
    }
    const std::vector<std::string> paths(argv + first, argv + argc);
    uint64_t peaks = 0;
    size_t largest = 0;
    try {
        const speclink::ReadResult result = speclink::ReadSpectra(paths, options, [&](speclink::CSpectrum&& spectrum, std::string_view) {
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
