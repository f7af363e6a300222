// Fuzz target: the MS2 reader on arbitrary file content.
#include <cstddef>
#include <cstdint>

#include "speclink/tests/fuzz/FuzzSupport.h"
#include "speclink/formats/Ms2Reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto& scratch = speclink::fuzz::Scratch();
    speclink::fuzz::ReadChecked(scratch.Write("input.ms2", data, size), speclink::ReadMs2);
    return 0;
}
