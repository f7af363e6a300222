#include "speclink/tests/fuzz/FuzzSupport.h"

#include <stdlib.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <system_error>

#include "speclink/formats/FormatError.h"
#include "speclink/formats/SpectrumNaming.h"

namespace speclink::fuzz {

ScratchDirectory::ScratchDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "speclink-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::system_error(errno, std::generic_category(), pattern);
    path_ = pattern;
}

ScratchDirectory::~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string ScratchDirectory::Write(const std::string& name, const uint8_t* data, size_t size) const {
    const std::filesystem::path file = path_ / name;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    Require(!out.fail(), "cannot write the fuzz input into the scratch directory");
    return file.string();
}

const ScratchDirectory& Scratch() {
    static const ScratchDirectory scratch;
    return scratch;
}

void Require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "broken promise: %s\n", what);
    std::abort();
}

void ReadChecked(const std::string& path, Reader reader) {
    // Two charges to assign, so that spectra without a charge take the multi-record path too.
    ReadOptions options;
    options.assign_charges = {2, 3};
    ReadResult result;
    uint64_t records = 0;
    const SpectrumSink sink = [&](CSpectrum&& spectrum, std::string_view) {
        ++records;
        Require(spectrum.charge >= 1, "record charge below 1");
        Require(std::isfinite(spectrum.precursor_mass) && spectrum.precursor_mass > 0.0,
                "record [M+H]+ not finite and positive");
        Require(std::isfinite(spectrum.precursor_mz), "record precursor m/z not finite");
        Require(!spectrum.peaks.empty(), "record without peaks");
        Require(!spectrum.file_name.empty(), "record without a file name");
        for (const Peak& peak : spectrum.peaks) {
            Require(std::isfinite(peak.mz) && peak.mz > 0.0, "peak m/z not finite and positive");
            Require(std::isfinite(peak.intensity) && peak.intensity >= 0.0, "peak intensity negative or not finite");
        }
    };
    try {
        ByteInput input(path);
        RecordEmitter emitter(InputBaseName(path), options, result, sink);
        reader(input, emitter);
    } catch (const FormatError&) {
        // Bad input, reported with its position: the expected outcome for most fuzz inputs.
    }
    Require(result.records == records, "record count differs from the records handed out");
    Require(result.assigned_charge_records <= result.records, "more assigned-charge records than records");
    Require(result.skipped() <= result.spectra, "more spectra skipped than found");
}

}  // namespace speclink::fuzz
