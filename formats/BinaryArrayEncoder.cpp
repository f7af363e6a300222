#include "speclink/formats/BinaryArrayEncoder.h"

#include <zlib.h>

#include <MSNumpress.hpp>
#include <bit>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>

#include "speclink/formats/Base64.h"

namespace speclink {
namespace {

namespace numpress = ms::numpress::MSNumpress;

uint32_t ByteSwap(uint32_t bits) { return __builtin_bswap32(bits); }
uint64_t ByteSwap(uint64_t bits) { return __builtin_bswap64(bits); }

template <typename T>
void AppendPlain(const std::vector<double>& values, bool big_endian, std::vector<unsigned char>& bytes) {
    using Bits = std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t>;
    bytes.resize(values.size() * sizeof(T));
    for (size_t i = 0; i < values.size(); ++i) {
        Bits bits = std::bit_cast<Bits>(static_cast<T>(values[i]));
        if (big_endian != (std::endian::native == std::endian::big)) bits = ByteSwap(bits);
        std::memcpy(bytes.data() + i * sizeof(T), &bits, sizeof(T));
    }
}

std::vector<unsigned char> Numpress(const std::vector<double>& values, ArrayEncoding::Numpress method) {
    std::vector<unsigned char> bytes(values.size() * 5 + 8);
    size_t size = 0;
    switch (method) {
        case ArrayEncoding::Numpress::kLinear:
            size = numpress::encodeLinear(values.data(), values.size(), bytes.data(),
                                          numpress::optimalLinearFixedPoint(values.data(), values.size()));
            break;
        case ArrayEncoding::Numpress::kPic:
            size = numpress::encodePic(values.data(), values.size(), bytes.data());
            break;
        case ArrayEncoding::Numpress::kSlof:
            size = numpress::encodeSlof(values.data(), values.size(), bytes.data(),
                                        numpress::optimalSlofFixedPoint(values.data(), values.size()));
            break;
        case ArrayEncoding::Numpress::kNone:
            break;
    }
    bytes.resize(size);
    return bytes;
}

std::vector<unsigned char> Deflate(const std::vector<unsigned char>& bytes) {
    uLongf size = compressBound(static_cast<uLong>(bytes.size()));
    std::vector<unsigned char> compressed(size);
    if (compress2(compressed.data(), &size, bytes.data(), static_cast<uLong>(bytes.size()), Z_DEFAULT_COMPRESSION) !=
        Z_OK) {
        throw std::bad_alloc();
    }
    compressed.resize(size);
    return compressed;
}

}  // namespace

std::string EncodeBinaryArray(const std::vector<double>& values, const ArrayEncoding& encoding) {
    std::vector<unsigned char> bytes;
    if (encoding.numpress != ArrayEncoding::Numpress::kNone) {
        bytes = Numpress(values, encoding.numpress);
    } else {
        switch (encoding.type) {
            case ArrayEncoding::Type::kFloat32:
                AppendPlain<float>(values, encoding.big_endian, bytes);
                break;
            case ArrayEncoding::Type::kFloat64:
                AppendPlain<double>(values, encoding.big_endian, bytes);
                break;
            case ArrayEncoding::Type::kInt32:
                AppendPlain<int32_t>(values, encoding.big_endian, bytes);
                break;
            case ArrayEncoding::Type::kInt64:
                AppendPlain<int64_t>(values, encoding.big_endian, bytes);
                break;
        }
    }
    if (encoding.zlib) bytes = Deflate(bytes);
    return EncodeBase64(bytes);
}

}  // namespace speclink
