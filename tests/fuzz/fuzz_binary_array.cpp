// Fuzz target: base64, zlib and MS-Numpress decoding of mzML/mzXML binary arrays. The first
// bytes choose the encoding and the announced length; the rest is the base64 text.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "speclink/tests/fuzz/FuzzSupport.h"
#include "speclink/formats/Base64.h"
#include "speclink/formats/BinaryArrayDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using speclink::ArrayEncoding;
    FuzzedDataProvider in(data, size);
    ArrayEncoding encoding;
    encoding.type = static_cast<ArrayEncoding::Type>(in.ConsumeIntegralInRange<int>(0, 3));
    encoding.numpress = static_cast<ArrayEncoding::Numpress>(in.ConsumeIntegralInRange<int>(0, 3));
    encoding.zlib = in.ConsumeBool();
    encoding.big_endian = in.ConsumeBool();
    // Mostly small counts near the real one, sometimes anything a file could announce.
    const size_t expected = in.ConsumeBool() ? in.ConsumeIntegralInRange<size_t>(0, 4096) : in.ConsumeIntegral<size_t>();
    const std::string text = in.ConsumeRemainingBytesAsString();

    const auto bytes = speclink::DecodeBase64(text);
    try {
        const std::vector<double> values = speclink::DecodeBinaryArray(text, encoding, expected);
        speclink::fuzz::Require(bytes.has_value(), "array decoded from invalid base64");
        speclink::fuzz::Require(values.size() == expected, "array length differs from the announced one");
        if (!encoding.zlib && encoding.numpress == ArrayEncoding::Numpress::kNone) {
            const size_t width = (encoding.type == ArrayEncoding::Type::kFloat32 ||
                                  encoding.type == ArrayEncoding::Type::kInt32) ? 4 : 8;
            speclink::fuzz::Require(bytes->size() == values.size() * width, "plain array of the wrong byte size");
        }
    } catch (const speclink::ArrayDecodeError&) {
    }
    return 0;
}
