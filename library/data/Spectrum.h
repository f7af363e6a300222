#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "speclink/library/peaks/PeakList.h"

namespace speclink {

/// A fragment ion the host has annotated on a spectrum.
struct FragmentIon {
    double mz = 0.0;         ///< m/z (Th)
    double intensity = 0.0;
    int32_t ion_index = 0;   ///< host's own numbering (e.g. b/y ion number)

    friend bool operator==(const FragmentIon&, const FragmentIon&) = default;
};

/// A counted array of fragment ions, copied deeply.
class FragmentIonArray {
public:
    FragmentIonArray() = default;
    explicit FragmentIonArray(uint32_t count);
    FragmentIonArray(const FragmentIonArray& other);
    FragmentIonArray& operator=(const FragmentIonArray& other);
    FragmentIonArray(FragmentIonArray&&) noexcept = default;
    FragmentIonArray& operator=(FragmentIonArray&&) noexcept = default;
    ~FragmentIonArray() = default;

    uint32_t size() const { return count_; }
    FragmentIon* data() { return ions_.get(); }
    const FragmentIon* data() const { return ions_.get(); }
    FragmentIon& operator[](uint32_t i) { return ions_[i]; }
    const FragmentIon& operator[](uint32_t i) const { return ions_[i]; }

    friend bool operator==(const FragmentIonArray& a, const FragmentIonArray& b);

private:
    std::unique_ptr<FragmentIon[]> ions_;
    uint32_t count_ = 0;
};

/// The record of one MS/MS spectrum. The library reads `charge`, `precursor_mass`,
/// `file_name` and `peaks`; the other fields belong to the host and are carried along.
class CSpectrum {
public:
    CSpectrum() = default;
    /// Copies everything except `match_score` and `match_delta`, which start at 0.0.
    CSpectrum(const CSpectrum& other);
    /// Replaces everything except `match_score` and `match_delta`, which keep their values.
    CSpectrum& operator=(const CSpectrum& other);
    CSpectrum(CSpectrum&&) noexcept = default;
    CSpectrum& operator=(CSpectrum&&) noexcept = default;
    virtual ~CSpectrum() = default;

    double match_score = 0.0;         ///< host's last comparison score; not copied
    double match_delta = 0.0;         ///< host's last score difference; not copied
    int32_t charge = 0;               ///< precursor charge state
    double precursor_mz = 0.0;        ///< precursor m/z (Th)
    double retention_time = 0.0;      ///< seconds
    double precursor_mass = 0.0;      ///< singly protonated precursor mass [M+H]+ (Da)
    double precursor_intensity = 0.0;
    std::string file_name;            ///< spectrum file name, relative to the data directory
    FragmentIonArray fragment_ions;
    int32_t scan = 0;                 ///< first scan number
    double total_ion_current = 0.0;
    std::string title;                ///< title as the source file gives it
    int32_t ms_level = 2;
    std::string peptide;              ///< known or identified peptide, if any
    PeakList peaks;                   ///< fragment peaks (m/z, intensity)
    std::vector<uint32_t> merged_scans;  ///< scans this spectrum was merged from
};

}  // namespace speclink
