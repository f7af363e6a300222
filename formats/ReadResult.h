#pragma once

#include <cstdint>

namespace speclink {

/// What a read produced and what it left out, and why. Every spectrum found in the input
/// either gives one or more records or is counted under exactly one skip reason.
struct ReadResult {
    uint64_t files = 0;                    ///< files read
    uint64_t spectra = 0;                  ///< spectra found in the files, every MS level
    uint64_t records = 0;                  ///< records handed to the caller
    uint64_t assigned_charge_records = 0;  ///< of `records`, made with a caller-assigned charge
    uint64_t skipped_not_ms2 = 0;          ///< MS level other than 2
    uint64_t skipped_no_charge = 0;        ///< no charge (or charge 0) and no charges to assign
    uint64_t skipped_negative_charge = 0;  ///< negative-mode precursor; [M+H]+ does not apply
    uint64_t skipped_no_precursor = 0;     ///< MS2 spectrum without a precursor m/z (mzML, mzXML)
    uint64_t skipped_empty = 0;            ///< no peaks
    uint64_t skipped_impossible_mass = 0;  ///< [M+H]+ not a finite positive mass for a charge

    uint64_t skipped() const {
        return skipped_not_ms2 + skipped_no_charge + skipped_negative_charge + skipped_no_precursor + skipped_empty +
               skipped_impossible_mass;
    }

    ReadResult& operator+=(const ReadResult& other) {
        files += other.files;
        spectra += other.spectra;
        records += other.records;
        assigned_charge_records += other.assigned_charge_records;
        skipped_not_ms2 += other.skipped_not_ms2;
        skipped_no_charge += other.skipped_no_charge;
        skipped_negative_charge += other.skipped_negative_charge;
        skipped_no_precursor += other.skipped_no_precursor;
        skipped_empty += other.skipped_empty;
        skipped_impossible_mass += other.skipped_impossible_mass;
        return *this;
    }

    friend bool operator==(const ReadResult&, const ReadResult&) = default;
};

}  // namespace speclink
