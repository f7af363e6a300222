#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "speclink/tests/formats/FormatsTestHelpers.h"
#include "speclink/formats/MgfWriter.h"
#include "speclink/formats/MzmlWriter.h"
#include "speclink/formats/SpectrumFormat.h"

namespace speclink::test {
namespace {

namespace fs = std::filesystem;

const std::string kMgf = "BEGIN IONS\nPEPMASS=400.5\nCHARGE=2+\nSCANS=3\n100 1\n200 2\nEND IONS\n";

TEST(SpectrumReader, GzipIsDetectedByContentWhateverTheName) {
    TempDir dir;
    const CSpectrum plain = ReadText(dir, "a.mgf", kMgf).records.at(0);
    for (const std::string name : {"a.mgf.gz", "a.mgf", "a.gz"}) {
        WriteFile(dir / name, Gzip(kMgf));
        const ReadOutcome read = ReadPath(dir / name);
        ASSERT_EQ(read.records.size(), 1u) << name;
        EXPECT_EQ(read.records[0].peaks, plain.peaks);
        EXPECT_EQ(read.records[0].file_name, "a.3.3.2.dta");
    }
    // Concatenated gzip members read as one stream.
    WriteFile(dir / "two.mgf.gz", Gzip(kMgf) + Gzip(kMgf));
    EXPECT_EQ(ReadPath(dir / "two.mgf.gz").records.size(), 2u);
}

TEST(SpectrumReader, DamagedGzipIsAFormatError) {
    TempDir dir;
    const std::string packed = Gzip(kMgf + kMgf + kMgf);
    WriteFile(dir / "cut.mgf.gz", packed.substr(0, packed.size() - 12));
    EXPECT_NE(FormatErrorOf(dir / "cut.mgf.gz").find("truncated gzip stream"), std::string::npos);
    std::string corrupt = packed;
    for (size_t i = 12; i < 30 && i < corrupt.size(); ++i) corrupt[i] = static_cast<char>(~corrupt[i]);
    WriteFile(dir / "bad.mgf.gz", corrupt);
    EXPECT_NE(FormatErrorOf(dir / "bad.mgf.gz").find("gzip"), std::string::npos);
    WriteFile(dir / "tail.mgf.gz", packed + "trailing");
    EXPECT_NE(FormatErrorOf(dir / "tail.mgf.gz").find("unexpected data after the end of the gzip stream"),
              std::string::npos);
}

TEST(SpectrumReader, DetectsTheFormat) {
    struct Case {
        std::string head;
        std::string path;
        std::optional<SpectrumFormat> format;
    };
    const std::vector<Case> cases = {
        {"<?xml version=\"1.0\"?>\n<!-- c -->\n<indexedmzML xmlns=\"x\">", "a.xml", SpectrumFormat::kMzml},
        {"\xEF\xBB\xBF<mzML>", "a.mgf", SpectrumFormat::kMzml},
        {"<?xml version=\"1.0\"?><mzXML>", "a", SpectrumFormat::kMzxml},
        {"<?xml version=\"1.0\"?><html>", "a.mzML", std::nullopt},
        {"anything", "a.MGF", SpectrumFormat::kMgf},
        {"anything", "a.ms2.gz", SpectrumFormat::kMs2},
        {"anything", "dir/a.1.1.2.DTA", SpectrumFormat::kDta},
        {"\n\nBEGIN IONS\n", "noext", SpectrumFormat::kMgf},
        {"COM=x y\n", "noext", SpectrumFormat::kMgf},
        {"H\tExtractor\tx\n", "noext", SpectrumFormat::kMs2},
        {"1000.5 2\n100 1\n", "noext", SpectrumFormat::kDta},
        {"hello world\n", "noext", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(DetectFormat(c.head, c.path), c.format) << c.head;
}

TEST(SpectrumReader, ReadsSeveralFilesAsOneRunAndReportsProgress) {
    TempDir dir;
    WriteFile(dir / "a.mgf", kMgf);
    WriteFile(dir / "b.ms2", "S\t1\t1\t500\nZ\t2\t999\n100 1\n");
    WriteFile(dir / "c.mgf.gz", Gzip(kMgf));
    // mzML of several MiB read in memory, and the same with a character reference in its
    // last spectrum, read in memory up to there and then again through expat: every byte is
    // told of once.
    {
        MzmlWriter writer(dir / "d.mzML");
        for (int k = 0; k < 1500; ++k) {
            CSpectrum spectrum;
            spectrum.charge = 2;
            spectrum.precursor_mz = 500.0;
            spectrum.precursor_mass = 999.0;
            spectrum.scan = k + 1;
            for (int p = 0; p < 250; ++p) spectrum.peaks.push_back({100.0 + p, 1.0 + k});
            writer.Write(spectrum);
        }
        writer.Close();
    }
    std::string referenced = ReadFile(dir / "d.mzML");
    ASSERT_GT(referenced.size(), 5u << 20);
    const size_t last = referenced.rfind("value=\"2\"");
    ASSERT_NE(last, std::string::npos);
    referenced.replace(last, 9, "value=\"&#50;\"");
    WriteFile(dir / "e.mzML", referenced);
    const std::vector<std::string> paths = {dir / "a.mgf", dir / "b.ms2", dir / "c.mgf.gz", dir / "d.mzML",
                                            dir / "e.mzML"};
    uint64_t total = 0;
    for (const std::string& path : paths) total += std::filesystem::file_size(path);
    std::vector<std::pair<uint64_t, uint64_t>> calls;
    ReadOptions options;
    options.progress = [&](uint64_t done, uint64_t all) { calls.emplace_back(done, all); };
    std::vector<std::string> names;
    const ReadResult result =
        ReadSpectra(paths, options, [&](CSpectrum&& s, std::string_view) { names.push_back(s.file_name); });
    ASSERT_EQ(names.size(), 3u + 2 * 1500);
    EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 4),
              (std::vector<std::string>{"a.3.3.2.dta", "b.1.1.2.dta", "c.3.3.2.dta", "d.1.1.2.dta"}));
    EXPECT_EQ(names.back(), "e.1500.1500.2.dta");
    EXPECT_EQ(result.files, 5u);
    EXPECT_EQ(result.records, 3u + 2 * 1500);
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), std::make_pair(total, total));
    for (size_t i = 1; i < calls.size(); ++i) EXPECT_LE(calls[i - 1].first, calls[i].first);
}

// An exception from the caller's sink leaves the read as it came, after exactly the records
// before it, in file order: not taken for a fault of the file (which the mzML scanner would
// read again through expat), nor followed by records of pieces read ahead on other threads.
TEST(SpectrumReader, ASinksExceptionLeavesAfterTheRecordsBeforeIt) {
    const TempDir dir;
    std::mt19937_64 random(41);
    {
        MzmlWriter mzml(dir / "run.mzML", MzmlWriteOptions{});
        MgfWriter mgf(dir / "run.mgf");
        for (int k = 0; k < 1500; ++k) {
            CSpectrum spectrum;
            spectrum.charge = 2;
            spectrum.precursor_mz = 400.0 + static_cast<double>(random() % 100000) / 97.0;
            spectrum.precursor_mass = 2 * spectrum.precursor_mz;
            spectrum.scan = k + 1;
            for (int p = 0; p < 80; ++p) spectrum.peaks.push_back({100.0 + 13.5 * p + k % 7, 1.0 + p});
            mzml.Write(spectrum);
            mgf.Write(spectrum);
        }
        mzml.Close();
        mgf.Close();
    }
    fs::create_directories(dir / "gz");
    for (const std::string name : {"run.mzML", "run.mgf"}) WriteFile(dir / ("gz/" + name), Gzip(ReadFile(dir / name)));
    struct Stop {};
    for (const std::string path : {"run.mzML", "run.mgf", "gz/run.mzML", "gz/run.mgf"}) {
        const std::vector<CSpectrum> all = ReadPath(dir / path).records;
        ASSERT_EQ(all.size(), 1500u);
        for (const int threads : {1, 2}) {
            for (const size_t stop_at : {size_t{1}, size_t{700}, size_t{1500}}) {
                SCOPED_TRACE(path + ", " + std::to_string(threads) + " threads, stop at " + std::to_string(stop_at));
                ReadOptions options;
                options.threads = threads;
                std::vector<int32_t> scans;
                const SpectrumSink sink = [&](CSpectrum&& record, std::string_view) {
                    scans.push_back(record.scan);
                    if (scans.size() == stop_at) throw Stop();
                };
                EXPECT_THROW(ReadSpectra(dir / path, options, sink), Stop);
                ASSERT_EQ(scans.size(), stop_at);
                for (size_t k = 0; k < stop_at; ++k) EXPECT_EQ(scans[k], all[k].scan);
            }
        }
    }
}

TEST(SpectrumReader, RejectsChargesToAssignBelowOne) {
    TempDir dir;
    WriteFile(dir / "a.mgf", kMgf);
    ReadOptions options;
    options.assign_charges = {2, 0};
    EXPECT_THROW(ReadPath(dir / "a.mgf", options), std::invalid_argument);
    EXPECT_THROW(ReadPath(dir / "missing.mgf"), std::system_error);
}

// Inputs that must give a FormatError, whatever the format the name claims.
TEST(SpectrumReader, BadInputsGiveFormatErrors) {
    TempDir dir;
    std::mt19937 random(7);
    std::string garbage(4096, '\0');
    for (char& c : garbage) c = static_cast<char>(random());
    const std::string long_line = "BEGIN IONS\nTITLE=" + std::string(1 << 20, 'x') + "\nPEPMASS=400\nEND IONS\n";
    struct Case {
        std::string name;
        std::string content;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"empty.mgf", "", "empty.mgf: empty file"},
        {"blank.mzML", "\n \n", "blank.mzML: empty file"},
        {"garbage.mgf", garbage, "garbage.mgf:1:"},
        {"garbage.ms2", garbage, "garbage.ms2:1:"},
        {"garbage.dta", garbage, "garbage.dta:1:"},
        {"garbage.bin", garbage, "garbage.bin: cannot tell the spectrum format"},
        {"garbage.mzML", "<?xml version=\"1.0\"?>\n<mzML>" + garbage, "garbage.mzML:2: malformed XML"},
        {"long.mgf", long_line, "long.mgf:2: line longer than 65536 bytes"},
        {"noline.mgf", std::string(3 << 20, '7'), "noline.mgf:1: line longer than 65536 bytes"},
    };
    for (const Case& c : cases) {
        WriteFile(dir / c.name, c.content);
        EXPECT_EQ(FormatErrorOf(dir / c.name).rfind(dir / c.message, 0), 0u)
            << c.name << ": " << FormatErrorOf(dir / c.name);
    }
}

}  // namespace
}  // namespace speclink::test
