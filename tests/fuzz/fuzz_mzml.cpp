// Fuzz target: the mzML reader on arbitrary file content.
#include <cstddef>
#include <cstdint>

#include "speclink/tests/fuzz/FuzzSupport.h"
#include "speclink/formats/MzmlReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto& scratch = speclink::fuzz::Scratch();
    speclink::fuzz::ReadChecked(scratch.Write("input.mzML", data, size), speclink::ReadMzml);
    return 0;
}
