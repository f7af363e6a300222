#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace speclink {

/// Closes a C stdio stream; the result files are written with printf formats.
struct StdioFileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

/// An open C stdio stream, closed when the owner goes; null when the open failed.
using StdioFile = std::unique_ptr<std::FILE, StdioFileCloser>;

/// Opens `path` with the fopen `mode`.
inline StdioFile OpenStdioFile(const std::string& path, const char* mode) {
    return StdioFile(std::fopen(path.c_str(), mode));
}

}  // namespace speclink
