// Fuzz target: the mzML reader on arbitrary file content. A plain file is read through the
// markup scanner where it keeps to its subset, a gzip file through expat: both must give the
// same records and counts, and fail, if they fail, at the same line with the same message.
#include <cstddef>
#include <cstdint>

#include "speclink/formats/MzmlReader.h"
#include "speclink/tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    speclink::fuzz::ReadBothWays(data, size, "input.mzML", speclink::ReadMzml);
    return 0;
}
