#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "speclink/library/data/Spectrum.h"
#include "speclink/formats/FormatError.h"
#include "speclink/formats/ReadOptions.h"
#include "speclink/formats/ReadResult.h"
#include "speclink/formats/SpectrumReader.h"
#include "speclink/tests/support/TestSupport.h"

namespace speclink::test {

/// Everything one read gave.
struct ReadOutcome {
    std::vector<CSpectrum> records;
    ReadResult result;
};

inline ReadOutcome ReadPath(const std::string& path, const ReadOptions& options = {}) {
    ReadOutcome outcome;
    outcome.records = ReadAllSpectra(path, options, &outcome.result);
    return outcome;
}

/// Writes `content` to `name` in `dir` and reads it.
inline ReadOutcome ReadText(const TempDir& dir, const std::string& name, const std::string& content,
                            const ReadOptions& options = {}) {
    WriteFile(dir / name, content);
    return ReadPath(dir / name, options);
}

/// what() of the FormatError that reading `path` raises; fails the test when none is raised.
inline std::string FormatErrorOf(const std::string& path, const ReadOptions& options = {}) {
    try {
        ReadPath(path, options);
    } catch (const FormatError& error) {
        return error.what();
    }
    ADD_FAILURE() << "no FormatError reading " << path;
    return {};
}

/// `content` as a gzip file in memory.
std::string Gzip(const std::string& content);

/// Checks every field the readers fill.
inline void ExpectSameRecord(const CSpectrum& actual, const CSpectrum& expected) {
    EXPECT_EQ(actual.charge, expected.charge);
    EXPECT_EQ(actual.precursor_mz, expected.precursor_mz);
    EXPECT_EQ(actual.precursor_mass, expected.precursor_mass);
    EXPECT_EQ(actual.retention_time, expected.retention_time);
    EXPECT_EQ(actual.precursor_intensity, expected.precursor_intensity);
    EXPECT_EQ(actual.file_name, expected.file_name);
    EXPECT_EQ(actual.scan, expected.scan);
    EXPECT_EQ(actual.total_ion_current, expected.total_ion_current);
    EXPECT_EQ(actual.title, expected.title);
    EXPECT_EQ(actual.ms_level, expected.ms_level);
    EXPECT_EQ(actual.peptide, expected.peptide);
    EXPECT_EQ(actual.peaks, expected.peaks);
}

}  // namespace speclink::test
