#include "speclink/cli/ParameterCheck.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cmath>
#include <map>
#include <string_view>

#include "speclink/cli/CommandErrors.h"
#include "speclink/library/common/LowerCase.h"

namespace speclink::cli {

namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

std::string Number(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string Unit(Tolerance_Type unit) { return unit == TOLERANCE_DA || unit == TOLERANCE_PPM ? ToleranceNames[unit] : "?"; }

// What the library holds for a key once the whole file is read.
std::string UsedValue(std::string_view key, const Settings& s) {
    if (key == "data_type=") return std::to_string(s.data_type);
    if (key == "data_directory=") return "'" + s.data_directory + "'";
    if (key == "out_directory=") return "'" + s.out_directory + "'";
    if (key == "cluster_result=") return "'" + s.cluster_result + "'";
    if (key == "small_peaks_count_filter=") return std::to_string(s.small_peaks_count_filter);
    if (key == "peak_select_method=") return std::to_string(s.peak_select_method);
    if (key == "whole_top_peak_num=") return std::to_string(s.whole_top_peak_num);
    if (key == "part_top_peak_num=") return std::to_string(s.part_top_peak_num);
    if (key == "part_top_peak_per_num=") return std::to_string(s.part_top_peak_per_num);
    if (key == "similar_method=") return std::to_string(s.similar_method);
    if (key == "fragment_ion_tol=") return Number(s.fragment_ion_tol.value);
    if (key == "fragment_ion_tol_type=") return Unit(s.fragment_ion_tol.unit);
    if (key == "cluster_type=") return std::to_string(s.cluster_type);
    if (key == "precursor_ion_tol=") return Number(s.precursor_ion_tol.value);
    if (key == "precursor_ion_type=" || key == "precursor_ion_tol_type=") return Unit(s.precursor_ion_tol.unit);
    if (key == "consensus_type=") return std::to_string(s.consensus_type);
    if (key == "consensus_fragment_tol=") return Number(s.consensus_fragment_tol.value);
    if (key == "consensus_fragment_tol_type=") return Unit(s.consensus_fragment_tol.unit);
    if (key == "threshold=") return Number(s.threshold);
    if (key == "lower_mass=") return std::to_string(s.lower_mass);
    if (key == "upper_mass=") return std::to_string(s.upper_mass);
    if (key == "cluster_masses_tol=") return Number(s.cluster_masses_tol);
    return {};
}

// "threshold=" -> "threshold" with the library's value: "threshold stays 0.6".
std::string Stays(std::string_view key, const Settings& settings) {
    const std::string value = UsedValue(key, settings);
    if (value.empty()) return {};
    return "; " + std::string(key.substr(0, key.size() - 1)) + " is " + value;
}

const ParameterKey* KnownKey(std::string_view text) {
    for (const ParameterKey& key : kParameterKeys) {
        if (key.text == text) return &key;
    }
    return nullptr;
}

std::size_t EditDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// The known key a mistyped one most likely meant, or empty.
std::string_view Nearest(std::string_view key) {
    std::string_view best;
    std::size_t best_distance = 3;
    for (const ParameterKey& known : kParameterKeys) {
        const std::size_t distance = EditDistance(key, known.text);
        if (distance < best_distance) {
            best_distance = distance;
            best = known.text;
        }
    }
    return best;
}

bool WholeNumber(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

bool FiniteNumber(std::string_view text) {
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

std::string SectionName(int section) { return section >= 0 ? std::string(kSectionNames[section]) : "no section"; }

// The defaults a missing section leaves in force.
std::string MissingSection(int section, const Settings& s) {
    switch (section) {
        case 1: return "data_type 0 and no directories";
        case 2:
            return "peak selection " + std::to_string(s.peak_select_method) + " with " +
                   std::to_string(s.whole_top_peak_num) + ", " + std::to_string(s.part_top_peak_num) + " and " +
                   std::to_string(s.part_top_peak_per_num);
        case 3: return "similarity method " + std::to_string(s.similar_method) + " at " + FormatTolerance(s.fragment_ion_tol);
        case 4:
            return "precursor tolerance " + FormatTolerance(s.precursor_ion_tol) + ", threshold " + Number(s.threshold) +
                   ", consensus type " + std::to_string(s.consensus_type);
        case 5:
            return "lower_mass " + std::to_string(s.lower_mass) + " and upper_mass " + std::to_string(s.upper_mass) +
                   " Da (not the 6 and 200 of an engine built without a file), cluster_masses_tol " +
                   Number(s.cluster_masses_tol);
        default: return {};
    }
}

}  // namespace

std::vector<ParameterFinding> CheckParameterFile(const ParameterFileReading& reading) {
    const Settings& settings = reading.settings();
    std::vector<ParameterFinding> findings;
    const auto add = [&](int line, std::string message, std::string key = {}) {
        findings.push_back({line, std::move(message), std::move(key)});
    };

    std::vector<bool> present(kSectionNames.size(), false);
    // Per section and key, the lines that set it, to report the ones a later line overrides.
    std::map<std::string_view, std::vector<const ParameterFileReading::Line*>> setters;
    bool setting_lines = false;
    for (const ParameterFileReading::Line& line : reading.lines()) {
        if (line.continued) {
            add(line.number, "longer than 259 characters: the rest is read as a line of its own, '" + line.text + "'");
        }
        if (line.text.empty()) continue;
        if (line.header >= 0) {
            present[line.header] = true;
            if (line.text != kSectionNames[line.header]) {
                add(line.number, "read as the section header " + SectionName(line.header) + "; the rest of the line is ignored");
            }
            continue;
        }
        setting_lines = true;
        const std::string_view text = line.text;
        const std::size_t equals = text.find('=');
        const std::string_view written_key = Trim(text.substr(0, equals));
        const std::string key_with_equals = std::string(written_key) + "=";
        if (text.find("cluster_type=") != std::string_view::npos && line.section != 4) {
            add(line.number, "cluster_type in " + SectionName(line.section) +
                                 ": the library still builds its engine from it (the last such line decides, type " +
                                 std::to_string(reading.engine_type()) + ") but does not store it");
        }
        if (line.key == nullptr) {
            if (line.section < 0) {
                add(line.number, "before any section header: ignored");
            } else if (equals == std::string_view::npos) {
                add(line.number, "not a key=value line: ignored");
            } else if (key_with_equals == "precursor_ion_tol_type=") {
                const std::string said(Trim(ValueOfLine(text)));
                if (said != LowerCase(Unit(settings.precursor_ion_tol.unit))) {
                    add(line.number, "the precursor unit under precursor_ion_tol_type=, which the library does not "
                                     "read (its key is precursor_ion_type=); the precursor unit is " +
                                         Unit(settings.precursor_ion_tol.unit));
                }
            } else if (const ParameterKey* known = KnownKey(key_with_equals)) {
                if (text.substr(0, equals) != written_key) {
                    add(line.number, "blanks before '=': the library does not read this line" +
                                         Stays(known->text, settings));
                } else if (known->section != line.section) {
                    add(line.number, std::string(known->text.substr(0, known->text.size() - 1)) + " belongs in " +
                                         SectionName(known->section) + ", not " + SectionName(line.section) +
                                         ": ignored" + Stays(known->text, settings));
                }
            } else {
                const std::string_view nearest = Nearest(key_with_equals);
                add(line.number, "unknown key '" + std::string(written_key) + "'" +
                                     (nearest.empty() ? std::string() : " (did you mean " + std::string(nearest) + "?)") +
                                     ": ignored" + Stays(nearest, settings));
            }
            continue;
        }

        const ParameterKey& key = *line.key;
        if (key_with_equals != key.text) {
            add(line.number, "read as " + std::string(key.text) + " (the line contains it)" + Stays(key.text, settings));
        }
        setters[key.text].push_back(&line);
        const std::string_view value = Trim(ValueOfLine(text));
        const std::string name(key.text.substr(0, key.text.size() - 1));
        switch (key.value) {
            case KeyValue::kInteger:
                if (!WholeNumber(value)) add(line.number, "'" + std::string(value) + "' is not a whole number" + Stays(key.text, settings));
                break;
            case KeyValue::kFloat:
                if (!FiniteNumber(value)) add(line.number, "'" + std::string(value) + "' is not a number" + Stays(key.text, settings));
                break;
            case KeyValue::kUnit:
                if (value != "da" && value != "ppm") {
                    add(line.number, "'" + std::string(value) + "' is not a unit (Da or ppm)" + Stays(key.text, settings));
                }
                break;
            case KeyValue::kText: {
                const std::string raw = line.raw.substr(0, line.raw.find('#'));
                const std::string_view raw_value = Trim(ValueOfLine(raw));
                if (raw_value != value) {
                    add(line.number, "the library stores " + name + " in lower case: '" + std::string(value) + "'", name);
                }
                break;
            }
            case KeyValue::kIgnored:
                break;
        }
    }

    for (const auto& [key, lines] : setters) {
        for (std::size_t k = 0; k + 1 < lines.size(); ++k) {
            if (ValueOfLine(lines[k]->text) == ValueOfLine(lines.back()->text)) continue;
            add(lines[k]->number, std::string(key.substr(0, key.size() - 1)) + " is given again on line " +
                                      std::to_string(lines.back()->number) + ", whose value the library takes" +
                                      Stays(key, settings));
        }
    }
    // Sections without a line leave their defaults; [modification] is special: a file with
    // any setting line and no lower_mass / upper_mass sets both to 0.
    const bool window_given = setters.contains("lower_mass=") && setters.contains("upper_mass=");
    for (std::size_t section = 1; section < kSectionNames.size(); ++section) {
        const bool window_zero = section == 5 && setting_lines && !window_given;
        if (present[section] && !window_zero) continue;
        if (section == 5 && !setting_lines) continue;
        const std::string what = present[section] ? "lacks lower_mass or upper_mass" : "is missing";
        add(0, "section " + SectionName(static_cast<int>(section)) + " " + what + ": the library uses " +
                   MissingSection(static_cast<int>(section), settings));
    }
    std::stable_sort(findings.begin(), findings.end(),
                     [](const ParameterFinding& a, const ParameterFinding& b) { return a.line < b.line; });
    return findings;
}

Settings ReadParameterFile(const std::string& path, bool lenient, const std::vector<std::string>& replaced) {
    const std::optional<ParameterFileReading> reading = ParameterFileReading::Read(path);
    if (!reading) throw InputError(path + ": cannot read the parameter file");
    const int32_t type = reading->engine_type();
    if (type != CLUSTER_HIERARCHICAL && type != CLUSTER_MODIFICATION) {
        throw InputError(path + ": cluster_type " + std::to_string(type) +
                         " is neither 0 (clustering) nor 1 (modification search)");
    }
    std::vector<ParameterFinding> findings = CheckParameterFile(*reading);
    std::erase_if(findings, [&](const ParameterFinding& finding) {
        return !finding.key.empty() && std::find(replaced.begin(), replaced.end(), finding.key) != replaced.end();
    });
    if (findings.empty()) return reading->settings();
    std::fputs(FormatFindings(path, findings).c_str(), stderr);
    if (!lenient) {
        throw UsageError(path + " is read otherwise than it says (" + std::to_string(findings.size()) +
                         " findings above); correct it, or give --lenient to run with what the library reads");
    }
    return reading->settings();
}

std::string FormatFindings(const std::string& path, const std::vector<ParameterFinding>& findings) {
    std::string text;
    for (const ParameterFinding& finding : findings) {
        text += path + ":" + (finding.line > 0 ? std::to_string(finding.line) + ":" : std::string()) + " " +
                finding.message + "\n";
    }
    return text;
}

}  // namespace speclink::cli
