// mzML read through the markup scanner (a plain file in memory) against the same bytes read
// through expat (the gzip stream): the same records, counts and first error, for documents
// inside the scanner's subset, outside it and malformed, and for the real files beside the
// repository.

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "speclink/formats/ByteInput.h"
#include "speclink/formats/MarkupScanner.h"
#include "speclink/formats/MzmlWriter.h"
#include "speclink/formats/XmlParser.h"
#include "speclink/formats/ProtonMass.h"
#include "speclink/tests/formats/FormatsTestHelpers.h"

namespace speclink::test {
namespace {

namespace fs = std::filesystem;

const std::string kMsLevel2 = "<cvParam cvRef=\"MS\" accession=\"MS:1000511\" name=\"ms level\" value=\"2\"/>";

std::string SmallMzml(const TempDir& dir) {
    MzmlWriteOptions options;
    options.mz.zlib = true;
    {
        MzmlWriter writer(dir / "w.mzML", options);
        for (int k = 0; k < 40; ++k) {
            CSpectrum spectrum;
            spectrum.charge = 2 + k % 2;
            spectrum.precursor_mz = 400.0 + 3.25 * k;
            spectrum.precursor_mass = MassFromMz(spectrum.precursor_mz, spectrum.charge);
            spectrum.scan = k + 1;
            spectrum.title = "run.spectrum " + std::to_string(k);
            for (int p = 0; p < 5 + k % 7; ++p) spectrum.peaks.push_back({100.0 + 37.5 * p + k, 10.0 * (p + 1)});
            writer.Write(spectrum);
        }
        writer.Close();
    }
    return ReadFile(dir / "w.mzML");
}

// `text` with the first `from` replaced by `to` (nth = 0), or its `nth` one.
std::string Replaced(std::string text, const std::string& from, const std::string& to, int nth = 0) {
    size_t at = text.find(from);
    for (; nth > 0 && at != std::string::npos; --nth) at = text.find(from, at + 1);
    if (at == std::string::npos) {
        ADD_FAILURE() << "no '" << from << "' to replace";
        return text;
    }
    text.replace(at, from.size(), to);
    return text;
}

std::string Crlf(const std::string& text) {
    std::string out;
    for (const char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

// Reads `text` both ways, in memory on `threads` threads, and expects the same outcome.
void ExpectSameBothWays(const TempDir& dir, const std::string& text, const std::string& what, int threads = 1) {
    SCOPED_TRACE(what);
    // The same name, so that the records are named alike; gzip is told by its first bytes.
    fs::create_directories(dir / "gz");
    WriteFile(dir / "t.mzML", text);
    WriteFile(dir / "gz/t.mzML", Gzip(text));
    std::string scanned_error;
    std::string expat_error;
    ReadOutcome scanned;
    ReadOutcome expat;
    try {
        ReadOptions options;
        options.threads = threads;
        scanned = ReadPath(dir / "t.mzML", options);
    } catch (const FormatError& error) {
        scanned_error = error.message() + " at " + std::to_string(error.line().value_or(0));
    }
    try {
        expat = ReadPath(dir / "gz/t.mzML");
    } catch (const FormatError& error) {
        expat_error = error.message() + " at " + std::to_string(error.line().value_or(0));
    }
    EXPECT_EQ(scanned_error, expat_error);
    EXPECT_EQ(scanned.result, expat.result);
    ASSERT_EQ(scanned.records.size(), expat.records.size());
    for (size_t k = 0; k < expat.records.size(); ++k) ExpectSameRecord(scanned.records[k], expat.records[k]);
}

// The events a parser hands on, as text; adjacent texts joined, as expat may split them
// anywhere.
class Recording : public XmlHandler {
public:
    void StartElement(std::string_view name, const XmlAttributes& attributes) override {
        log += "<" + std::string(name);
        for (const char* attribute : {"id", "index", "accession", "value", "name", "unitAccession", "ref"}) {
            if (const auto value = attributes.Get(attribute)) {
                log += " " + std::string(attribute) + "=" + std::string(*value);
            }
        }
        log += ">";
    }
    void EndElement(std::string_view name) override { log += "</" + std::string(name) + ">"; }
    void Text(std::string_view text) override { log += text; }

    std::string log;
};

TEST(MarkupScanner, HandsOnExpatsEventsOrStopsAtWhatItDoesNotRead) {
    const TempDir dir;
    const std::string clean = SmallMzml(dir);
    const std::string title = "\"spectrum title\" value=\"run.spectrum 3\"";
    struct Case {
        std::string text;
        bool scanned;
    };
    const std::vector<Case> cases = {
        {clean, true},
        {Replaced(clean, "<scanList", "<!-- a comment --><scanList", 3), true},
        {Replaced(clean, title, "\"spectrum title\" value=\"a &amp; b&lt;&quot;\tc\r\nd\"  "), true},
        {Replaced(clean, title, "\"spectrum title\" value = 'x\"y'"), true},
        {Replaced(Replaced(clean, "<mzML ", "<mzML xmlns:ms=\"urn:x\" "), "<cvParam", "<ms:cvParam", 9), true},
        {Crlf(clean), true},
        {Replaced(clean, "<binary>", "<binary>\r", 4), false},
        {Replaced(clean, title, "\"spectrum title\" value=\"&#65;\""), false},
        {Replaced(clean, title, "\"spectrum title\" value=\"caf\xc3\xa9\""), false},
        {Replaced(clean, "<binary>", "<binary><![CDATA[]]>", 4), false},
        {Replaced(clean, "<mzML", "<!DOCTYPE mzML><mzML"), false},
    };
    for (size_t k = 0; k < cases.size(); ++k) {
        const Case& c = cases[k];
        SCOPED_TRACE("case " + std::to_string(k));
        Recording scanned;
        EXPECT_EQ(MarkupScanner(c.text, scanned, [](const char*) {}).Run(), c.scanned);
        if (!c.scanned) continue;
        WriteFile(dir / "x.mzML", c.text);
        ByteInput input(dir / "x.mzML");
        Recording expat;
        XmlParser(input, expat).Parse();
        EXPECT_EQ(scanned.log, expat.log);
    }
}

TEST(MarkupScanner, ReadsAsExpatDoesInsideAndOutsideItsSubset) {
    const TempDir dir;
    const std::string clean = SmallMzml(dir);
    ASSERT_NE(clean.find("\"spectrum title\" value=\"run.spectrum 3\""), std::string::npos);
    const std::string title = "\"spectrum title\" value=\"run.spectrum 3\"";
    struct Case {
        std::string what;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"as written", clean},
        {"line ends CRLF", Crlf(clean)},
        {"a comment in a spectrum", Replaced(clean, "<scanList", "<!-- a -- comment --><scanList", 3)},
        {"a well-formed comment", Replaced(clean, "<scanList", "<!-- a comment --><scanList", 3)},
        {"entities and white space in a value",
         Replaced(clean, title, "\"spectrum title\" value=\"a &amp; b&lt;&quot;\tc\r\nd\"")},
        {"single quotes, spaces around =", Replaced(clean, title, "\"spectrum title\" value = 'x\"y'")},
        {"a character reference", Replaced(clean, title, "\"spectrum title\" value=\"&#65;\"")},
        {"an undefined entity", Replaced(clean, title, "\"spectrum title\" value=\"&nope;\"")},
        {"UTF-8 in a value", Replaced(clean, title, "\"spectrum title\" value=\"caf\xc3\xa9\"")},
        {"a byte that is not UTF-8", Replaced(clean, title, "\"spectrum title\" value=\"caf\xe9\"")},
        {"a control byte in a value", Replaced(clean, title, "\"spectrum title\" value=\"a\x01\"")},
        {"'<' in a value", Replaced(clean, title, "\"spectrum title\" value=\"a<b\"")},
        {"a duplicate attribute", Replaced(clean, title, "\"spectrum title\" name=\"x\" value=\"v\"")},
        {"attributes not set apart", Replaced(clean, title, "\"spectrum title\"value=\"v\"")},
        {"a mismatched end tag", Replaced(clean, "</scanList>", "</scanlist>", 5)},
        {"an end tag left open", Replaced(clean, "</spectrum>", "</spectrum", 7)},
        {"a CDATA section", Replaced(clean, "<binary>", "<binary><![CDATA[]]>", 4)},
        {"']]>' in text", Replaced(clean, "<binary>", "<binary>]]>", 4)},
        {"a control byte in text", Replaced(clean, "<binary>", "<binary>\x02", 4)},
        {"a carriage return alone in text", Replaced(clean, "<binary>", "<binary>\r", 4)},
        {"a reference in text", Replaced(clean, "<binary>", "<binary>&amp;", 4)},
        {"a processing instruction", Replaced(clean, "<scanList", "<?pi x?><scanList", 2)},
        {"a DOCTYPE", Replaced(clean, "<mzML", "<!DOCTYPE mzML><mzML")},
        {"another encoding", Replaced(clean, "encoding=\"UTF-8\"", "encoding=\"ISO-8859-1\"")},
        // Found by fuzz_mzml: only the declaration's encoding was looked at.
        {"a malformed declaration", Replaced(clean, "version=\"1.0\"", "version=\"1.0\"?x")},
        {"a declaration without a version", Replaced(clean, "version=\"1.0\" ", "")},
        {"a namespace prefix",
         Replaced(Replaced(clean, "<mzML ", "<mzML xmlns:ms=\"urn:x\" "), "<cvParam", "<ms:cvParam", 9)},
        // The spectrum list is read in pieces, each from a spectrum start.
        {"a spectrum start in a comment between spectra",
         Replaced(clean, "<spectrum ", "<!-- <spectrum index=\"9\"> --><spectrum ", 20)},
        {"text between spectra", Replaced(clean, "<spectrum ", "x <spectrum ", 20)},
        // Its scan is then its position in the file.
        {"a spectrum without an index, late in the list",
         Replaced(clean, "<spectrum index=\"30\" id=\"scan=31\"", "<spectrum id=\"x\"")},
        {"a spectrum inside a spectrum",
         Replaced(clean, "<scanList",
                  "<spectrum index=\"99\" id=\"inner\">" + kMsLevel2 + "</spectrum><scanList", 25)},
        {"a spectrum list inside a spectrum",
         Replaced(clean, "<scanList",
                  "<spectrumList count=\"1\"><spectrum index=\"99\" id=\"inner\">" + kMsLevel2 +
                      "</spectrum></spectrumList><scanList",
                  25)},
        // An array's spectrum was taken to be open while its array was.
        {"a spectrum inside an array",
         Replaced(clean, "<binary>", "<spectrum index=\"99\" id=\"inner\">" + kMsLevel2 + "</spectrum><binary>", 50)},
        {"a group defined between spectra, used after",
         Replaced(Replaced(clean, "<spectrum index=\"20\"",
                           "<referenceableParamGroup id=\"late\">" + kMsLevel2 +
                               "</referenceableParamGroup><spectrum index=\"20\""),
                  kMsLevel2, "<referenceableParamGroupRef ref=\"late\"/>", 35)},
        {"a group used before it is defined",
         Replaced(Replaced(clean, "<spectrum index=\"30\"",
                           "<referenceableParamGroup id=\"late\">" + kMsLevel2 +
                               "</referenceableParamGroup><spectrum index=\"30\""),
                  kMsLevel2, "<referenceableParamGroupRef ref=\"late\"/>", 25)},
        {"the list's end tag mismatched", Replaced(clean, "</spectrumList>", "</spectrumlist>")},
        {"no end to the list", clean.substr(0, clean.find("</spectrumList>"))},
        {"an empty list", clean.substr(0, clean.find("<spectrum ")) + clean.substr(clean.find("</spectrumList>"))},
        {"text after the root", clean + "x"},
        {"a second root", clean + "<mzML/>"},
        {"cut short", clean.substr(0, clean.size() / 2)},
        {"empty", ""},
    };
    for (const Case& c : cases) ExpectSameBothWays(dir, c.text, c.what);
}

// Part of an element's content is read up to a stop between two children or to the
// element's end tag, and refused where the stop falls inside a child or a comment: what lets
// the pieces of a spectrum list go to several threads.
TEST(MarkupScanner, ReadsPartOfAnElementsContentUpToAStopBetweenChildren) {
    const TempDir dir;
    const std::string text = Replaced(SmallMzml(dir), "<spectrum ", "<!-- <spectrum --><spectrum ", 5);
    // Where the `nth` `what` (from 0) starts.
    const auto at = [&](const std::string& what, int nth) {
        size_t found = text.find(what);
        for (; nth > 0; --nth) found = text.find(what, found + 1);
        return found;
    };
    const size_t content = text.find('>', at("<spectrumList", 0)) + 1;
    const size_t spectrum = at("      <spectrum ", 2) + 6;
    struct Case {
        std::string what;
        size_t begin;
        size_t stop;
        std::optional<size_t> end;
    };
    const std::vector<Case> cases = {
        {"from the list's start to a spectrum's", content, spectrum, spectrum},
        {"from a spectrum's start to the list's end tag", spectrum, text.size(), at("</spectrumList>", 0)},
        {"a stop inside a spectrum", content, at("<scanList", 1), std::nullopt},
        {"a stop inside a comment", content, at("<spectrum -->", 0), std::nullopt},
        {"from inside a spectrum to its end tag", at("<scanList", 1), text.size(), at("</spectrum>", 1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Recording recording;
        MarkupScanner scanner(text, recording, {});
        const char* const end = scanner.ScanContent(text.data() + c.begin, text.data() + c.stop);
        EXPECT_EQ(end, c.end ? text.data() + *c.end : nullptr);
    }
}

// The spectrum list is read in pieces cut at even offsets, each from the first spectrum start
// after its cut: padding of random length between spectra moves the cuts against them, and
// comments holding spectrum starts put false ones in, on 1 to 4 threads.
TEST(MarkupScanner, ReadsTheListInPiecesAsExpatReadsItWhereverItIsCut) {
    const TempDir dir;
    const std::string clean = SmallMzml(dir);
    std::mt19937_64 random(29);
    const std::string start = "      <spectrum ";
    for (int round = 0; round < 40; ++round) {
        std::string text;
        size_t from = 0;
        for (size_t at = clean.find(start); at != std::string::npos; at = clean.find(start, at + 1)) {
            text += clean.substr(from, at - from);
            from = at;
            const std::string padding(random() % 3000, random() % 2 == 0 ? ' ' : '\n');
            switch (random() % 4) {
                case 0:
                    text += padding;
                    break;
                case 1:
                    text += "<!--" + padding + "<spectrum index=\"7\" id=\"x\">-->";
                    break;
                default:
                    break;
            }
        }
        text += clean.substr(from);
        ExpectSameBothWays(dir, text, "round " + std::to_string(round), 1 + static_cast<int>(random() % 4));
    }
}

// The end of verbatim text against a plain loop, over runs long enough for every step width
// (64, 32 and 16 bytes, then one at a time), with the stop anywhere in them.
RC_GTEST_PROP(XmlVerbatimEnd, StopsWhereAPlainLoopStops, ()) {
    const std::string plain = "ABCxyz019+/= \"'>";
    const std::string stops = std::string("<&]\t\n\r\x01\x7f\x80\xff", 10);
    const auto length = *rc::gen::inRange<std::size_t>(0, 300);
    std::string text;
    for (std::size_t k = 0; k < length; ++k) text += plain[*rc::gen::inRange<std::size_t>(0, plain.size())];
    if (*rc::gen::arbitrary<bool>()) {
        const char stop = stops[*rc::gen::inRange<std::size_t>(0, stops.size())];
        text.insert(*rc::gen::inRange<std::size_t>(0, text.size() + 1), 1, stop);
    }
    std::size_t expected = 0;
    while (expected < text.size() && plain.find(text[expected]) != std::string::npos) ++expected;
    RC_ASSERT(XmlVerbatimEnd(text.data(), text.data() + text.size()) == text.data() + expected);
}

TEST(MarkupScanner, RealFilesReadAsExpatReadsThem) {
    const fs::path data = fs::path(SPECLINK_TEST_SOURCE_DIR) / ".." / ".." / "shared" / "data";
    if (!fs::is_directory(data)) GTEST_SKIP() << "no " << data;
    const TempDir dir;
    for (const char* name : {"SmallCalibratibleYeast.mzml", "matchms-testdata.mzML", "sliced-mzml.mzML"}) {
        ExpectSameBothWays(dir, ReadFile((data / name).string()), name);
    }
}

}  // namespace
}  // namespace speclink::test
