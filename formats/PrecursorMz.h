#pragma once

#include "speclink/library/data/Spectrum.h"
#include "speclink/formats/ProtonMass.h"

namespace speclink {

/// The precursor m/z (Th) a writer puts into a format that stores m/z. The record's own
/// `precursor_mz` when it gives back exactly its `precursor_mass` (a record read from such a
/// format), else the m/z computed from `precursor_mass` and `charge`. Without a charge, the
/// record's m/z, else its mass.
inline double PrecursorMzForWriting(const CSpectrum& spectrum) {
    if (spectrum.charge <= 0) return spectrum.precursor_mz > 0.0 ? spectrum.precursor_mz : spectrum.precursor_mass;
    if (spectrum.precursor_mz > 0.0 && MassFromMz(spectrum.precursor_mz, spectrum.charge) == spectrum.precursor_mass) {
        return spectrum.precursor_mz;
    }
    return MzFromMass(spectrum.precursor_mass, spectrum.charge);
}

}  // namespace speclink
