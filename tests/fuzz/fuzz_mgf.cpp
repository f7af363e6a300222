// Fuzz target: the MGF reader on arbitrary file content. A plain file is read whole by pieces,
// a gzip file as a stream cut by one thread: both must give the same records and counts, and
// fail, if they fail, at the same line with the same message.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "speclink/formats/ByteInput.h"
#include "speclink/formats/FormatError.h"
#include "speclink/formats/MgfReader.h"
#include "speclink/formats/RecordEmitter.h"
#include "speclink/tests/fuzz/FuzzSupport.h"

namespace {

struct Outcome {
    std::vector<speclink::CSpectrum> records;
    speclink::ReadResult result;
    std::string error;  // line and message, without the file
};

Outcome Read(const std::string& path) {
    Outcome outcome;
    speclink::ReadOptions options;
    options.assign_charges = {2, 3};
    const speclink::SpectrumSink keep = [&](speclink::CSpectrum&& record, std::string_view) {
        outcome.records.push_back(std::move(record));
    };
    try {
        speclink::ByteInput input(path);
        speclink::RecordEmitter emitter("input", options, outcome.result, keep);
        speclink::ReadMgf(input, emitter);
    } catch (const speclink::FormatError& error) {
        outcome.error = std::to_string(error.line().value_or(0)) + ": " + error.message();
    }
    return outcome;
}

bool SameRecord(const speclink::CSpectrum& a, const speclink::CSpectrum& b) {
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

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using speclink::fuzz::Require;
    const auto& scratch = speclink::fuzz::Scratch();
    const std::string plain = scratch.Write("input.mgf", data, size);
    speclink::fuzz::ReadChecked(plain, [](speclink::ByteInput& input, speclink::RecordEmitter& emitter) {
        speclink::ReadMgf(input, emitter);
    });

    const std::string gzip = (scratch.path() / "input.mgf.gz").string();
    gzFile out = gzopen(gzip.c_str(), "wb");
    Require(out != nullptr && (size == 0 || gzwrite(out, data, static_cast<unsigned>(size)) == static_cast<int>(size)),
            "cannot write the gzip copy of the fuzz input");
    Require(gzclose(out) == Z_OK, "cannot write the gzip copy of the fuzz input");

    const Outcome pieces = Read(plain);
    const Outcome stream = Read(gzip);
    Require(pieces.error == stream.error, "the plain file and the gzip stream fail otherwise");
    Require(pieces.result == stream.result, "the plain file and the gzip stream count otherwise");
    bool same = pieces.records.size() == stream.records.size();
    for (size_t k = 0; same && k < pieces.records.size(); ++k) same = SameRecord(pieces.records[k], stream.records[k]);
    Require(same, "the plain file and the gzip stream give other records");
    return 0;
}
