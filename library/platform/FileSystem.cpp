#include "platform/FileSystem.h"

#include <filesystem>
#include <system_error>

namespace speclink::platform {

namespace fs = std::filesystem;

bool PathExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::exists(fs::path(path), ec);
}

bool IsDirectory(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_directory(fs::path(path), ec);
}

void CreateDirectoryLevel(const std::string& path) {
    std::error_code ec;
    fs::create_directory(fs::path(path), ec);
}

void CopyFileReplacing(const std::string& source, const std::string& target) {
    std::error_code ec;
    fs::copy_file(fs::path(source), fs::path(target), fs::copy_options::overwrite_existing, ec);
}

std::string JoinPath(const std::string& directory, const std::string& name) {
    if (directory.empty()) return name;
    return directory + '/' + name;
}

}  // namespace speclink::platform
