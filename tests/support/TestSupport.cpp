#include "speclink/tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

namespace speclink::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "speclink-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "cannot create a temporary directory";
        std::abort();
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

ScopedCurrentDirectory::ScopedCurrentDirectory(const fs::path& directory) : previous_(fs::current_path()) {
    fs::current_path(directory);
}

ScopedCurrentDirectory::~ScopedCurrentDirectory() {
    std::error_code ec;
    fs::current_path(previous_, ec);
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        ADD_FAILURE() << "cannot read " << path;
        return {};
    }
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteFile(const fs::path& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) ADD_FAILURE() << "cannot write " << path;
}

fs::path SourceFile(const std::string& relative) { return fs::path(SPECLINK_TEST_SOURCE_DIR) / relative; }

SpectrumBuilder& SpectrumBuilder::Mass(double precursor_mass) {
    spectrum_.precursor_mass = precursor_mass;
    return *this;
}

SpectrumBuilder& SpectrumBuilder::Charge(int charge) {
    spectrum_.charge = charge;
    return *this;
}

SpectrumBuilder& SpectrumBuilder::Name(std::string file_name) {
    spectrum_.file_name = std::move(file_name);
    return *this;
}

SpectrumBuilder& SpectrumBuilder::Peak(double mz, double intensity) {
    spectrum_.peaks.push_back({mz, intensity});
    return *this;
}

SpectrumBuilder& SpectrumBuilder::Peaks(const PeakList& peaks) {
    spectrum_.peaks.insert(spectrum_.peaks.end(), peaks.begin(), peaks.end());
    return *this;
}

StdoutCapture::StdoutCapture(int fd) : fd_(fd) {
    std::cout.flush();
    std::fflush(stdout);
    std::fflush(stderr);
    file_ = std::tmpfile();
    saved_fd_ = ::dup(fd_);
    ::dup2(::fileno(file_), fd_);
}

std::string StdoutCapture::Finish() {
    if (finished_) return {};
    finished_ = true;
    std::cout.flush();
    std::fflush(stdout);
    std::fflush(stderr);
    ::dup2(saved_fd_, fd_);
    ::close(saved_fd_);
    std::string text;
    std::rewind(file_);
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file_)) > 0) text.append(buffer, got);
    std::fclose(file_);
    return text;
}

StdoutCapture::~StdoutCapture() { Finish(); }

}  // namespace speclink::test
