// What a copy of a spectrum record carries: everything but the host's two score fields,
// and deep copies of its arrays.

#include <gtest/gtest.h>

#include "speclink/library/data/Spectrum.h"

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
    s.peptide = "PEPTIDEK";
    s.peaks = {{100.0, 1.0}, {200.0, 2.0}};
    s.merged_scans = {10, 11};
    return s;
}

// Everything the copy carries, with the two score fields left out of the comparison.
bool SameCarried(CSpectrum a, CSpectrum b) {
    a.match_score = a.match_delta = b.match_score = b.match_delta = 0.0;
    return a.charge == b.charge && a.precursor_mz == b.precursor_mz && a.retention_time == b.retention_time &&
           a.precursor_mass == b.precursor_mass && a.precursor_intensity == b.precursor_intensity &&
           a.file_name == b.file_name && a.fragment_ions == b.fragment_ions && a.scan == b.scan &&
           a.total_ion_current == b.total_ion_current && a.title == b.title && a.ms_level == b.ms_level &&
           a.peptide == b.peptide && a.peaks == b.peaks && a.merged_scans == b.merged_scans;
}

TEST(Spectrum, CopiesCarryEverythingButTheScoreFieldsAndAreDeep) {
    const CSpectrum source = FullRecord();
    CSpectrum copy(source);
    EXPECT_EQ(copy.match_score, 0.0);
    EXPECT_EQ(copy.match_delta, 0.0);
    EXPECT_TRUE(SameCarried(copy, source));

    CSpectrum target;
    target.match_score = 1.5;
    target.match_delta = 2.5;
    target = source;
    EXPECT_EQ(target.match_score, 1.5);
    EXPECT_EQ(target.match_delta, 2.5);
    EXPECT_TRUE(SameCarried(target, source));

    copy.peaks[0].intensity = 99.0;
    copy.fragment_ions[0].mz = 1.0;
    copy.merged_scans.push_back(12);
    EXPECT_TRUE(SameCarried(source, FullRecord()));
    EXPECT_EQ(CSpectrum(CSpectrum()).fragment_ions.data(), nullptr);
}

}  // namespace
}  // namespace speclink
