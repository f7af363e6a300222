#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace speclink {

struct TextFileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

/// A C stdio file, closed when it goes; result files are written with printf formats.
using TextOutputFile = std::unique_ptr<std::FILE, TextFileCloser>;

/// Opens `path` for writing as text, replacing an existing file; null when that fails.
inline TextOutputFile OpenTextForWriting(const std::string& path) {
    return TextOutputFile(std::fopen(path.c_str(), "w"));
}

}  // namespace speclink
