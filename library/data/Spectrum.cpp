#include "speclink/library/data/Spectrum.h"

#include <algorithm>

namespace speclink {

FragmentIonArray::FragmentIonArray(uint32_t count)
    : ions_(count == 0 ? nullptr : std::make_unique<FragmentIon[]>(count)), count_(count) {}

FragmentIonArray::FragmentIonArray(const FragmentIonArray& other) : FragmentIonArray(other.count_) {
    std::copy(other.data(), other.data() + other.count_, ions_.get());
}

FragmentIonArray& FragmentIonArray::operator=(const FragmentIonArray& other) {
    if (this != &other) *this = FragmentIonArray(other);
    return *this;
}

bool operator==(const FragmentIonArray& a, const FragmentIonArray& b) {
    return a.count_ == b.count_ && std::equal(a.data(), a.data() + a.count_, b.data());
}

CSpectrum::CSpectrum(const CSpectrum& other)
    : charge(other.charge),
      precursor_mz(other.precursor_mz),
      retention_time(other.retention_time),
      precursor_mass(other.precursor_mass),
      precursor_intensity(other.precursor_intensity),
      file_name(other.file_name),
      fragment_ions(other.fragment_ions),
      scan(other.scan),
      total_ion_current(other.total_ion_current),
      title(other.title),
      ms_level(other.ms_level),
      peptide(other.peptide),
      peaks(other.peaks),
      merged_scans(other.merged_scans) {}

CSpectrum& CSpectrum::operator=(const CSpectrum& other) {
    if (this == &other) return *this;
    charge = other.charge;
    precursor_mz = other.precursor_mz;
    retention_time = other.retention_time;
    precursor_mass = other.precursor_mass;
    precursor_intensity = other.precursor_intensity;
    file_name = other.file_name;
    fragment_ions = other.fragment_ions;
    scan = other.scan;
    total_ion_current = other.total_ion_current;
    title = other.title;
    ms_level = other.ms_level;
    peptide = other.peptide;
    peaks = other.peaks;
    merged_scans = other.merged_scans;
    return *this;
}

}  // namespace speclink
