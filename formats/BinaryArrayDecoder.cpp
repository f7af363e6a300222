#include "speclink/formats/BinaryArrayDecoder.h"

#include <libdeflate.h>
#include <zlib.h>

#include <MSNumpress.hpp>
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>

#include "speclink/formats/Base64.h"

namespace speclink {
namespace {

namespace numpress = ms::numpress::MSNumpress;

uint32_t ByteSwap(uint32_t bits) { return __builtin_bswap32(bits); }
uint64_t ByteSwap(uint64_t bits) { return __builtin_bswap64(bits); }

/// Bytes the numpress decoders may look at beyond the data on corrupt input; kept as zeros.
constexpr size_t kNumpressSlack = 16;

// Bytes a stream of `size` bytes is first given room for: arrays seldom inflate to more.
size_t FirstRoom(size_t size, size_t limit) { return std::min<size_t>(limit, size * 4 + 64); }

// The whole zlib stream `input` inflated in one call, when it inflates into the first room
// (never more than `limit` bytes, so not the size a file merely announces) and nothing
// follows it; else nothing, and zlib's stream decoder, which grows its room, says what is
// wrong. Inflating is deterministic, so both give the same bytes; this one is several times
// faster.
std::optional<std::vector<unsigned char>> InflateWhole(const std::vector<unsigned char>& input, size_t limit) {
    struct Free {
        void operator()(libdeflate_decompressor* decompressor) const { libdeflate_free_decompressor(decompressor); }
    };
    thread_local const std::unique_ptr<libdeflate_decompressor, Free> decompressor(libdeflate_alloc_decompressor());
    if (!decompressor) return std::nullopt;
    std::vector<unsigned char> output(FirstRoom(input.size(), limit));
    size_t consumed = 0;
    size_t produced = 0;
    if (libdeflate_zlib_decompress_ex(decompressor.get(), input.data(), input.size(), output.data(), output.size(),
                                      &consumed, &produced) != LIBDEFLATE_SUCCESS ||
        consumed != input.size()) {
        return std::nullopt;
    }
    output.resize(produced);
    return output;
}

std::vector<unsigned char> Inflate(const std::vector<unsigned char>& input, size_t limit) {
    if (std::optional<std::vector<unsigned char>> whole = InflateWhole(input, limit)) return std::move(*whole);
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) throw std::bad_alloc();
    std::vector<unsigned char> output(FirstRoom(input.size(), limit));
    stream.next_in = const_cast<Bytef*>(input.data());
    stream.avail_in = static_cast<uInt>(input.size());
    int status = Z_OK;
    size_t produced = 0;
    while (true) {
        if (produced == output.size()) {
            if (output.size() >= limit) break;
            output.resize(std::min(limit, output.size() * 2));
        }
        stream.next_out = output.data() + produced;
        stream.avail_out = static_cast<uInt>(output.size() - produced);
        status = inflate(&stream, Z_NO_FLUSH);
        produced = output.size() - stream.avail_out;
        if (status != Z_OK) break;
    }
    const bool consumed_all = stream.avail_in == 0;
    inflateEnd(&stream);
    if (status == Z_OK) throw ArrayDecodeError("zlib data inflates to more than the announced array length");
    if (status != Z_STREAM_END) throw ArrayDecodeError("corrupt or truncated zlib data");
    if (!consumed_all) throw ArrayDecodeError("data after the end of the zlib stream");
    output.resize(produced);
    return output;
}

template <typename T>
std::vector<double> DecodePlain(const std::vector<unsigned char>& bytes, bool big_endian) {
    if (bytes.size() % sizeof(T) != 0) {
        throw ArrayDecodeError(std::to_string(bytes.size()) + " bytes is not a whole number of " +
                               std::to_string(sizeof(T) * 8) + "-bit values");
    }
    using Bits = std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t>;
    std::vector<double> values(bytes.size() / sizeof(T));
    for (size_t i = 0; i < values.size(); ++i) {
        Bits bits = 0;
        std::memcpy(&bits, bytes.data() + i * sizeof(T), sizeof(T));
        if (big_endian != (std::endian::native == std::endian::big)) bits = ByteSwap(bits);
        values[i] = static_cast<double>(std::bit_cast<T>(bits));
    }
    return values;
}

std::vector<double> DecodeNumpress(std::vector<unsigned char> bytes, ArrayEncoding::Numpress method) {
    std::vector<double> values;
    if (bytes.empty()) return values;
    // Linear and slof data start with an 8-byte fixed point.
    if (method != ArrayEncoding::Numpress::kPic && bytes.size() < 8) {
        throw ArrayDecodeError("numpress data shorter than its 8-byte header");
    }
    const size_t size = bytes.size();
    bytes.resize(size + kNumpressSlack, 0);
    // Every value takes at least half a byte, whatever the method; the margin covers the
    // decoders' handling of a last, partial value.
    const size_t capacity = size * 2 + 16;
    values.resize(capacity);
    size_t count = 0;
    try {
        switch (method) {
            case ArrayEncoding::Numpress::kLinear:
                count = numpress::decodeLinear(bytes.data(), size, values.data());
                break;
            case ArrayEncoding::Numpress::kPic:
                count = numpress::decodePic(bytes.data(), size, values.data());
                break;
            case ArrayEncoding::Numpress::kSlof:
                count = numpress::decodeSlof(bytes.data(), size, values.data());
                break;
            case ArrayEncoding::Numpress::kNone:
                break;
        }
    } catch (const char* message) {
        throw ArrayDecodeError(std::string("corrupt numpress data: ") + message);
    }
    if (count > capacity) throw ArrayDecodeError("corrupt numpress data");
    values.resize(count);
    return values;
}

}  // namespace

std::vector<double> DecodeBinaryArray(std::string_view base64, const ArrayEncoding& encoding, size_t expected_count) {
    std::optional<std::vector<unsigned char>> bytes = DecodeBase64(base64);
    if (!bytes) throw ArrayDecodeError("invalid base64 text");
    if (bytes->empty() && expected_count == 0) return {};
    if (encoding.zlib) {
        // Numpress output takes at most about 5 bytes per value; plain arrays take 8 or fewer.
        *bytes = Inflate(*bytes, expected_count * 8 + 64);
    }
    std::vector<double> values;
    if (encoding.numpress != ArrayEncoding::Numpress::kNone) {
        values = DecodeNumpress(std::move(*bytes), encoding.numpress);
    } else {
        switch (encoding.type) {
            case ArrayEncoding::Type::kFloat32:
                values = DecodePlain<float>(*bytes, encoding.big_endian);
                break;
            case ArrayEncoding::Type::kFloat64:
                values = DecodePlain<double>(*bytes, encoding.big_endian);
                break;
            case ArrayEncoding::Type::kInt32:
                values = DecodePlain<int32_t>(*bytes, encoding.big_endian);
                break;
            case ArrayEncoding::Type::kInt64:
                values = DecodePlain<int64_t>(*bytes, encoding.big_endian);
                break;
        }
    }
    if (values.size() != expected_count) {
        throw ArrayDecodeError("array holds " + std::to_string(values.size()) + " values, " +
                               std::to_string(expected_count) + " announced");
    }
    return values;
}

}  // namespace speclink
