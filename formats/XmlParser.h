#pragma once

#include <expat.h>

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>

#include "speclink/formats/ByteInput.h"
#include "speclink/formats/FormatError.h"

namespace speclink {

/// The attributes of an element, as expat hands them over.
class XmlAttributes {
public:
    explicit XmlAttributes(const XML_Char** pairs) : pairs_(pairs) {}
    std::optional<std::string_view> Get(std::string_view name) const;

private:
    const XML_Char** pairs_;
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
class XmlParser {
public:
    XmlParser(ByteInput& input, XmlHandler& handler);
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
    static void OnStart(void* self, const XML_Char* name, const XML_Char** attributes);
    static void OnEnd(void* self, const XML_Char* name);
    static void OnText(void* self, const XML_Char* text, int length);
    template <typename Call>
    void Guard(Call&& call);

    ByteInput& input_;
    XmlHandler& handler_;
    XML_Parser parser_;
    std::exception_ptr failure_;
};

}  // namespace speclink
