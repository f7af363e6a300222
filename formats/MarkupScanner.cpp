#include "speclink/formats/MarkupScanner.h"

#include <array>
#include <cstddef>
#include <cstring>

#include "speclink/formats/TextFields.h"

namespace speclink {
namespace {

// How far the scan goes between telling what it has passed.
constexpr std::ptrdiff_t kPassedStep = 1 << 22;

constexpr bool NameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':'; }

constexpr std::array<bool, 256> MakeNameChars() {
    std::array<bool, 256> chars{};
    for (int c = 0; c < 256; ++c) {
        const bool digit_dot_dash = (c >= '0' && c <= '9') || c == '.' || c == '-';
        chars[static_cast<std::size_t>(c)] = NameStart(static_cast<char>(c)) || digit_dot_dash;
    }
    return chars;
}

// Names are most of the markup: a table rather than comparisons.
constexpr std::array<bool, 256> kNameChars = MakeNameChars();

bool NameChar(char c) { return kNameChars[static_cast<unsigned char>(c)]; }

bool Space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

bool MarkupScanner::Run() {
    p_ = text_.data();
    end_ = p_ + text_.size();
    passed_at_ = p_;
    if (!Declaration()) return false;
    for (;;) {
        if (p_ - passed_at_ >= kPassedStep) {
            passed_(p_);
            passed_at_ = p_;
        }
        if (!Text(!open_.empty())) return false;
        if (p_ == end_) break;
        if (!Markup()) return false;
    }
    return root_seen_ && open_.empty();
}

const char* MarkupScanner::ScanContent(const char* begin, const char* stop) {
    p_ = begin;
    end_ = text_.data() + text_.size();
    in_content_ = true;
    open_.clear();
    for (;;) {
        if (!Text(true)) return nullptr;
        if (open_.empty()) {
            if (p_ >= stop) return p_ == stop ? p_ : nullptr;
            if (end_ - p_ >= 2 && p_[1] == '/') return p_;
        }
        if (!Markup()) return nullptr;
    }
}

bool MarkupScanner::Markup() {
    if (end_ - p_ < 2) return false;
    const char next = p_[1];
    if (next == '/') return EndTag();
    if (next == '!') return Comment();
    // Not a processing instruction, nor a second root.
    return NameStart(next) && (in_content_ || !open_.empty() || !root_seen_) && StartTag();
}

bool MarkupScanner::Declaration() {
    if (!text_.starts_with("<?")) return true;
    if (!text_.starts_with("<?xml")) return false;
    p_ += 5;
    // version="1.0", then encoding="UTF-8" and standalone="yes" or "no" if given, each after
    // white space: anything else is left to expat.
    static constexpr std::string_view kNames[] = {"version", "encoding", "standalone"};
    std::size_t next = 0;
    for (;;) {
        const char* const before = p_;
        while (p_ != end_ && Space(*p_)) ++p_;
        const std::string_view rest(p_, static_cast<std::size_t>(end_ - p_));
        if (rest.starts_with("?>")) {
            p_ += 2;
            return next > 0;
        }
        if (p_ == before) return false;
        const std::string_view name = Name();
        while (next < std::size(kNames) && kNames[next] != name) {
            if (next == 0) return false;  // the version comes first
            ++next;
        }
        if (next == std::size(kNames) || p_ == end_ || *p_ != '=' || end_ - p_ < 2) return false;
        const char quote = p_[1];
        if (quote != '"' && quote != '\'') return false;
        p_ += 2;
        const char* const value_start = p_;
        while (p_ != end_ && *p_ != quote) ++p_;
        if (p_ == end_) return false;
        const std::string_view value(value_start, static_cast<std::size_t>(p_ - value_start));
        ++p_;
        const bool known = (next == 0 && value == "1.0") || (next == 1 && EqualsIgnoreCase(value, "UTF-8")) ||
                           (next == 2 && (value == "yes" || value == "no"));
        if (!known) return false;
        ++next;
    }
}

bool MarkupScanner::Comment() {
    const std::string_view rest(p_, static_cast<std::size_t>(end_ - p_));
    if (!rest.starts_with("<!--")) return false;  // DOCTYPE, CDATA
    const std::size_t dashes = rest.find("--", 4);
    if (dashes == std::string_view::npos || dashes + 2 >= rest.size() || rest[dashes + 2] != '>') return false;
    for (const char c : rest.substr(4, dashes - 4)) {
        if (!(c >= 0x20 && c < 0x7F) && !Space(c)) return false;
    }
    p_ += dashes + 3;
    return true;
}

std::string_view MarkupScanner::Name() {
    const char* const start = p_;
    while (p_ != end_ && NameChar(*p_)) ++p_;
    return std::string_view(start, static_cast<std::size_t>(p_ - start));
}

bool MarkupScanner::StartTag() {
    ++p_;
    const std::string_view name = Name();
    names_.clear();
    values_.clear();
    decoded_.clear();
    bool empty = false;
    for (;;) {
        const char* const before = p_;
        while (p_ != end_ && Space(*p_)) ++p_;
        if (p_ == end_) return false;
        if (*p_ == '>') {
            ++p_;
            break;
        }
        if (*p_ == '/') {
            if (end_ - p_ < 2 || p_[1] != '>') return false;
            p_ += 2;
            empty = true;
            break;
        }
        // Attributes are set apart by white space.
        if (p_ == before || !NameStart(*p_)) return false;
        const std::string_view attribute = Name();
        while (p_ != end_ && Space(*p_)) ++p_;
        if (p_ == end_ || *p_ != '=') return false;
        ++p_;
        while (p_ != end_ && Space(*p_)) ++p_;
        if (p_ == end_ || (*p_ != '"' && *p_ != '\'')) return false;
        const char quote = *p_++;
        for (const std::string_view earlier : names_) {
            // The first bytes tell most names apart without a call.
            if (earlier.size() == attribute.size() && earlier[0] == attribute[0] && earlier == attribute) {
                return false;  // a duplicate
            }
        }
        names_.push_back(attribute);
        if (!Value(quote)) return false;
    }
    pairs_.clear();
    for (std::size_t k = 0; k < names_.size(); ++k) {
        pairs_.push_back(XmlLocalName(names_[k]));
        pairs_.push_back(values_[k]);
    }
    root_seen_ = true;
    open_.push_back(name);
    const std::string_view local_name = XmlLocalName(name);
    handler_.StartElement(local_name, XmlAttributes(pairs_));
    if (empty) {
        open_.pop_back();
        handler_.EndElement(local_name);
    } else if (content_reader_.read && local_name == content_reader_.name) {
        p_ = content_reader_.read(p_);
    }
    return true;
}

bool MarkupScanner::Value(char quote) {
    // Most values are plain text: taken as they stand in the document.
    if (const auto* close = static_cast<const char*>(std::memchr(p_, quote, static_cast<std::size_t>(end_ - p_)))) {
        if (XmlVerbatimEnd(p_, close) == close) {
            values_.push_back(std::string_view(p_, static_cast<std::size_t>(close - p_)));
            p_ = close + 1;
            return true;
        }
    }
    std::string& decoded = decoded_.emplace_back();
    static constexpr std::string_view kEntities[][2] = {
        {"&amp;", "&"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}};
    while (p_ != end_ && *p_ != quote) {
        const char c = *p_;
        if (c == '&') {
            const std::string_view rest(p_, static_cast<std::size_t>(end_ - p_));
            bool known = false;
            for (const auto& [reference, character] : kEntities) {
                if (rest.starts_with(reference)) {
                    decoded.append(character);
                    p_ += reference.size();
                    known = true;
                    break;
                }
            }
            if (!known) return false;
            continue;
        }
        if (c == '<' || c == 0x7F || (c < 0x20 && !Space(c)) || static_cast<unsigned char>(c) >= 0x80) return false;
        // Line ends count as one, and every white space character as a space.
        if (c == '\r' && end_ - p_ > 1 && p_[1] == '\n') ++p_;
        decoded.push_back(Space(c) ? ' ' : c);
        ++p_;
    }
    if (p_ == end_) return false;
    ++p_;
    values_.push_back(decoded);
    return true;
}

bool MarkupScanner::EndTag() {
    p_ += 2;
    const std::string_view name = Name();
    while (p_ != end_ && Space(*p_)) ++p_;
    if (p_ == end_ || *p_ != '>' || open_.empty() || open_.back() != name) return false;
    ++p_;
    open_.pop_back();
    handler_.EndElement(XmlLocalName(name));
    return true;
}

bool MarkupScanner::Text(bool inside) {
    const char* start = p_;
    while (p_ != end_) {
        p_ = XmlVerbatimEnd(p_, end_);
        if (p_ == end_ || *p_ == '<') break;
        const char c = *p_;
        if (c == ']') {
            if (end_ - p_ > 2 && p_[1] == ']' && p_[2] == '>') return false;
        } else if (c == '\r' && end_ - p_ > 1 && p_[1] == '\n') {
            // expat hands a CRLF line end on as "\n": the text up to the '\r' goes on alone.
            if (!HandOnText(start, p_, inside)) return false;
            start = p_ + 1;
        } else if (c != '\t' && c != '\n') {
            // A reference, a control byte, a byte beyond ASCII, or a '\r' alone, which expat
            // would hand on as a line end.
            return false;
        }
        ++p_;
    }
    return HandOnText(start, p_, inside);
}

bool MarkupScanner::HandOnText(const char* from, const char* to, bool inside) {
    const std::string_view text(from, static_cast<std::size_t>(to - from));
    if (text.empty()) return true;
    if (!inside) {
        for (const char c : text) {
            if (!Space(c)) return false;
        }
        return true;
    }
    handler_.Text(text);
    return true;
}

}  // namespace speclink
