// mzML arrays decoded on worker threads give the records, counts and first error of a read
// on one thread, whichever array or line of the file holds the fault.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "speclink/formats/MzmlWriter.h"
#include "speclink/formats/ProtonMass.h"
#include "speclink/tests/formats/FormatsTestHelpers.h"

namespace speclink::test {
namespace {

// `count` MS2 spectra of 0 to 200 peaks, arrays zlib-compressed or not: a few megabytes, so
// that the arrays are decoded in several pieces of work.
std::string MzmlText(const TempDir& dir, size_t count, uint64_t seed) {
    std::mt19937_64 random(seed);
    MzmlWriteOptions options;
    options.mz.zlib = seed % 2 == 0;
    options.intensity.type = ArrayEncoding::Type::kFloat32;
    {
        MzmlWriter writer(dir / "w.mzML", options);
        for (size_t k = 0; k < count; ++k) {
            CSpectrum spectrum;
            spectrum.charge = 2 + static_cast<int>(random() % 2);
            spectrum.precursor_mz = 400.0 + static_cast<double>(random() % 100000) / 97.0;
            spectrum.precursor_mass = MassFromMz(spectrum.precursor_mz, spectrum.charge);
            spectrum.scan = static_cast<int32_t>(k + 1);
            for (size_t p = random() % 201; p > 0; --p) {
                spectrum.peaks.push_back({100.0 + static_cast<double>(random() % 100000) / 53.0,
                                          static_cast<double>(random() % 5000)});
            }
            writer.Write(spectrum);
        }
        writer.Close();
    }
    return ReadFile(dir / "w.mzML");
}

// `text` with its `n`-th occurrence of `from` replaced by `to`.
std::string ReplacedAt(std::string text, const std::string& from, const std::string& to, size_t n) {
    size_t at = text.find(from);
    for (; n > 0 && at != std::string::npos; --n) at = text.find(from, at + 1);
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

ReadOptions WithThreads(int threads) {
    ReadOptions options;
    options.threads = threads;
    return options;
}

TEST(MzmlThreadedRead, SameRecordsCountsAndFirstErrorAsOneThread) {
    const TempDir dir;
    std::mt19937_64 random(17);
    int errors = 0;
    for (int round = 0; round < 6; ++round) {
        const size_t spectra = 1500 + random() % 1000;
        const std::string clean = MzmlText(dir, spectra, static_cast<uint64_t>(round));
        // Faults in the array text, which is decoded apart, and in what is parsed at once.
        const std::string faulty[] = {
            clean,
            ReplacedAt(clean, "<binary>", "<binary>AA*A", random() % (2 * spectra)),
            ReplacedAt(clean, "<binary>", "<binary>AAAAAAAA", random() % (2 * spectra)),
            ReplacedAt(clean, "\"ms level\" value=\"2\"", "\"ms level\" value=\"two\"", random() % spectra),
            ReplacedAt(clean, "</spectrum>", "</spectrum", random() % spectra),
            ReplacedAt(ReplacedAt(clean, "<binary>", "<binary>AA*A", random() % spectra), "</spectrum>",
                       "</spectrum", random() % spectra),
        };
        for (const std::string& text : faulty) {
            WriteFile(dir / "t.mzML", text);
            std::string one_error;
            ReadOutcome one;
            try {
                one = ReadPath(dir / "t.mzML", WithThreads(1));
            } catch (const FormatError& error) {
                one_error = error.what();
                ++errors;
            }
            for (const int threads : {2, 4}) {
                SCOPED_TRACE("round " + std::to_string(round) + ", " + std::to_string(threads) + " threads");
                if (!one_error.empty()) {
                    EXPECT_EQ(FormatErrorOf(dir / "t.mzML", WithThreads(threads)), one_error);
                    continue;
                }
                const ReadOutcome threaded = ReadPath(dir / "t.mzML", WithThreads(threads));
                EXPECT_EQ(threaded.result, one.result);
                ASSERT_EQ(threaded.records.size(), one.records.size());
                for (size_t k = 0; k < one.records.size(); ++k) ExpectSameRecord(threaded.records[k], one.records[k]);
            }
        }
    }
    EXPECT_EQ(errors, 6 * 5);
}

}  // namespace
}  // namespace speclink::test
