#include "speclink/cli/OffsetReport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>

#include "speclink/cli/CommandErrors.h"

namespace speclink::cli {

namespace fs = std::filesystem;

namespace {

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string Joined(const std::vector<std::string>& names) {
    if (names.empty()) return "-";
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : "; ") + name;
    return text;
}

std::string Escaped(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        switch (c) {
            case '&': escaped += "&amp;"; break;
            case '<': escaped += "&lt;"; break;
            case '>': escaped += "&gt;"; break;
            case '"': escaped += "&quot;"; break;
            default: escaped += c;
        }
    }
    return escaped;
}

void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    if (!out) throw OutputError("cannot write " + path.string());
}

}  // namespace

std::string NamedOffset::Name() const {
    if (!annotation.modifications.empty()) return annotation.modifications.front();
    if (!annotation.combinations.empty()) return annotation.combinations.front();
    if (!annotation.substitutions.empty()) return annotation.substitutions.front();
    if (!annotation.residues.empty()) return std::string("residue ") + annotation.residues.front();
    return {};
}

void WriteOffsetTable(const fs::path& path, const std::vector<NamedOffset>& offsets) {
    std::string text = "rank\tapex\tlower\tupper\tpairs\tspectra\tmedian_score\tunimod\tunimod_pairs\tsubstitution\t"
                       "amino_acid\n";
    for (std::size_t rank = 0; rank < offsets.size(); ++rank) {
        const MassOffset& offset = offsets[rank].offset;
        const OffsetAnnotation& annotation = offsets[rank].annotation;
        std::string residues;
        for (const char residue : annotation.residues) residues += (residues.empty() ? "" : "; ") + std::string(1, residue);
        text += std::to_string(rank + 1) + "\t" + Fixed(offset.apex, 4) + "\t" + Fixed(offset.lower, 4) + "\t" +
                Fixed(offset.upper, 4) + "\t" + std::to_string(offset.pairs) + "\t" + std::to_string(offset.spectra) +
                "\t" + Fixed(offset.median_score, 4) + "\t" + Joined(annotation.modifications) + "\t" +
                Joined(annotation.combinations) + "\t" + Joined(annotation.substitutions) + "\t" +
                (residues.empty() ? "-" : residues) + "\n";
    }
    WriteText(path, text);
}

std::string OffsetPlot(const std::vector<NamedOffset>& offsets, double lowest, double highest, std::size_t labelled) {
    constexpr double kWidth = 900.0;
    constexpr double kHeight = 420.0;
    constexpr double kLeft = 60.0;
    constexpr double kRight = 20.0;
    constexpr double kTop = 90.0;
    constexpr double kBottom = 50.0;
    const double plot_width = kWidth - kLeft - kRight;
    const double plot_height = kHeight - kTop - kBottom;
    std::size_t most = 1;
    for (const NamedOffset& named : offsets) most = std::max(most, named.offset.pairs);
    if (!(highest > lowest)) highest = lowest + 1.0;
    const auto x = [&](double mass) { return kLeft + (mass - lowest) / (highest - lowest) * plot_width; };
    const auto y = [&](double pairs) { return kTop + plot_height - pairs / static_cast<double>(most) * plot_height; };

    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Fixed(kWidth, 0) + "\" height=\"" +
                      Fixed(kHeight, 0) + "\" viewBox=\"0 0 " + Fixed(kWidth, 0) + " " + Fixed(kHeight, 0) +
                      "\" font-family=\"sans-serif\" font-size=\"11\">\n"
                      "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    // Axes, with ticks every 10, 20 or 50 Da.
    svg += "<line x1=\"" + Fixed(kLeft, 1) + "\" y1=\"" + Fixed(kTop + plot_height, 1) + "\" x2=\"" +
           Fixed(kLeft + plot_width, 1) + "\" y2=\"" + Fixed(kTop + plot_height, 1) + "\" stroke=\"black\"/>\n";
    svg += "<line x1=\"" + Fixed(kLeft, 1) + "\" y1=\"" + Fixed(kTop, 1) + "\" x2=\"" + Fixed(kLeft, 1) + "\" y2=\"" +
           Fixed(kTop + plot_height, 1) + "\" stroke=\"black\"/>\n";
    const double span = highest - lowest;
    const double step = span > 400.0 ? 100.0 : span > 150.0 ? 50.0 : span > 60.0 ? 20.0 : 10.0;
    for (double tick = std::ceil(lowest / step) * step; tick <= highest; tick += step) {
        svg += "<line x1=\"" + Fixed(x(tick), 1) + "\" y1=\"" + Fixed(kTop + plot_height, 1) + "\" x2=\"" +
               Fixed(x(tick), 1) + "\" y2=\"" + Fixed(kTop + plot_height + 5, 1) + "\" stroke=\"black\"/>\n";
        svg += "<text x=\"" + Fixed(x(tick), 1) + "\" y=\"" + Fixed(kTop + plot_height + 18, 1) +
               "\" text-anchor=\"middle\">" + Fixed(tick, 0) + "</text>\n";
    }
    svg += "<text x=\"" + Fixed(kLeft + plot_width / 2, 1) + "\" y=\"" + Fixed(kHeight - 10, 1) +
           "\" text-anchor=\"middle\">mass offset (Da)</text>\n";
    svg += "<text x=\"15\" y=\"" + Fixed(kTop + plot_height / 2, 1) + "\" text-anchor=\"middle\" transform=\"rotate(-90 15 " +
           Fixed(kTop + plot_height / 2, 1) + ")\">pairs</text>\n";
    svg += "<text x=\"" + Fixed(kLeft - 6, 1) + "\" y=\"" + Fixed(kTop + 4, 1) + "\" text-anchor=\"end\">" +
           std::to_string(most) + "</text>\n";
    for (const NamedOffset& named : offsets) {
        svg += "<line x1=\"" + Fixed(x(named.offset.apex), 2) + "\" y1=\"" + Fixed(kTop + plot_height, 2) + "\" x2=\"" +
               Fixed(x(named.offset.apex), 2) + "\" y2=\"" + Fixed(y(static_cast<double>(named.offset.pairs)), 2) +
               "\" stroke=\"#2b5fa6\" stroke-width=\"2\"/>\n";
    }
    // Offsets come most pairs first: the first `labelled` are the largest; those of fewer
    // than a twentieth of the largest's pairs would only crowd the labels.
    for (std::size_t k = 0; k < offsets.size() && k < labelled; ++k) {
        const NamedOffset& named = offsets[k];
        if (named.offset.pairs * 20 < most) break;
        const std::string name = named.Name();
        const std::string label = Fixed(named.offset.apex, 3) + (name.empty() ? "" : " " + name);
        const double top = y(static_cast<double>(named.offset.pairs)) - 4.0;
        svg += "<text x=\"" + Fixed(x(named.offset.apex) + 3, 1) + "\" y=\"" + Fixed(std::max(kTop - 4.0, top), 1) +
               "\" transform=\"rotate(-30 " + Fixed(x(named.offset.apex) + 3, 1) + " " +
               Fixed(std::max(kTop - 4.0, top), 1) + ")\">" + Escaped(label) + "</text>\n";
    }
    svg += "</svg>\n";
    return svg;
}

void WriteReport(const fs::path& path, const std::string& title, const std::string& plot,
                 const std::vector<NamedOffset>& offsets,
                 const std::vector<std::pair<std::string, std::string>>& settings) {
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" + Escaped(title) +
        "</title>\n<style>\nbody { font-family: sans-serif; margin: 2em; color: #222; }\n"
        "table { border-collapse: collapse; margin: 1em 0; }\n"
        "th, td { border: 1px solid #bbb; padding: 0.2em 0.6em; text-align: left; }\n"
        "td.number { text-align: right; }\n</style>\n</head>\n<body>\n<h1>" +
        Escaped(title) + "</h1>\n<h2>Mass offsets</h2>\n" + plot +
        "<table>\n<tr><th>rank</th><th>apex (Da)</th><th>from</th><th>to</th><th>pairs</th><th>spectra</th>"
        "<th>median score</th><th>Unimod</th><th>sum of two</th><th>substitution</th><th>amino acid</th></tr>\n";
    for (std::size_t rank = 0; rank < offsets.size(); ++rank) {
        const MassOffset& offset = offsets[rank].offset;
        const OffsetAnnotation& annotation = offsets[rank].annotation;
        std::string residues(annotation.residues.begin(), annotation.residues.end());
        html += "<tr><td class=\"number\">" + std::to_string(rank + 1) + "</td><td class=\"number\">" +
                Fixed(offset.apex, 4) + "</td><td class=\"number\">" + Fixed(offset.lower, 4) +
                "</td><td class=\"number\">" + Fixed(offset.upper, 4) + "</td><td class=\"number\">" +
                std::to_string(offset.pairs) + "</td><td class=\"number\">" + std::to_string(offset.spectra) +
                "</td><td class=\"number\">" + Fixed(offset.median_score, 3) + "</td><td>" +
                Escaped(Joined(annotation.modifications)) + "</td><td>" + Escaped(Joined(annotation.combinations)) +
                "</td><td>" + Escaped(Joined(annotation.substitutions)) + "</td><td>" +
                (residues.empty() ? "-" : Escaped(residues)) + "</td></tr>\n";
    }
    html += "</table>\n<h2>Settings</h2>\n<table>\n";
    for (const auto& [name, value] : settings) {
        html += "<tr><th>" + Escaped(name) + "</th><td>" + Escaped(value) + "</td></tr>\n";
    }
    html += "</table>\n</body>\n</html>\n";
    WriteText(path, html);
}

}  // namespace speclink::cli
