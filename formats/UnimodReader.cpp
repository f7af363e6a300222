#include "speclink/formats/UnimodReader.h"

#include <optional>

#include "speclink/formats/ByteInput.h"
#include "speclink/formats/TextFields.h"
#include "speclink/formats/XmlParser.h"

namespace speclink {

namespace {

class UnimodHandler : public XmlHandler {
public:
    explicit UnimodHandler(Unimod& unimod) : unimod_(unimod) {}

    void Attach(const XmlParser& parser) { parser_ = &parser; }

    void StartElement(std::string_view name, const XmlAttributes& attributes) override {
        if (name == "mod") {
            const std::optional<std::string_view> title = attributes.Get("title");
            if (!title || title->empty()) throw parser_->ErrorHere("a <mod> without a title");
            modification_.emplace();
            modification_->name = std::string(*title);
            modification_->record = ParseInt(attributes.Get("record_id").value_or("0")).value_or(0);
        } else if (name == "specificity" && modification_) {
            if (attributes.Get("classification") == std::optional<std::string_view>("AA substitution")) {
                modification_->substitution = true;
            }
        } else if (name == "delta" && modification_) {
            modification_->mass = Mass(attributes, "mod " + modification_->name);
            has_mass_ = true;
        } else if (name == "aa") {
            const std::string_view title = attributes.Get("title").value_or("");
            const double mass = Mass(attributes, "aa " + std::string(title));
            if (title.size() == 1 && title != "-" && mass > 0.0) unimod_.residues.push_back({title.front(), mass});
        }
    }

    void EndElement(std::string_view name) override {
        if (name != "mod" || !modification_) return;
        if (!has_mass_) throw parser_->ErrorHere("mod " + modification_->name + " has no <delta>");
        unimod_.modifications.push_back(std::move(*modification_));
        modification_.reset();
        has_mass_ = false;
    }

    void Text(std::string_view) override {}

private:
    double Mass(const XmlAttributes& attributes, const std::string& what) const {
        const std::optional<double> mass = ParseDouble(Trim(attributes.Get("mono_mass").value_or("")));
        if (!mass) throw parser_->ErrorHere(what + ": expected a numeric mono_mass");
        return *mass;
    }

    Unimod& unimod_;
    const XmlParser* parser_ = nullptr;
    std::optional<KnownModification> modification_;
    bool has_mass_ = false;
};

}  // namespace

Unimod ReadUnimod(const std::string& path) {
    Unimod unimod;
    ByteInput input(path, nullptr);
    UnimodHandler handler(unimod);
    XmlParser parser(input, handler);
    handler.Attach(parser);
    parser.Parse();
    return unimod;
}

}  // namespace speclink
