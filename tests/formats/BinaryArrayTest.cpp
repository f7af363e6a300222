#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <zlib.h>

#include <cstring>
#include <optional>
#include <random>

#include "speclink/formats/Base64.h"
#include "speclink/formats/BinaryArrayDecoder.h"
#include "speclink/formats/BinaryArrayEncoder.h"

namespace speclink {
namespace {

TEST(Base64, KnownTextsAndRejects) {
    const std::vector<std::pair<std::string, std::string>> known = {
        {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foobar", "Zm9vYmFy"}};
    for (const auto& [plain, encoded] : known) {
        EXPECT_EQ(EncodeBase64(std::vector<unsigned char>(plain.begin(), plain.end())), encoded);
        const auto decoded = DecodeBase64(encoded);
        ASSERT_TRUE(decoded);
        EXPECT_EQ(std::string(decoded->begin(), decoded->end()), plain);
    }
    EXPECT_EQ(DecodeBase64("Zm9v\n Ym Fy\r\n"), DecodeBase64("Zm9vYmFy"));
    for (const std::string bad : {"Zg=", "Zg", "Z===", "Zg==Zg==", "Zm9*", "=Zm9"})
        EXPECT_FALSE(DecodeBase64(bad)) << bad;
}

RC_GTEST_PROP(Base64, DecodeInvertsEncode, (const std::vector<unsigned char>& bytes)) {
    RC_ASSERT(DecodeBase64(EncodeBase64(bytes)) == std::optional(bytes));
}

RC_GTEST_PROP(BinaryArray, PlainEncodingsGiveBackTheValues,
              (const std::vector<int32_t>& integers, bool zlib, bool big_endian)) {
    std::vector<double> values;
    for (const int32_t i : integers) values.push_back(i / 64.0);
    for (const auto type : {ArrayEncoding::Type::kFloat64, ArrayEncoding::Type::kInt64}) {
        ArrayEncoding encoding;
        encoding.type = type;
        encoding.zlib = zlib;
        encoding.big_endian = big_endian;
        std::vector<double> expected = values;
        if (type == ArrayEncoding::Type::kInt64) {
            for (double& v : expected) v = static_cast<double>(static_cast<int64_t>(v));
        }
        RC_ASSERT(DecodeBinaryArray(EncodeBinaryArray(values, encoding), encoding, values.size()) == expected);
    }
}

// The values zlib's own one-call inflate gives for a zlib stream of 64-bit floats, or
// nothing when it refuses the stream, bytes follow it, or the count differs. No text for no
// values is an empty array whatever the encoding.
std::optional<std::vector<double>> PlainZlibDecode(const std::vector<unsigned char>& packed, size_t count) {
    if (packed.empty() && count == 0) return std::vector<double>();
    std::vector<unsigned char> bytes(count * 8 + 64);
    uLongf size = bytes.size();
    uLong consumed = packed.size();
    if (uncompress2(bytes.data(), &size, packed.data(), &consumed) != Z_OK || consumed != packed.size() ||
        size != count * 8) {
        return std::nullopt;
    }
    std::vector<double> values(count);
    if (count > 0) std::memcpy(values.data(), bytes.data(), size);
    return values;
}

// Streams of every compression level, then damaged at a random byte, cut short or given a
// tail: decoded exactly when zlib decodes them, refused when zlib refuses them.
RC_GTEST_PROP(BinaryArray, ZlibArraysAsZlibDecodesThem, (const std::vector<int32_t>& integers)) {
    std::vector<double> values;
    for (const int32_t i : integers) values.push_back(i % 7 == 0 ? 0.0 : i / 128.0);
    std::vector<unsigned char> raw(values.size() * 8);
    if (!values.empty()) std::memcpy(raw.data(), values.data(), raw.size());
    std::vector<unsigned char> packed(compressBound(raw.size()));
    uLongf size = packed.size();
    RC_ASSERT(compress2(packed.data(), &size, raw.data(), raw.size(), *rc::gen::inRange(0, 10)) == Z_OK);
    packed.resize(size);
    switch (*rc::gen::inRange(0, 4)) {
        case 1: packed[*rc::gen::inRange<size_t>(0, packed.size())] ^= static_cast<unsigned char>(*rc::gen::inRange(1, 256)); break;
        case 2: packed.resize(*rc::gen::inRange<size_t>(0, packed.size())); break;
        case 3: packed.push_back(0); break;
        default: break;
    }
    ArrayEncoding encoding;
    encoding.zlib = true;
    const std::optional<std::vector<double>> expected = PlainZlibDecode(packed, values.size());
    try {
        const std::vector<double> decoded = DecodeBinaryArray(EncodeBase64(packed), encoding, values.size());
        RC_ASSERT(expected && decoded == *expected);
    } catch (const ArrayDecodeError&) {
        RC_ASSERT(!expected);
    }
}

// Regression: the one-call inflate took room for the announced length, so an array that
// announced 2^48 values asked for petabytes (found by fuzz_binary_array).
TEST(BinaryArray, HugeAnnouncedLengthIsNotAllocated) {
    ArrayEncoding encoding;
    encoding.zlib = true;
    const std::vector<unsigned char> raw(64, 7);
    std::vector<unsigned char> packed(compressBound(raw.size()));
    uLongf size = packed.size();
    ASSERT_EQ(compress2(packed.data(), &size, raw.data(), raw.size(), 6), Z_OK);
    packed.resize(size);
    try {
        DecodeBinaryArray(EncodeBase64(packed), encoding, size_t{1} << 48);
        ADD_FAILURE() << "no error";
    } catch (const ArrayDecodeError& error) {
        EXPECT_EQ(std::string(error.what()), "array holds 8 values, 281474976710656 announced");
    }
}

TEST(BinaryArray, KnownLittleAndBigEndianArrays) {
    ArrayEncoding little;
    EXPECT_EQ(DecodeBinaryArray("AAAAAAAgWUAAAAAAAAhpQAAAAAAAwnJA", little, 3),
              (std::vector<double>{100.5, 200.25, 300.125}));
    ArrayEncoding big;
    big.type = ArrayEncoding::Type::kFloat32;
    big.big_endian = true;
    EXPECT_EQ(DecodeBinaryArray("QxaAAEDgAABDekAAQQgAAA==", big, 4), (std::vector<double>{150.5, 7.0, 250.25, 8.5}));
}

TEST(BinaryArray, CorruptDataIsAnErrorNotACrash) {
    std::mt19937 random(3);
    for (const auto numpress :
         {ArrayEncoding::Numpress::kLinear, ArrayEncoding::Numpress::kPic, ArrayEncoding::Numpress::kSlof}) {
        for (const bool zlib : {false, true}) {
            ArrayEncoding encoding;
            encoding.numpress = numpress;
            encoding.zlib = zlib;
            const std::vector<double> values = {100.0, 200.5, 300.25, 1000.0};
            const std::string good = EncodeBinaryArray(values, encoding);
            for (int trial = 0; trial < 200; ++trial) {
                std::vector<unsigned char> bytes = *DecodeBase64(good);
                const size_t keep = random() % (bytes.size() + 1);
                bytes.resize(keep);
                for (unsigned char& b : bytes) {
                    if (random() % 4 == 0) b = static_cast<unsigned char>(random());
                }
                try {
                    const std::vector<double> decoded = DecodeBinaryArray(EncodeBase64(bytes), encoding, values.size());
                    EXPECT_EQ(decoded.size(), values.size());
                } catch (const ArrayDecodeError&) {
                }
            }
        }
    }
    ArrayEncoding zlib;
    zlib.zlib = true;
    // A stream that inflates past the announced length stops with an error.
    const std::string big = EncodeBinaryArray(std::vector<double>(100000, 1.0), zlib);
    EXPECT_THROW(DecodeBinaryArray(big, zlib, 10), ArrayDecodeError);
}

}  // namespace
}  // namespace speclink
