#include <gtest/gtest.h>

#include "speclink/library/speclink.h"

namespace speclink {
namespace {

CSpectrum FullRecord() {
    CSpectrum s;
    s.match_score = 5.0;
    s.match_delta = 6.0;
    s.charge = 3;
    s.precursor_mz = 500.1;
    s.retention_time = 61.5;
    s.precursor_mass = 1498.3;
    s.precursor_intensity = 1e6;
    s.file_name = "run.10.10.3.dta";
    s.fragment_ions = FragmentIonArray(2);
    s.fragment_ions[0] = {175.119, 10.0, 1};
    s.fragment_ions[1] = {276.166, 20.0, 2};
    s.scan = 10;
    s.total_ion_current = 3e7;
    s.title = "run.10.10.3";
    s.ms_level = 2;
    s.peptide = "PEPTIDEK";
    s.peaks = {{100.0, 1.0}, {200.0, 2.0}};
    s.merged_scans = {10, 11};
    return s;
}

void ExpectCarriedFieldsEqual(const CSpectrum& a, const CSpectrum& b) {
    EXPECT_EQ(a.charge, b.charge);
    EXPECT_EQ(a.precursor_mz, b.precursor_mz);
    EXPECT_EQ(a.retention_time, b.retention_time);
    EXPECT_EQ(a.precursor_mass, b.precursor_mass);
    EXPECT_EQ(a.precursor_intensity, b.precursor_intensity);
    EXPECT_EQ(a.file_name, b.file_name);
    EXPECT_EQ(a.fragment_ions, b.fragment_ions);
    EXPECT_EQ(a.scan, b.scan);
    EXPECT_EQ(a.total_ion_current, b.total_ion_current);
    EXPECT_EQ(a.title, b.title);
    EXPECT_EQ(a.ms_level, b.ms_level);
    EXPECT_EQ(a.peptide, b.peptide);
    EXPECT_EQ(a.peaks, b.peaks);
    EXPECT_EQ(a.merged_scans, b.merged_scans);
}

TEST(Spectrum, DefaultIsEmpty) {
    const CSpectrum s;
    EXPECT_EQ(s.match_score, 0.0);
    EXPECT_EQ(s.match_delta, 0.0);
    EXPECT_EQ(s.fragment_ions.size(), 0u);
    EXPECT_EQ(s.fragment_ions.data(), nullptr);
    EXPECT_TRUE(s.peaks.empty());
    EXPECT_TRUE(s.merged_scans.empty());
}

TEST(Spectrum, CopyLeavesTheFirstTwoFieldsAtZero) {
    const CSpectrum source = FullRecord();
    const CSpectrum copy(source);
    EXPECT_EQ(copy.match_score, 0.0);
    EXPECT_EQ(copy.match_delta, 0.0);
    ExpectCarriedFieldsEqual(copy, source);
    EXPECT_NE(copy.fragment_ions.data(), source.fragment_ions.data());
}

TEST(Spectrum, AssignmentKeepsTheTargetsFirstTwoFields) {
    const CSpectrum source = FullRecord();
    CSpectrum target;
    target.match_score = 1.5;
    target.match_delta = 2.5;
    target.fragment_ions = FragmentIonArray(5);
    target = source;
    EXPECT_EQ(target.match_score, 1.5);
    EXPECT_EQ(target.match_delta, 2.5);
    ExpectCarriedFieldsEqual(target, source);
}

TEST(Spectrum, CopiesAreDeep) {
    const CSpectrum source = FullRecord();
    CSpectrum copy(source);
    copy.peaks[0].intensity = 99.0;
    copy.fragment_ions[0].mz = 1.0;
    copy.merged_scans.push_back(12);
    EXPECT_EQ(source.peaks[0].intensity, 1.0);
    EXPECT_EQ(source.fragment_ions[0].mz, 175.119);
    EXPECT_EQ(source.merged_scans.size(), 2u);
}

TEST(Spectrum, EmptyFragmentIonArrayCopiesEmpty) {
    CSpectrum source;
    source.fragment_ions = FragmentIonArray(0);
    const CSpectrum copy(source);
    EXPECT_EQ(copy.fragment_ions.size(), 0u);
}

TEST(SpectraProcess, CopyIsIndependent) {
    CSpectraProcess source(FORMAT_MS2, "data", "out", "result.csv", 10);
    source.spectra.push_back(FullRecord());
    CSpectraProcess copy(source);
    copy.out_directory = "elsewhere";
    copy.spectra[0].peaks.clear();
    EXPECT_EQ(source.out_directory, "out");
    EXPECT_EQ(source.spectra[0].peaks.size(), 2u);
    EXPECT_EQ(copy.data_type, FORMAT_MS2);
    EXPECT_EQ(copy.spectra[0].match_score, 0.0);  // records copy as records do
}

TEST(SpectraProcess, AccessorsReturnCopies) {
    CSpectraProcess process(FORMAT_DTA, "data", "out", "result.csv", 10);
    std::string dir = process.GetDataDirectory();
    dir += "/changed";
    EXPECT_EQ(process.data_directory, "data");
    process.SetOutDirectory("new");
    process.SetClusterResult("r2");
    EXPECT_EQ(process.GetOutDirectory(), "new");
    EXPECT_EQ(process.GetClusterResult(), "r2");
}

}  // namespace
}  // namespace speclink
