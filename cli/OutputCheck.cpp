#include "speclink/cli/OutputCheck.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>

#include "speclink/cli/CommandErrors.h"

namespace speclink::cli {

namespace fs = std::filesystem;

void RequireSpaceLeft(const fs::path& directory) {
    struct statvfs device {};
    if (::statvfs(directory.c_str(), &device) != 0) {
        throw OutputError("cannot check the free space of " + directory.string() + ": " + std::strerror(errno));
    }
    const bool root = ::geteuid() == 0;
    const auto blocks = root ? device.f_bfree : device.f_bavail;
    const auto entries = root ? device.f_ffree : device.f_favail;
    // File systems without a fixed number of file entries report none in all.
    const bool no_entries = device.f_files > 0 && entries == 0;
    if (blocks == 0 || no_entries) {
        throw OutputError("the device holding " + directory.string() + " is full (no free " +
                          (blocks == 0 ? "space" : "file entries") +
                          "); results written there are incomplete. Free some space and run again.");
    }
}

void RequireWholeFile(const fs::path& file) {
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) {
        throw OutputError("the engine could not write " + file.string() +
                          (fs::exists(file, ec) ? " (a directory or other non-file stands there)" : ""));
    }
    const auto size = fs::file_size(file, ec);
    if (ec) throw OutputError("cannot check " + file.string() + ": " + ec.message());
    if (size == 0) return;
    std::ifstream in(file, std::ios::binary);
    char last = 0;
    if (!in.seekg(-1, std::ios::end) || !in.get(last)) throw OutputError("cannot check " + file.string());
    if (last != '\n') {
        throw OutputError(file.string() + " ends in the middle of a line: the write was cut short "
                          "(device full or file size limit?)");
    }
}

}  // namespace speclink::cli
