#pragma once

#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "speclink/formats/XmlParser.h"

namespace speclink {

/// Hands a whole XML document in memory to an XmlHandler, as XmlParser does, but only when the
/// document keeps to the plain subset that spectrum files are written in, at several times
/// expat's speed:
///
/// - ASCII throughout, tabs and line ends the only control bytes; an optional XML
///   declaration of UTF-8 (or none), comments, no DOCTYPE, CDATA or processing instruction;
/// - names of ASCII letters, digits and "_:.-";
/// - attribute values in either quote, with the five predefined entities, their tabs and
///   line ends read as spaces; in text, no reference, and '\r' only before '\n'.
///
/// Run gives false as soon as the document leaves this subset, or is not well-formed: the
/// events handed on up to there are those expat hands on, and the caller reads the document
/// with XmlParser for the rest (and for the error, if any). An exception from the handler
/// leaves Run.
///
/// The content of one kind of element may be read elsewhere, say in pieces on several threads
/// (see ContentReader and ScanContent), the scanner going on where that reading ends.
class MarkupScanner {
public:
    /// Reads the content of the elements named `name` (a local name) in the scanner's stead:
    /// read(begin) is called when the start tag of such an element, ending at `begin`, has
    /// been handed on, and gives where the scanner goes on inside the element, between two of
    /// its children or at its end tag. What lies between `begin` and there must have been
    /// handed on as the scanner would have.
    struct ContentReader {
        std::string_view name;
        std::function<const char*(const char*)> read;
    };

    /// `passed(p)` is told, every few MiB, that the text before p is not read again.
    MarkupScanner(std::string_view text, XmlHandler& handler, std::function<void(const char*)> passed,
                  ContentReader content_reader = {})
        : text_(text), handler_(handler), passed_(std::move(passed)), content_reader_(std::move(content_reader)) {}

    bool Run();

    /// Reads part of the content of an element of the document whose start tag lies before
    /// `begin`: text, comments and whole elements, up to `stop`, between two children, or up
    /// to the element's end tag, whichever comes first. Gives where it stopped: `stop`, or
    /// the '<' of the end tag; nullptr where the text leaves the subset, is not well-formed,
    /// or reaches past `stop` inside a child or a comment.
    const char* ScanContent(const char* begin, const char* stop);

private:
    // Markup at p_: an end tag, a comment or a start tag, each handed on.
    bool Markup();
    // Each gives false where the document leaves the subset or is malformed.
    bool Declaration();
    bool Comment();
    bool StartTag();
    bool EndTag();
    bool Text(bool inside);
    // Text from `from` to `to`, handed on inside the root, else only white space.
    bool HandOnText(const char* from, const char* to, bool inside);
    // The name at p_, moved past.
    std::string_view Name();
    // The attribute value at p_ (after its opening quote), onto values_.
    bool Value(char quote);

    std::string_view text_;
    const char* p_ = nullptr;
    const char* end_ = nullptr;
    XmlHandler& handler_;
    std::function<void(const char*)> passed_;
    ContentReader content_reader_;
    const char* passed_at_ = nullptr;
    std::vector<std::string_view> open_;  // the names of the open elements
    bool root_seen_ = false;
    bool in_content_ = false;  // reading part of an element's content (ScanContent)
    // An element's attributes: names and plain values as they stand in the text, values with
    // references or white space decoded into decoded_ (whose strings do not move), and both
    // as views, name, value, ...
    std::vector<std::string_view> names_;
    std::vector<std::string_view> values_;
    std::deque<std::string> decoded_;
    std::vector<std::string_view> pairs_;
};

}  // namespace speclink
