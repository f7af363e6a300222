#include "speclink/formats/SpectrumReader.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "speclink/formats/ByteInput.h"
#include "speclink/formats/DtaReader.h"
#include "speclink/formats/FormatError.h"
#include "speclink/formats/MgfReader.h"
#include "speclink/formats/Ms2Reader.h"
#include "speclink/formats/MzmlReader.h"
#include "speclink/formats/MzxmlReader.h"
#include "speclink/formats/ProgressCounter.h"
#include "speclink/formats/SpectrumNaming.h"
#include "speclink/formats/TextFields.h"

namespace speclink {
namespace {

namespace fs = std::filesystem;

/// Bytes the format is told from.
constexpr size_t kDetectBytes = 1 << 16;

bool IsDtaName(const std::string& name) {
    const auto ends_with = [&](std::string_view suffix) {
        return name.size() > suffix.size() &&
               EqualsIgnoreCase(std::string_view(name).substr(name.size() - suffix.size()), suffix);
    };
    return ends_with(".dta") || ends_with(".dta.gz");
}

/// The files an input stands for: the file itself, or a directory's DTA files in name order.
std::vector<std::string> ExpandInput(const std::string& path) {
    if (!fs::is_directory(path)) return {path};
    std::vector<std::string> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(path)) {
        if (entry.is_regular_file() && IsDtaName(entry.path().filename().string()))
            files.push_back(entry.path().string());
    }
    if (files.empty()) throw FormatError(path, "", "directory holds no .dta files");
    std::sort(files.begin(), files.end());
    return files;
}

void ReadFile(const std::string& path, ProgressCounter& progress, const ReadOptions& options, ReadResult& result,
              const SpectrumSink& sink) {
    ByteInput input(path, &progress);
    const std::string_view head = input.Peek(kDetectBytes);
    if (head.find_first_not_of(" \t\r\n") == std::string_view::npos) throw FormatError(path, "", "empty file");
    const std::optional<SpectrumFormat> format = DetectFormat(head, path);
    if (!format) throw FormatError(path, "", "cannot tell the spectrum format (expected mzML, mzXML, MGF, MS2 or DTA)");
    RecordEmitter emitter(options.base_name.empty() ? InputBaseName(path) : options.base_name, options, result, sink);
    switch (*format) {
        case SpectrumFormat::kMgf:
            ReadMgf(input, emitter);
            break;
        case SpectrumFormat::kMzml:
            ReadMzml(input, emitter);
            break;
        case SpectrumFormat::kMzxml:
            ReadMzxml(input, emitter);
            break;
        case SpectrumFormat::kMs2:
            ReadMs2(input, emitter);
            break;
        case SpectrumFormat::kDta:
            ReadDta(input, emitter);
            break;
    }
    ++result.files;
}

}  // namespace

ReadResult ReadSpectra(const std::vector<std::string>& paths, const ReadOptions& options, const SpectrumSink& sink) {
    for (const int charge : options.assign_charges) {
        if (charge < 1)
            throw std::invalid_argument("charges to assign must be 1 or more, got " + std::to_string(charge));
    }
    std::vector<std::string> files;
    for (const std::string& path : paths) {
        const std::vector<std::string> expanded = ExpandInput(path);
        files.insert(files.end(), expanded.begin(), expanded.end());
    }
    uint64_t total = 0;
    for (const std::string& file : files) {
        std::error_code error;
        const uintmax_t size = fs::file_size(file, error);
        if (!error) total += size;
    }
    ProgressCounter progress(options.progress, total);
    ReadResult result;
    for (const std::string& file : files) ReadFile(file, progress, options, result, sink);
    return result;
}

ReadResult ReadSpectra(const std::string& path, const ReadOptions& options, const SpectrumSink& sink) {
    return ReadSpectra(std::vector<std::string>{path}, options, sink);
}

std::vector<CSpectrum> ReadAllSpectra(const std::string& path, const ReadOptions& options, ReadResult* result) {
    std::vector<CSpectrum> spectra;
    const ReadResult read =
        ReadSpectra(path, options, [&](CSpectrum&& spectrum, std::string_view) { spectra.push_back(std::move(spectrum)); });
    if (result != nullptr) *result = read;
    return spectra;
}

}  // namespace speclink
