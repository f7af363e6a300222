#pragma once

#include <cstdint>
#include <string>

#include "speclink/library/data/Spectrum.h"
#include "speclink/formats/BinaryArrayDecoder.h"
#include "speclink/formats/OutputFile.h"

namespace speclink {

/// How MzmlWriter stores the peak arrays.
struct MzmlWriteOptions {
    /// Encoding of the m/z array; the default, 64-bit floats, keeps every value exactly.
    ArrayEncoding mz;
    /// Encoding of the intensity array.
    ArrayEncoding intensity;
};

/// Writes spectra as an mzML 1.1 document (not indexed), one <spectrum> per record with:
/// id "scan=<scan>" (or "index=<i>" when the scan is 0), "ms level" 2, "MSn spectrum",
/// "centroid spectrum", "spectrum title" when there is one, "total ion current" when not 0,
/// "scan start time" in seconds, and a precursor with "selected ion m/z"
/// (PrecursorMzForWriting), "charge state" when not 0 and "peak intensity" when not 0. Numbers
/// in text are written in the shortest form that reads back as the same double. Close()
/// writes the end of the document and the spectrum count.
class MzmlWriter {
public:
    explicit MzmlWriter(std::string path, MzmlWriteOptions options = {});

    void Write(const CSpectrum& spectrum);
    void Close();

private:
    void WriteArray(const std::vector<double>& values, const ArrayEncoding& encoding, const char* accession,
                    const char* name, const char* unit);

    OutputFile file_;
    MzmlWriteOptions options_;
    uint64_t count_position_ = 0;
    uint64_t count_ = 0;
};

}  // namespace speclink
