#include "speclink/formats/RecordEmitter.h"

#include <algorithm>
#include <cmath>

#include "speclink/formats/ProtonMass.h"
#include "speclink/formats/SpectrumNaming.h"

namespace speclink {

void RecordEmitter::Emit(SourceSpectrum&& spectrum) {
    ++result_.spectra;
    if (spectrum.ms_level != 2) {
        ++result_.skipped_not_ms2;
        return;
    }
    if (!spectrum.precursor_mz && spectrum.stated_masses.empty()) {
        ++result_.skipped_no_precursor;
        return;
    }
    if (spectrum.peaks.empty()) {
        ++result_.skipped_empty;
        return;
    }
    if (std::any_of(spectrum.charges.begin(), spectrum.charges.end(), [](int z) { return z < 0; })) {
        ++result_.skipped_negative_charge;
        return;
    }

    struct Precursor {
        int charge;
        double mass;
        double mz;
    };
    std::vector<Precursor> precursors;
    const auto add = [&](int charge, size_t stated_index) {
        if (stated_index < spectrum.stated_masses.size()) {
            const double mass = spectrum.stated_masses[stated_index];
            precursors.push_back({charge, mass, spectrum.precursor_mz.value_or(MzFromMass(mass, charge))});
        } else {
            precursors.push_back({charge, MassFromMz(*spectrum.precursor_mz, charge), *spectrum.precursor_mz});
        }
    };
    for (size_t i = 0; i < spectrum.charges.size(); ++i) {
        if (spectrum.charges[i] != 0) add(spectrum.charges[i], i);
    }
    const bool assigned = precursors.empty();
    if (assigned) {
        // A mass stated with charge 0 (a DTA header) still holds for the assigned charges.
        for (const int charge : options_.assign_charges) add(charge, 0);
    }
    if (precursors.empty()) {
        ++result_.skipped_no_charge;
        return;
    }
    // An m/z below the proton's, or so large that m/z times the charge overflows, gives no
    // usable [M+H]+; precursor grouping and tolerances in ppm assume a positive mass.
    const auto impossible = [](const Precursor& p) {
        return !std::isfinite(p.mass) || p.mass <= 0.0 || !std::isfinite(p.mz) || p.mz <= 0.0;
    };
    if (std::any_of(precursors.begin(), precursors.end(), impossible)) {
        ++result_.skipped_impossible_mass;
        return;
    }

    for (size_t i = 0; i < precursors.size(); ++i) {
        const Precursor& precursor = precursors[i];
        CSpectrum record;
        record.charge = precursor.charge;
        record.precursor_mz = precursor.mz;
        record.precursor_mass = precursor.mass;
        record.retention_time = spectrum.retention_time;
        record.precursor_intensity = spectrum.precursor_intensity;
        record.file_name = spectrum.file_name.empty() ? RecordFileName(base_name_, spectrum.scan, precursor.charge)
                                                      : spectrum.file_name;
        record.scan = spectrum.scan;
        record.total_ion_current = spectrum.total_ion_current;
        record.title = spectrum.title;
        record.ms_level = 2;
        record.peptide = spectrum.peptide;
        record.peaks = i + 1 == precursors.size() ? std::move(spectrum.peaks) : spectrum.peaks;
        ++result_.records;
        if (assigned) ++result_.assigned_charge_records;
        sink_(std::move(record), spectrum.native_id);
    }
}

void RecordEmitter::Forward(const ReadResult& counted, std::vector<CSpectrum>&& records,
                            const std::vector<std::string>& native_ids) {
    result_ += counted;
    for (std::size_t k = 0; k < records.size(); ++k) sink_(std::move(records[k]), native_ids[k]);
}

}  // namespace speclink
