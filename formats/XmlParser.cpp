#include "speclink/formats/XmlParser.h"

#include <cstring>
#include <new>

namespace speclink {
namespace {

std::string_view LocalName(const XML_Char* name) {
    const std::string_view full(name);
    const size_t colon = full.find(':');
    return colon == std::string_view::npos ? full : full.substr(colon + 1);
}

}  // namespace

std::optional<std::string_view> XmlAttributes::Get(std::string_view name) const {
    for (const XML_Char** pair = pairs_; *pair != nullptr; pair += 2) {
        if (LocalName(pair[0]) == name) return std::string_view(pair[1]);
    }
    return std::nullopt;
}

XmlParser::XmlParser(ByteInput& input, XmlHandler& handler)
    : input_(input), handler_(handler), parser_(XML_ParserCreate(nullptr)) {
    if (parser_ == nullptr) throw std::bad_alloc();
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(parser_, &XmlParser::OnStart, &XmlParser::OnEnd);
    XML_SetCharacterDataHandler(parser_, &XmlParser::OnText);
}

XmlParser::~XmlParser() { XML_ParserFree(parser_); }

template <typename Call>
void XmlParser::Guard(Call&& call) {
    // Exceptions must not unwind through expat's C frames: keep the first one and stop.
    if (failure_) return;
    try {
        call();
    } catch (...) {
        failure_ = std::current_exception();
        XML_StopParser(parser_, XML_FALSE);
    }
}

void XmlParser::OnStart(void* self, const XML_Char* name, const XML_Char** attributes) {
    auto* parser = static_cast<XmlParser*>(self);
    parser->Guard([&] { parser->handler_.StartElement(LocalName(name), XmlAttributes(attributes)); });
}

void XmlParser::OnEnd(void* self, const XML_Char* name) {
    auto* parser = static_cast<XmlParser*>(self);
    parser->Guard([&] { parser->handler_.EndElement(LocalName(name)); });
}

void XmlParser::OnText(void* self, const XML_Char* text, int length) {
    auto* parser = static_cast<XmlParser*>(self);
    parser->Guard([&] { parser->handler_.Text(std::string_view(text, static_cast<size_t>(length))); });
}

uint64_t XmlParser::line() const { return XML_GetCurrentLineNumber(parser_); }

FormatError XmlParser::ErrorHere(const std::string& message) const {
    return FormatError::AtLine(input_.path(), line(), message);
}

void XmlParser::Parse() {
    while (true) {
        const std::string_view block = input_.NextBlock();
        const bool last = block.empty();
        const XML_Status status = XML_Parse(parser_, block.data(), static_cast<int>(block.size()), last);
        if (failure_) std::rethrow_exception(failure_);
        if (status != XML_STATUS_OK) {
            const XML_Error code = XML_GetErrorCode(parser_);
            throw FormatError::AtLine(input_.path(), line(),
                                      std::string("malformed XML: ") + XML_ErrorString(code) + " at column " +
                                          std::to_string(XML_GetCurrentColumnNumber(parser_) + 1) + " (byte " +
                                          std::to_string(XML_GetCurrentByteIndex(parser_)) + ")");
        }
        if (last) return;
        // The parser keeps what it has not finished with in buffers of its own.
        input_.Release(block.data() + block.size());
    }
}

}  // namespace speclink
