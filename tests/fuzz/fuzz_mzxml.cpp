// Fuzz target: the mzXML reader on arbitrary file content.
#include <cstddef>
#include <cstdint>

#include "speclink/tests/fuzz/FuzzSupport.h"
#include "speclink/formats/MzxmlReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto& scratch = speclink::fuzz::Scratch();
    speclink::fuzz::ReadChecked(scratch.Write("input.mzXML", data, size), speclink::ReadMzxml);
    return 0;
}
