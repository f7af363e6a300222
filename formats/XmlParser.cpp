#include "speclink/formats/XmlParser.h"

#include <bit>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace speclink {
namespace {

// Whether expat hands `c` on in text as it stands (see XmlVerbatimEnd).
bool Verbatim(char c) { return c >= 0x20 && c < 0x7F && c != '<' && c != '&' && c != ']'; }

#if defined(__x86_64__)
// The long runs (base64 arrays) 32 bytes a step on processors with AVX2, asked for at run
// time: the build itself assumes only SSE2. Gives where a byte that is not verbatim may lie,
// within the last 32 bytes or sooner.
__attribute__((target("avx2"))) const char* SkipVerbatimWide(const char* p, const char* end) {
    for (; end - p >= 32; p += 32) {
        const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i control = _mm256_or_si256(_mm256_cmpgt_epi8(_mm256_set1_epi8(0x20), bytes),
                                                _mm256_cmpeq_epi8(bytes, _mm256_set1_epi8(0x7F)));
        const __m256i markup = _mm256_or_si256(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('<')),
                                               _mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('&')));
        const __m256i any =
            _mm256_or_si256(_mm256_or_si256(control, markup), _mm256_cmpeq_epi8(bytes, _mm256_set1_epi8(']')));
        if (_mm256_movemask_epi8(any) != 0) return p;
    }
    return p;
}

const bool kWide = __builtin_cpu_supports("avx2");
#endif

}  // namespace

std::string_view XmlLocalName(std::string_view name) {
    // Names are short: a loop rather than a call.
    for (size_t k = 0; k < name.size(); ++k) {
        if (name[k] == ':') return name.substr(k + 1);
    }
    return name;
}

// 16 bytes a step where SSE2 is at hand.
const char* XmlVerbatimEnd(const char* p, const char* end) {
#if defined(__SSE2__)
    const auto others = [](const char* at) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        // Signed bytes: below 0x20 are the control bytes and every byte above 0x7F.
        const __m128i control = _mm_or_si128(_mm_cmplt_epi8(bytes, _mm_set1_epi8(0x20)),
                                             _mm_cmpeq_epi8(bytes, _mm_set1_epi8(0x7F)));
        const __m128i markup = _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('<')),
                                            _mm_cmpeq_epi8(bytes, _mm_set1_epi8('&')));
        return _mm_or_si128(_mm_or_si128(control, markup), _mm_cmpeq_epi8(bytes, _mm_set1_epi8(']')));
    };
#if defined(__x86_64__)
    if (kWide && end - p >= 64) p = SkipVerbatimWide(p, end);
#endif
    // Base64 arrays run for kilobytes: 64 bytes a step until one holds a stop.
    for (; end - p >= 64; p += 64) {
        const __m128i any =
            _mm_or_si128(_mm_or_si128(others(p), others(p + 16)), _mm_or_si128(others(p + 32), others(p + 48)));
        if (_mm_movemask_epi8(any) != 0) break;
    }
    for (; end - p >= 16; p += 16) {
        const int hits = _mm_movemask_epi8(others(p));
        if (hits != 0) return p + std::countr_zero(static_cast<unsigned>(hits));
    }
#endif
    while (p != end && Verbatim(*p)) ++p;
    return p;
}

XmlParser::XmlParser(ByteInput& input, XmlHandler& handler, std::string_view raw_text_element)
    : input_(input),
      handler_(handler),
      parser_(XML_ParserCreate(nullptr)),
      raw_open_tag_(raw_text_element.empty() ? std::string() : "<" + std::string(raw_text_element) + ">") {
    if (parser_ == nullptr) throw std::bad_alloc();
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(parser_, &XmlParser::OnStart, &XmlParser::OnEnd);
    XML_SetCharacterDataHandler(parser_, &XmlParser::OnText);
}

XmlParser::~XmlParser() { XML_ParserFree(parser_); }

std::optional<std::string_view> XmlAttributes::Get(std::string_view name) const {
    if (pairs_ == nullptr) {
        for (std::size_t k = 0; k + 1 < views_.size(); k += 2) {
            // The first bytes tell most names apart without a call.
            const std::string_view attribute = views_[k];
            if (attribute.size() == name.size() && !name.empty() && attribute[0] == name[0] && attribute == name) {
                return views_[k + 1];
            }
        }
        return std::nullopt;
    }
    for (const XML_Char** pair = pairs_; *pair != nullptr; pair += 2) {
        if (XmlLocalName(pair[0]) == name) return std::string_view(pair[1]);
    }
    return std::nullopt;
}

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
    const std::string_view tag = parser->raw_open_tag_;
    const bool raw = !tag.empty() && tag.substr(1, tag.size() - 2) == name;
    parser->raw_start_at_ = raw ? XML_GetCurrentByteIndex(parser->parser_) : -1;
    parser->Guard([&] { parser->handler_.StartElement(XmlLocalName(name), XmlAttributes(attributes)); });
}

void XmlParser::OnEnd(void* self, const XML_Char* name) {
    auto* parser = static_cast<XmlParser*>(self);
    parser->raw_start_at_ = -1;
    parser->Guard([&] { parser->handler_.EndElement(XmlLocalName(name)); });
}

void XmlParser::OnText(void* self, const XML_Char* text, int length) {
    auto* parser = static_cast<XmlParser*>(self);
    parser->raw_start_at_ = -1;
    parser->Guard([&] { parser->handler_.Text(std::string_view(text, static_cast<size_t>(length))); });
}

uint64_t XmlParser::line() const { return XML_GetCurrentLineNumber(parser_); }

FormatError XmlParser::ErrorHere(const std::string& message) const {
    return FormatError::AtLine(input_.path(), line(), message);
}

void XmlParser::Parse() {
    while (true) {
        const std::string_view block = input_.NextBlock();
        if (block.empty()) {
            FeedExpat(block.data(), 0, true);
            return;
        }
        Feed(block.data(), block.data() + block.size());
        // The parser keeps what it has not finished with in buffers of its own.
        input_.Release(block.data() + block.size());
    }
}

void XmlParser::Feed(const char* begin, const char* end) {
    const std::string_view open = raw_open_tag_;
    const char* p = begin;
    while (p != end) {
        if (raw_open_) {
            const char* const text_end = XmlVerbatimEnd(p, end);
            if (text_end != p) {
                Guard([&] { handler_.Text(std::string_view(p, static_cast<size_t>(text_end - p))); });
                if (failure_) std::rethrow_exception(failure_);
                const uint64_t line = XML_GetCurrentLineNumber(parser_);
                if (line != skipped_line_) skipped_on_line_ = 0;
                skipped_line_ = line;
                skipped_on_line_ += text_end - p;
                skipped_ += text_end - p;
                p = text_end;
            }
            // Anything else, the end tag included, is expat's.
            if (p != end) raw_open_ = false;
            continue;
        }
        const std::string_view rest(p, static_cast<size_t>(end - p));
        const size_t at = open.empty() ? std::string_view::npos : rest.find(open);
        if (at == std::string_view::npos) {
            FeedExpat(p, rest.size(), false);
            return;
        }
        // Up to the end of the tag: expat reports the start of the element before it returns,
        // unless the bytes lie in a comment or such, where no element starts.
        const int64_t tag_at = fed_ + static_cast<int64_t>(at);
        FeedExpat(p, at + open.size(), false);
        raw_open_ = raw_start_at_ == tag_at;
        p += at + open.size();
    }
}

void XmlParser::FeedExpat(const char* data, size_t size, bool last) {
    const XML_Status status = XML_Parse(parser_, data, static_cast<int>(size), last);
    fed_ += static_cast<int64_t>(size);
    if (failure_) std::rethrow_exception(failure_);
    if (status != XML_STATUS_OK) {
        const XML_Error code = XML_GetErrorCode(parser_);
        const uint64_t error_line = line();
        const int64_t column = static_cast<int64_t>(XML_GetCurrentColumnNumber(parser_)) +
                               (error_line == skipped_line_ ? skipped_on_line_ : 0);
        throw FormatError::AtLine(input_.path(), error_line,
                                  std::string("malformed XML: ") + XML_ErrorString(code) + " at column " +
                                      std::to_string(column + 1) + " (byte " +
                                      std::to_string(XML_GetCurrentByteIndex(parser_) + skipped_) + ")");
    }
}

}  // namespace speclink
