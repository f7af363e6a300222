// Fuzz target: the MGF reader on arbitrary file content.
#include <cstddef>
#include <cstdint>

#include "speclink/tests/fuzz/FuzzSupport.h"
#include "speclink/formats/MgfReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto& scratch = speclink::fuzz::Scratch();
    speclink::fuzz::ReadChecked(scratch.Write("input.mgf", data, size),
                                [](speclink::ByteInput& input, speclink::RecordEmitter& emitter) {
                                    speclink::ReadMgf(input, emitter);
                                });
    return 0;
}
