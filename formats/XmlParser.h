#pragma once

#include <expat.h>

#include <cstdint>
#include <exception>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "speclink/formats/ByteInput.h"
#include "speclink/formats/FormatError.h"

namespace speclink {

/// An element or attribute name without its namespace prefix.
std::string_view XmlLocalName(std::string_view name);

/// The end of the text from `p` that an XML parser hands on as it stands, and on the same
/// line: printable ASCII but for markup ('<', '&') and the ']' that may close a CDATA
/// section.
const char* XmlVerbatimEnd(const char* p, const char* end);

/// The attributes of an element: as expat hands them over, or as views of local names (see
/// XmlLocalName) and values in turn.
class XmlAttributes {
public:
    explicit XmlAttributes(const XML_Char** pairs) : pairs_(pairs) {}
    explicit XmlAttributes(std::span<const std::string_view> pairs) : views_(pairs) {}
    std::optional<std::string_view> Get(std::string_view name) const;

private:
    const XML_Char** pairs_ = nullptr;
    std::span<const std::string_view> views_;
};

/// What a streaming XML reader does with the events of the parser. Element names come without
/// a namespace prefix. The handler may throw; the exception stops the parse and is rethrown
/// from XmlParser::Parse.
class XmlHandler {
public:
    virtual ~XmlHandler() = default;
    virtual void StartElement(std::string_view name, const XmlAttributes& attributes) = 0;
    virtual void EndElement(std::string_view name) = 0;
    virtual void Text(std::string_view text) = 0;
};

/// Streams a file through expat block by block, so only the current block and what the
/// handler keeps are in memory. Malformed XML raises a FormatError with the line and column.
///
/// The text of a `raw_text_element` (written "<name>" with no attributes), as far as it is
/// printable ASCII without markup, as base64 arrays in mzML are, goes to the handler without
/// expat looking at it byte by byte: it is most of such a file, and expat would hand it on
/// unchanged.
class XmlParser {
public:
    XmlParser(ByteInput& input, XmlHandler& handler, std::string_view raw_text_element = {});
    XmlParser(const XmlParser&) = delete;
    XmlParser& operator=(const XmlParser&) = delete;
    ~XmlParser();

    /// Parses the whole input.
    void Parse();

    /// Line of the event being handled (1-based).
    uint64_t line() const;
    /// A FormatError at the line of the event being handled.
    FormatError ErrorHere(const std::string& message) const;

private:
    // Feeds [begin, end) to expat, but for the verbatim text of raw text elements.
    void Feed(const char* begin, const char* end);
    void FeedExpat(const char* data, size_t size, bool last);
    static void OnStart(void* self, const XML_Char* name, const XML_Char** attributes);
    static void OnEnd(void* self, const XML_Char* name);
    static void OnText(void* self, const XML_Char* text, int length);
    template <typename Call>
    void Guard(Call&& call);

    ByteInput& input_;
    XmlHandler& handler_;
    XML_Parser parser_;
    std::exception_ptr failure_;
    std::string raw_open_tag_;  // "<name>" of the raw text element, or empty
    // Bytes fed to expat so far, and where in them the last event, a start of a raw text
    // element, began (-1 after any other event).
    int64_t fed_ = 0;
    int64_t raw_start_at_ = -1;
    // Inside a raw text element whose text goes to the handler directly.
    bool raw_open_ = false;
    // Bytes that went to the handler directly: in all, and on the line where it last
    // happened (raw text holds no line end), so that positions in messages stay those of
    // the file.
    int64_t skipped_ = 0;
    uint64_t skipped_line_ = 0;
    int64_t skipped_on_line_ = 0;
};

}  // namespace speclink
