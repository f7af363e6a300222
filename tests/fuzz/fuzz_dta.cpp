// Fuzz target: the DTA reader on arbitrary file content.
#include <cstddef>
#include <cstdint>

#include "speclink/tests/fuzz/FuzzSupport.h"
#include "speclink/formats/DtaReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto& scratch = speclink::fuzz::Scratch();
    speclink::fuzz::ReadChecked(scratch.Write("input.12.12.2.dta", data, size), speclink::ReadDta);
    return 0;
}
