#include "speclink/library/platform/FileSystem.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
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

bool WriteFileReplacing(const std::string& path, std::string_view text) {
    // One open, one write and one close per file: output directories hold tens of
    // thousands of small spectrum files.
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (descriptor < 0) return false;
    while (!text.empty()) {
        const ssize_t written = ::write(descriptor, text.data(), text.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) break;
        text.remove_prefix(static_cast<size_t>(written));
    }
    ::close(descriptor);
    return true;
}

std::string JoinPath(const std::string& directory, const std::string& name) {
    if (directory.empty()) return name;
    return directory + '/' + name;
}

}  // namespace speclink::platform
