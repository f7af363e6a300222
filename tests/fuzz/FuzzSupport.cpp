#include "speclink/tests/fuzz/FuzzSupport.h"

#include <stdlib.h>
#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <system_error>
#include <vector>

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

namespace {

// What reading a file gave: its records (each checked against the readers' promises as it
// is handed out), counts, and error line and message without the file.
struct Outcome {
    std::vector<CSpectrum> records;
    ReadResult result;
    std::string error;
};

Outcome ReadOutcome(const std::string& path, Reader reader) {
    Outcome outcome;
    // Two charges to assign, so that spectra without a charge take the multi-record path too.
    ReadOptions options;
    options.assign_charges = {2, 3};
    const SpectrumSink keep = [&](CSpectrum&& spectrum, std::string_view) {
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
        outcome.records.push_back(std::move(spectrum));
    };
    try {
        ByteInput input(path);
        RecordEmitter emitter(InputBaseName(path), options, outcome.result, keep);
        reader(input, emitter);
    } catch (const FormatError& error) {
        // Bad input, reported with its position: the expected outcome for most fuzz inputs.
        outcome.error = std::to_string(error.line().value_or(0)) + ": " + error.message();
    }
    const ReadResult& result = outcome.result;
    Require(result.records == outcome.records.size(), "record count differs from the records handed out");
    Require(result.assigned_charge_records <= result.records, "more assigned-charge records than records");
    Require(result.skipped() <= result.spectra, "more spectra skipped than found");
    return outcome;
}

bool SameRecord(const CSpectrum& a, const CSpectrum& b) {
    if (a.charge != b.charge || a.scan != b.scan || a.title != b.title || a.peptide != b.peptide ||
        a.file_name != b.file_name || a.peaks.size() != b.peaks.size()) {
        return false;
    }
    // Bit for bit: NaN never reaches a record.
    if (a.precursor_mz != b.precursor_mz || a.precursor_mass != b.precursor_mass ||
        a.retention_time != b.retention_time || a.precursor_intensity != b.precursor_intensity) {
        return false;
    }
    for (size_t k = 0; k < a.peaks.size(); ++k) {
        if (a.peaks[k].mz != b.peaks[k].mz || a.peaks[k].intensity != b.peaks[k].intensity) return false;
    }
    return true;
}

}  // namespace

void Require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "broken promise: %s\n", what);
    std::abort();
}

void ReadChecked(const std::string& path, Reader reader) { ReadOutcome(path, reader); }

void ReadBothWays(const uint8_t* data, size_t size, const std::string& name, Reader reader) {
    const std::string plain = Scratch().Write(name, data, size);
    // The same name inside a directory of its own, so that the records are named alike; gzip
    // is told by its first bytes.
    const std::filesystem::path gzip_directory = Scratch().path() / "gz";
    std::filesystem::create_directories(gzip_directory);
    const std::string gzip = (gzip_directory / name).string();
    gzFile out = gzopen(gzip.c_str(), "wb");
    Require(out != nullptr && (size == 0 || gzwrite(out, data, static_cast<unsigned>(size)) == static_cast<int>(size)),
            "cannot write the gzip copy of the fuzz input");
    Require(gzclose(out) == Z_OK, "cannot write the gzip copy of the fuzz input");
    const Outcome mapped = ReadOutcome(plain, reader);
    const Outcome stream = ReadOutcome(gzip, reader);
    Require(mapped.error == stream.error, "the plain file and the gzip stream fail otherwise");
    Require(mapped.result == stream.result, "the plain file and the gzip stream count otherwise");
    bool same = mapped.records.size() == stream.records.size();
    for (size_t k = 0; same && k < mapped.records.size(); ++k) same = SameRecord(mapped.records[k], stream.records[k]);
    Require(same, "the plain file and the gzip stream give other records");
}

}  // namespace speclink::fuzz
