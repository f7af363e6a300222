// The text of raw text elements, which goes to the handler without expat, against the same
// document parsed by expat alone: the same events, the same text, and the same error with
// the same line, column and byte, whatever the text holds and wherever blocks end.

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <string>
#include <vector>

#include "speclink/formats/XmlParser.h"
#include "speclink/tests/formats/FormatsTestHelpers.h"

namespace speclink::test {
namespace {

// Every event as a line; adjacent text pieces are joined, as a handler sees them whole.
class Recorder : public XmlHandler {
public:
    void StartElement(std::string_view name, const XmlAttributes&) override { Event("start " + std::string(name)); }
    void EndElement(std::string_view name) override { Event("end " + std::string(name)); }
    void Text(std::string_view text) override {
        if (events_.empty() || !events_.back().starts_with("text ")) events_.emplace_back("text ");
        events_.back() += text;
    }
    std::vector<std::string> events_;

private:
    void Event(std::string line) { events_.push_back(std::move(line)); }
};

// The events of a parse, and its error. Text just before an error is left out: the error
// ends the reading, and expat alone may not have handed that text on yet.
std::vector<std::string> Parse(const std::string& path, std::string_view raw_element) {
    ByteInput input(path);
    Recorder recorder;
    XmlParser parser(input, recorder, raw_element);
    try {
        parser.Parse();
    } catch (const FormatError& error) {
        if (!recorder.events_.empty() && recorder.events_.back().starts_with("text ")) recorder.events_.pop_back();
        recorder.events_.push_back(std::string("error ") + error.what());
    }
    return recorder.events_;
}

bool SameAsExpatAlone(const std::string& document, bool gzip) {
    const TempDir dir;
    const std::string path = dir / "d.xml";
    WriteFile(path, gzip ? Gzip(document) : document);
    const std::vector<std::string> raw = Parse(path, "binary");
    const std::vector<std::string> expat = Parse(path, "");
    EXPECT_EQ(raw, expat);
    return raw == expat;
}

// Pieces of content, among them what expat treats apart: line ends, entities, CDATA, a
// "<binary>" in a comment, tags with attributes or a prefix, and malformed text.
RC_GTEST_PROP(XmlParser, RawTextGivesWhatExpatGives, ()) {
    static const std::vector<std::string> kPieces = {
        "<binary>AAAAAAAgWUAAAAAAAAhpQA==</binary>", "<binary></binary>", "<binary/>", "\n", "  ",
        "<binary>AB\nCD</binary>", "<binary>AB&amp;CD</binary>", "<binary>A<![CDATA[x]]>B</binary>",
        "<!-- <binary>AAAA</binary> -->", "<binary a=\"1\">AAAA</binary>", "<x:binary xmlns:x=\"u\">AA</x:binary>",
        "<binary>AA\tBB</binary>", "<binary>AA\r\nBB</binary>", "<binary>AA]]>BB</binary>", "<binary>AA<</binary>",
        "<binary>AA\xc3\xa9" "BB</binary>", "<binary>AA\xff</binary>", "<binary>AAAA", "</binary>", "<other>x</other>",
        "<binary>AAAA</binary   >"};
    std::string body;
    for (const int k : *rc::gen::container<std::vector<int>>(rc::gen::inRange<int>(0, kPieces.size() + 1))) {
        body += k < static_cast<int>(kPieces.size()) ? kPieces[k]
                                                     : "<binary>" + std::string(*rc::gen::inRange(0, 300), 'Q') + "</binary>";
    }
    RC_ASSERT(SameAsExpatAlone("<?xml version=\"1.0\"?>\n<root>" + body + "</root>\n", *rc::gen::arbitrary<bool>()));
}

// Text longer than a block of a gzip stream, and a tag that a block end cuts: a malformed
// tag after the text is reported at the column and byte of the file.
TEST(XmlParser, RawTextAcrossBlocksAndErrorsAfterIt) {
    for (const bool gzip : {false, true}) {
        for (const std::size_t length : {ByteInput::kBlockSize - 40, ByteInput::kBlockSize + 7, 3 * ByteInput::kBlockSize}) {
            const std::string text(length, 'A');
            SameAsExpatAlone("<root><binary>" + text + "</binary><binary>" + text + "</binary></root>", gzip);
            SameAsExpatAlone("<root>\n<binary>" + text + "</binary x></root>", gzip);
            SameAsExpatAlone("<root>\n<binary>" + text + "&bad;</binary></root>", gzip);
        }
    }
}

}  // namespace
}  // namespace speclink::test
