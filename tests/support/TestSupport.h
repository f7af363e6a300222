#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "speclink/library/data/Spectrum.h"
#include "speclink/library/peaks/PeakList.h"

namespace speclink::test {

/// A fresh directory under the system temporary directory, removed with everything in it
/// when the object goes. Tests write only inside one of these.
class TempDir {
public:
    TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();

    const std::filesystem::path& path() const { return path_; }
    /// Path of `name` inside the directory, as a string.
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

/// Makes `directory` the current directory for the object's lifetime (engines write
/// "score.txt" and "temp.temp" into the current directory).
class ScopedCurrentDirectory {
public:
    explicit ScopedCurrentDirectory(const std::filesystem::path& directory);
    ScopedCurrentDirectory(const ScopedCurrentDirectory&) = delete;
    ScopedCurrentDirectory& operator=(const ScopedCurrentDirectory&) = delete;
    ~ScopedCurrentDirectory();

private:
    std::filesystem::path previous_;
};

/// Whole file content; fails the current test when the file cannot be read.
std::string ReadFile(const std::filesystem::path& path);

/// Writes `content` to `path`, replacing it.
void WriteFile(const std::filesystem::path& path, const std::string& content);

/// Path of a file kept in the tests' source tree, e.g. Golden("params/cluster_type_0.param").
std::filesystem::path SourceFile(const std::string& relative);

/// Builder for test spectra: Spectrum().Mass(1000.5).Charge(2).Name("a.1.1.2.dta").Peak(100, 5).
class SpectrumBuilder {
public:
    SpectrumBuilder& Mass(double precursor_mass);
    SpectrumBuilder& Charge(int charge);
    SpectrumBuilder& Name(std::string file_name);
    SpectrumBuilder& Peak(double mz, double intensity);
    SpectrumBuilder& Peaks(const PeakList& peaks);
    CSpectrum Build() const { return spectrum_; }
    operator CSpectrum() const { return spectrum_; }

private:
    CSpectrum spectrum_;
};

inline SpectrumBuilder Spectrum() { return SpectrumBuilder{}; }

/// Starts/stops capturing what the process writes to a file descriptor (standard output
/// by default) into a temporary file.
class StdoutCapture {
public:
    explicit StdoutCapture(int fd = 1);
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;
    ~StdoutCapture();
    /// Stops capturing and returns what was written.
    std::string Finish();

private:
    int fd_;
    int saved_fd_ = -1;
    std::FILE* file_ = nullptr;
    bool finished_ = false;
};

/// Everything `body` writes to standard output (C stdio and std::cout alike).
template <typename Body>
std::string CaptureStdout(Body&& body) {
    StdoutCapture capture;
    body();
    return capture.Finish();
}

}  // namespace speclink::test
