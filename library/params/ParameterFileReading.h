#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "speclink/library/params/Settings.h"

namespace speclink {

/// The six section headers of a parameter file, in the order ReadParaFile knows them.
inline constexpr std::array<std::string_view, 6> kSectionNames = {
    "[clustername]", "[file]", "[preprocessing]", "[similarity]", "[cluster]", "[modification]"};

/// How ReadParaFile converts the value of a key.
enum class KeyValue {
    kIgnored,  ///< recognised and left alone
    kInteger,  ///< as atoi: leading blanks skipped, stops at the first non-digit, 0 without digits
    kFloat,    ///< as atof
    kText,     ///< the value as it stands
    kUnit,     ///< "Da" or "ppm": each name that contains the value sets it, the last one wins
};

/// A key ReadParaFile recognises.
struct ParameterKey {
    int section;            ///< index into kSectionNames
    std::string_view text;  ///< with its "=", as a line must contain it
    KeyValue value;
};

/// The keys of every section, each section's keys in the order they are tested: the first
/// one a line contains applies.
extern const std::array<ParameterKey, 25> kParameterKeys;

/// A parameter file as ReadParaFile understands it: its lines as it stores them, which
/// section and key each one falls under, and the settings they give.
class ParameterFileReading {
public:
    struct Line {
        int number;        ///< 1-based line of the file; the pieces of a long line share it
        bool continued;    ///< a piece after the first of a line longer than 259 characters
        std::string raw;   ///< the piece as the file holds it, without its line end
        std::string text;  ///< lower-cased, cut at '#', trailing blanks removed
        int header;        ///< the section this line opens, or -1
        int section;       ///< the section in force for it (-1 before the first header)
        const ParameterKey* key;  ///< the key that applies to it, or null
    };

    /// Reads `path` with the given section headers; empty when it cannot be opened.
    static std::optional<ParameterFileReading> Read(const std::string& path,
                                                    const std::array<std::string_view, 6>& section_names = kSectionNames);

    const std::vector<Line>& lines() const { return lines_; }
    /// The cluster type that chooses the engine: the value of the file's last line that
    /// contains "cluster_type=", in whatever section; 0 without one.
    int32_t engine_type() const { return engine_type_; }
    /// The settings the objects are built with. `cluster_type` is the number the engine
    /// stores: the engine type unless a "cluster_type=" key of [cluster] sets another.
    const Settings& settings() const { return settings_; }

private:
    std::vector<Line> lines_;
    int32_t engine_type_ = CLUSTER_HIERARCHICAL;
    Settings settings_;
};

/// The text after the first '=' of a stored line, or the whole line when it has none.
std::string_view ValueOfLine(std::string_view line);

}  // namespace speclink
