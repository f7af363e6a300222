// MGF files parsed on worker threads, from a mapped file or a stream (gzip), give the records,
// counts and first error of a streamed read on one thread.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "speclink/formats/MgfPieces.h"
#include "speclink/formats/MgfSpectrumParser.h"
#include "speclink/tests/formats/FormatsTestHelpers.h"

namespace speclink::test {
namespace {

// A file of `count` spectra in the variants readers meet: header CHARGE lines between
// spectra that change the default, spectra with and without their own charge, scans from
// SCANS, titles or positions, comments, blank lines, CRLF line ends, keywords in lower
// case, spectra that are skipped (no peaks, charge 0), and now and then (3 in 1000) one
// spectrum of 20 000 peaks, larger than a piece of work. Returns the lines, without line ends.
std::vector<std::string> MgfLines(size_t count, uint64_t seed) {
    std::mt19937_64 random(seed);
    const auto chance = [&random](int percent) { return static_cast<int>(random() % 100) < percent; };
    std::vector<std::string> lines = {"# made for the threaded read test", "CHARGE=2+"};
    for (size_t s = 0; s < count; ++s) {
        if (chance(3)) lines.push_back("CHARGE=" + std::to_string(1 + random() % 4) + "+");
        if (chance(5)) lines.emplace_back("");
        lines.emplace_back(chance(10) ? "begin ions" : "BEGIN IONS");
        if (chance(70)) lines.push_back("TITLE=run." + std::to_string(1000 + s) + "." + std::to_string(1000 + s) + ".2");
        if (chance(20)) lines.push_back("SCANS=" + std::to_string(5000 + s));
        lines.push_back("PEPMASS=" + std::to_string(400.0 + static_cast<double>(random() % 100000) / 97.0) +
                        (chance(30) ? " 1234.5" : ""));
        if (chance(60)) lines.push_back(chance(5) ? "CHARGE=0" : "CHARGE=" + std::to_string(1 + random() % 3) + "+");
        if (chance(10)) lines.emplace_back("; a comment inside");
        const size_t peaks = random() % 1000 < 3 ? 20000 : chance(3) ? 0 : 5 + random() % 60;
        // Numbers in the forms files write, most short decimals, some that need the general
        // parser: exponents, long mantissas, zeros, signs, blanks around them.
        static const std::vector<std::string> kUnusual = {"1.5e2 3",          "123.45678901234567 2.5", "450.0 0.0",
                                                          "450.25 0",         "450.25 +7",              "  300.5 12  ",
                                                          "300.5\t\t12\t", ".5 12",                  "7. 8.",
                                                          "000120.0100 0.25", "123456789.5 1",          "3.25 1e-3"};
        for (size_t p = 0; p < peaks; ++p) {
            std::string line = std::to_string(100.0 + static_cast<double>(random() % 1000000) / 1000.0) +
                               (chance(10) ? "\t" : " ") + std::to_string(static_cast<double>(random() % 10000));
            if (chance(2)) line += " 1+";
            if (chance(3)) line = kUnusual[random() % kUnusual.size()];
            lines.push_back(std::move(line));
        }
        lines.emplace_back(chance(10) ? "end ions" : "END IONS");
    }
    return lines;
}

std::string Joined(const std::vector<std::string>& lines, bool crlf) {
    std::string text;
    for (const std::string& line : lines) text += line + (crlf ? "\r\n" : "\n");
    return text;
}

ReadOptions WithThreads(int threads) {
    ReadOptions options;
    options.threads = threads;
    return options;
}

// The reads compared with a streamed read on one thread: the mapped file on 1 to 4 threads
// and the stream on 2.
struct Variant {
    bool gzip;
    int threads;
};
constexpr Variant kVariants[] = {{false, 1}, {false, 2}, {false, 4}, {true, 2}};

std::string VariantName(const Variant& variant) {
    return std::string(variant.gzip ? "gzip" : "mapped") + ", " + std::to_string(variant.threads) + " threads";
}

// Writes `text` as t.mgf and t.mgf.gz.
void WriteBoth(const TempDir& dir, const std::string& text) {
    WriteFile(dir / "t.mgf", text);
    WriteFile(dir / "t.mgf.gz", Gzip(text));
}

std::string PathOf(const TempDir& dir, const Variant& variant) { return dir / (variant.gzip ? "t.mgf.gz" : "t.mgf"); }

TEST(MgfThreadedRead, SameRecordsAndCountsAsOneThread) {
    TempDir dir;
    for (const uint64_t seed : {1u, 2u}) {
        WriteBoth(dir, Joined(MgfLines(2500, seed), seed == 2));
        const ReadOutcome sequential = ReadPath(dir / "t.mgf.gz");
        ASSERT_GT(sequential.result.records, 1500u);
        ASSERT_GT(sequential.result.skipped(), 0u);
        for (const Variant& variant : kVariants) {
            const ReadOutcome threaded = ReadPath(PathOf(dir, variant), WithThreads(variant.threads));
            EXPECT_EQ(threaded.result, sequential.result) << seed << ", " << VariantName(variant);
            ASSERT_EQ(threaded.records.size(), sequential.records.size()) << seed << ", " << VariantName(variant);
            for (size_t k = 0; k < threaded.records.size(); ++k) {
                SCOPED_TRACE("record " + std::to_string(k));
                ExpectSameRecord(threaded.records[k], sequential.records[k]);
            }
        }
    }
}

// One fault placed at random lines of a large file: every thread count reports the error a
// read on one thread reports, however far the faulty line lies from a piece's border.
TEST(MgfThreadedRead, SameFirstErrorAsOneThread) {
    TempDir dir;
    const std::vector<std::string> clean = MgfLines(1200, 7);
    const std::vector<std::string> faults = {
        "100 x",                        // peak that does not parse
        "BEGIN IONS",                   // inside a spectrum: missing END IONS; outside: fine
        "END IONS",                     // outside a spectrum: without BEGIN IONS
        "hello world",                  // neither a peak nor a header line
        "CHARGE=two",                   // in a header or a spectrum
        std::string(70000, '1'),        // longer than any line may be
        std::string("1\0 2", 4),        // binary data
    };
    std::mt19937_64 random(11);
    for (int round = 0; round < 14; ++round) {
        std::vector<std::string> lines = clean;
        const size_t at = random() % lines.size();
        const std::string& fault = faults[static_cast<size_t>(round) % faults.size()];
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), fault);
        // Every other round a second, later fault (past the end of the spectrum holding the
        // first one) must not win over the first.
        if (round % 2 == 1) {
            const size_t later = std::min(lines.size(), at + 3000);
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(later), "hello world");
        }
        // Every third round the file ends inside a spectrum.
        if (round % 3 == 2) lines.resize(lines.size() - 3);
        WriteBoth(dir, Joined(lines, false));
        std::string sequential;
        try {
            ReadPath(dir / "t.mgf.gz");
        } catch (const FormatError& error) {
            sequential = error.what();
        }
        // The same error, named at the plain file.
        const std::string gz = dir / "t.mgf.gz";
        if (sequential.starts_with(gz)) sequential = std::string(dir / "t.mgf") + sequential.substr(gz.size());
        for (const Variant& variant : kVariants) {
            std::string threaded;
            try {
                ReadPath(PathOf(dir, variant), WithThreads(variant.threads));
            } catch (const FormatError& error) {
                threaded = error.what();
            }
            if (threaded.starts_with(gz)) threaded = std::string(dir / "t.mgf") + threaded.substr(gz.size());
            EXPECT_EQ(threaded, sequential) << "round " << round << ", fault at line " << at + 1 << ", "
                                            << VariantName(variant);
        }
    }
}

// A file cut at random offsets into pieces, each read from the state the pieces before end
// in, gives the records and counts of the whole, in order.
TEST(MgfPieces, GiveTheRecordsOfTheWholeFile) {
    TempDir dir;
    std::mt19937_64 random(5);
    for (const uint64_t seed : {3u, 4u}) {
        const std::string text = Joined(MgfLines(1500, seed), seed == 4);
        WriteFile(dir / "t.mgf", text);
        const ReadOutcome whole = ReadPath(dir / "t.mgf");
        for (const int count : {2, 3, 7}) {
            std::vector<uint64_t> cuts = {0};
            for (int k = 1; k < count; ++k) cuts.push_back(random() % text.size());
            cuts.push_back(text.size());
            std::sort(cuts.begin(), cuts.end());
            std::vector<CSpectrum> records;
            ReadResult counted;
            MgfState state;
            for (int k = 0; k < count; ++k) {
                const uint64_t begin = MgfPieceBoundary(dir / "t.mgf", cuts[k]);
                const uint64_t end = MgfPieceBoundary(dir / "t.mgf", cuts[k + 1]);
                counted += ReadMgfPiece(dir / "t.mgf", begin, end, state, WithThreads(2),
                                        [&](CSpectrum&& record, std::string_view) { records.push_back(std::move(record)); });
                state = ScanMgfPiece(dir / "t.mgf", begin, end, state);
            }
            counted.files = 1;
            EXPECT_EQ(counted, whole.result) << seed << ", " << count << " pieces";
            ASSERT_EQ(records.size(), whole.records.size()) << seed << ", " << count << " pieces";
            for (size_t k = 0; k < records.size(); ++k) ExpectSameRecord(records[k], whole.records[k]);
        }
    }
}

// Where a piece begins: the first "BEGIN IONS" line (in any case, with blanks and a '\r')
// starting at or after the offset, and with a limit only one starting before it.
TEST(MgfPieces, BeginAtTheFirstSpectrumStartAfterTheirCut) {
    const std::string text = "CHARGE=2+\nBEGIN IONS\nPEPMASS=5\nEND IONS\n  begin ions \r\nEND IONS\n# x\n";
    const size_t first = text.find("BEGIN");   // 10
    const size_t second = text.find("  begin");  // 42
    struct Case {
        size_t offset;
        size_t limit;
        size_t start;
    };
    const Case cases[] = {
        {0, std::string::npos, 0},           // the header belongs to the first piece
        {1, std::string::npos, first},       // from inside a line, the next lines
        {first, std::string::npos, first},   // a line starting at the offset
        {first + 1, std::string::npos, second},
        {second + 1, std::string::npos, text.size()},
        {first + 1, second, second},         // none starts before the limit
        {first + 1, second + 1, second},
        {second + 1, second + 3, second + 3},
        {text.size(), std::string::npos, text.size()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MgfSpectrumStartAfter(text, c.offset, c.limit), c.start) << c.offset << ", " << c.limit;
    }
}

// A spectrum too large for a piece of work is parsed as it is read; an error in it, or in
// a spectrum before it that is still waiting to be parsed, is reported at its line.
TEST(MgfThreadedRead, ErrorsAroundALargeSpectrumAreFoundWhereTheyAre) {
    TempDir dir;
    std::vector<std::string> large = {"BEGIN IONS", "PEPMASS=500", "CHARGE=2+"};
    for (int p = 0; p < 30000; ++p) large.push_back(std::to_string(100 + p % 1000) + ".5 " + std::to_string(p));
    large.emplace_back("END IONS");

    std::vector<std::string> inside = large;
    inside[25000] = "100 -5";
    WriteFile(dir / "inside.mgf", Joined(inside, false));

    std::vector<std::string> before = {"BEGIN IONS", "PEPMASS=400", "100 x", "END IONS"};
    before.insert(before.end(), large.begin(), large.end());
    WriteFile(dir / "before.mgf", Joined(before, false));

    for (const int threads : {1, 2}) {
        EXPECT_EQ(FormatErrorOf(dir / "inside.mgf", WithThreads(threads)),
                  dir / "inside.mgf:25001: peak intensity must be a finite number of at least 0");
        EXPECT_EQ(FormatErrorOf(dir / "before.mgf", WithThreads(threads)),
                  dir / "before.mgf:3: expected a number for the peak intensity, found 'x'");
    }
}

}  // namespace
}  // namespace speclink::test
