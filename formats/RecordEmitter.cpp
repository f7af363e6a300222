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
    const auto precursor = [&spectrum](int charge, size_t stated_index) {
        if (stated_index < spectrum.stated_masses.size()) {
            const double mass = spectrum.stated_masses[stated_index];
            return Precursor{charge, mass, spectrum.precursor_mz.value_or(MzFromMass(mass, charge))};
        }
        return Precursor{charge, MassFromMz(*spectrum.precursor_mz, charge), *spectrum.precursor_mz};
    };
    const bool assigned = std::all_of(spectrum.charges.begin(), spectrum.charges.end(), [](int z) { return z == 0; });
    // Calls take(precursor) for each record: the file's non-zero charges, else the caller's.
    // Looked at twice rather than stored, as nearly every spectrum read passes through here.
    const auto for_each_precursor = [&](auto&& take) {
        if (!assigned) {
            for (size_t i = 0; i < spectrum.charges.size(); ++i) {
                if (spectrum.charges[i] != 0) take(precursor(spectrum.charges[i], i));
            }
        } else {
            // A mass stated with charge 0 (a DTA header) still holds for the assigned charges.
            for (const int charge : options_.assign_charges) take(precursor(charge, 0));
        }
    };
    size_t count = 0;
    bool impossible = false;
    for_each_precursor([&](const Precursor& p) {
        ++count;
        // An m/z below the proton's, or so large that m/z times the charge overflows, gives
        // no usable [M+H]+; precursor grouping and tolerances in ppm assume a positive mass.
        impossible = impossible || !std::isfinite(p.mass) || p.mass <= 0.0 || !std::isfinite(p.mz) || p.mz <= 0.0;
    });
    if (count == 0) {
        ++result_.skipped_no_charge;
        return;
    }
    if (impossible) {
        ++result_.skipped_impossible_mass;
        return;
    }

    size_t made = 0;
    for_each_precursor([&](const Precursor& p) {
        const bool last = ++made == count;
        CSpectrum record;
        record.charge = p.charge;
        record.precursor_mz = p.mz;
        record.precursor_mass = p.mass;
        record.retention_time = spectrum.retention_time;
        record.precursor_intensity = spectrum.precursor_intensity;
        record.file_name =
            spectrum.file_name.empty() ? RecordFileName(base_name_, spectrum.scan, p.charge) : spectrum.file_name;
        record.scan = spectrum.scan;
        record.total_ion_current = spectrum.total_ion_current;
        record.ms_level = 2;
        // The last record takes what the spectrum owns, the others copies.
        if (last) {
            record.title = std::move(spectrum.title);
            record.peptide = std::move(spectrum.peptide);
            record.peaks = std::move(spectrum.peaks);
        } else {
            record.title = spectrum.title;
            record.peptide = spectrum.peptide;
            record.peaks = spectrum.peaks;
        }
        ++result_.records;
        if (assigned) ++result_.assigned_charge_records;
        sink_(std::move(record), spectrum.native_id);
    });
}

void RecordEmitter::Forward(const ReadResult& counted, std::span<CSpectrum> records,
                            std::span<const std::string> native_ids) {
    result_ += counted;
    for (std::size_t k = 0; k < records.size(); ++k) sink_(std::move(records[k]), native_ids[k]);
}

}  // namespace speclink
