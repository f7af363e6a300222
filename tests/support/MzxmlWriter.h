#pragma once

#include <cstdint>
#include <string>

#include "speclink/library/data/Spectrum.h"
#include "speclink/formats/OutputFile.h"

namespace speclink {

/// How MzxmlWriter stores the peaks.
struct MzxmlWriteOptions {
    int precision = 64;  ///< 32 or 64-bit floats; 64 keeps every value exactly
    bool zlib = false;   ///< zlib-compress the peak data
};

/// Writes spectra as an mzXML 3.2 document (not indexed), one MS2 <scan> per record: num (the
/// scan, or the 1-based position when the scan is 0), retentionTime "PT<seconds>S",
/// totIonCurrent when not 0, a <precursorMz> (PrecursorMzForWriting) with precursorIntensity
/// and precursorCharge (when not 0), and the peaks as big-endian m/z-intensity pairs.
/// Numbers in text are written in the shortest form that reads back as the same double.
/// Close() writes the end of the document and the scan count.
class MzxmlWriter {
public:
    explicit MzxmlWriter(std::string path, MzxmlWriteOptions options = {});

    void Write(const CSpectrum& spectrum);
    void Close();

private:
    OutputFile file_;
    MzxmlWriteOptions options_;
    uint64_t count_position_ = 0;
    uint64_t count_ = 0;
};

}  // namespace speclink
