#pragma once

namespace speclink {

/// Mass of a proton (Da). Every reader and writer converts between precursor m/z and the
/// singly protonated mass [M+H]+ with this one constant, so that a file written by one
/// format and read by another gives back the same mass.
inline constexpr double kProtonMass = 1.007276466621;

/// Singly protonated mass [M+H]+ (Da) of an ion seen at `mz` (Th) with charge `charge`.
inline double MassFromMz(double mz, int charge) { return (mz - kProtonMass) * charge + kProtonMass; }

/// m/z (Th) at which an ion of singly protonated mass `mass` (Da) and charge `charge` is seen;
/// the inverse of MassFromMz.
inline double MzFromMass(double mass, int charge) { return (mass - kProtonMass) / charge + kProtonMass; }

}  // namespace speclink
