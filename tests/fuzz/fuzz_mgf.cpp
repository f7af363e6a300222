// Fuzz target: the MGF reader on arbitrary file content. A plain file is read whole by pieces,
// a gzip file as a stream cut by one thread: both must give the same records and counts, and
// fail, if they fail, at the same line with the same message.
#include <cstddef>
#include <cstdint>

#include "speclink/formats/MgfReader.h"
#include "speclink/tests/fuzz/FuzzSupport.h"

namespace {

void Read(speclink::ByteInput& input, speclink::RecordEmitter& emitter) { speclink::ReadMgf(input, emitter); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    speclink::fuzz::ReadBothWays(data, size, "input.mgf", Read);
    return 0;
}
