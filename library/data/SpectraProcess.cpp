#include "speclink/library/data/SpectraProcess.h"

#include "speclink/library/platform/FileSystem.h"

namespace speclink {

void CopySpectrumFileInto(const CSpectraProcess& process, const std::string& file_name) {
    const std::string target = platform::JoinPath(process.out_directory, file_name);
    if (process.spectrum_source == nullptr) {
        platform::CopyFileReplacing(platform::JoinPath(process.data_directory, file_name), target);
        return;
    }
    if (const std::optional<std::string> content = process.spectrum_source->Content(file_name)) {
        platform::WriteFileReplacing(target, *content);
    }
}

void CopySpectrumFile(const CSpectraProcess& process, const std::string& file_name) {
    if (!platform::PathExists(process.out_directory)) platform::CreateDirectoryLevel(process.out_directory);
    CopySpectrumFileInto(process, file_name);
}

}  // namespace speclink
