// speclink evaluate: how pure and complete the clusterings of a cluster table are, judged by
// peptide identifications.

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "speclink/cli/ClusterEvaluation.h"
#include "speclink/cli/CommandErrors.h"
#include "speclink/cli/Commands.h"
#include "speclink/formats/ReadOptions.h"
#include "speclink/formats/SpectrumNaming.h"
#include "speclink/formats/SpectrumReader.h"

namespace speclink::cli {

namespace {

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos) return fields;
        start = tab + 1;
    }
}

// A tab-separated table with a header line.
struct Table {
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows;

    int Column(const std::string& name) const {
        for (std::size_t k = 0; k < header.size(); ++k) {
            if (header[k] == name) return static_cast<int>(k);
        }
        return -1;
    }
};

Table ReadTable(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw InputError(path + ": cannot read it");
    Table table;
    std::string line;
    if (!std::getline(in, line)) throw InputError(path + ": empty, expected a header line");
    table.header = SplitTabs(line);
    for (std::size_t number = 2; std::getline(in, line); ++number) {
        if (line.empty()) continue;
        table.rows.push_back(SplitTabs(line));
        if (table.rows.back().size() != table.header.size()) {
            throw InputError(path + ":" + std::to_string(number) + ": expected " + std::to_string(table.header.size()) +
                             " tab-separated fields like the header, found " + std::to_string(table.rows.back().size()));
        }
    }
    return table;
}

// Peptide identifications, found by the columns of a cluster table: by file and native id or
// title, by file and scan, or by title alone.
class Identifications {
public:
    void Add(const std::string& path) {
        std::ifstream probe(path);
        std::string first;
        std::getline(probe, first);
        if (first.find('\t') != std::string::npos && first.find("peptide") != std::string::npos) {
            AddTable(path);
        } else {
            AddSpectra(path);
        }
    }

    // The peptide of a spectrum of the cluster table; null when unknown.
    const std::string* Find(const std::string& source, const std::string& native_id, const std::string& scan,
                            const std::string& title) const {
        const std::string file = InputBaseName(source);
        for (const std::string* key : {&native_id, &title}) {
            if (key->empty()) continue;
            if (const auto found = by_file_name_.find(file + '\t' + *key); found != by_file_name_.end()) return &found->second;
        }
        if (const auto found = by_file_scan_.find(file + '\t' + scan); found != by_file_scan_.end()) return &found->second;
        for (const std::string* key : {&title, &native_id}) {
            if (const auto found = by_name_.find(*key); !key->empty() && found != by_name_.end()) return &found->second;
        }
        return nullptr;
    }

    std::size_t size() const { return count_; }

private:
    // MGF (or any spectrum file) with SEQ= per spectrum.
    void AddSpectra(const std::string& path) {
        const std::string file = InputBaseName(path);
        ReadOptions options;
        options.assign_charges = {1};
        ReadSpectra(path, options, [&](CSpectrum&& spectrum, std::string_view native_id) {
            if (spectrum.peptide.empty()) return;
            ++count_;
            by_file_name_[file + '\t' + std::string(native_id)] = spectrum.peptide;
            by_file_scan_[file + '\t' + std::to_string(spectrum.scan)] = spectrum.peptide;
        });
    }

    // A TSV naming `peptide` and `file` with `scan` or `title`, or `title` alone (the truth
    // table of speclink simulate). A `modification` column with its `modification_site`
    // tells modified forms apart.
    void AddTable(const std::string& path) {
        const Table table = ReadTable(path);
        const int peptide = table.Column("peptide");
        const int file = table.Column("file");
        const int scan = table.Column("scan");
        const int title = table.Column("title");
        const int modification = table.Column("modification");
        const int site = table.Column("modification_site");
        if (title < 0 && (file < 0 || scan < 0)) {
            throw InputError(path + ": expected columns file and scan, or title, beside peptide");
        }
        for (const std::vector<std::string>& row : table.rows) {
            std::string label = row[peptide];
            if (modification >= 0 && row[modification] != "-" && !row[modification].empty()) {
                label += "[" + row[modification] + (site >= 0 ? "@" + row[site] : std::string()) + "]";
            }
            ++count_;
            const std::string base = file >= 0 ? InputBaseName(row[file]) : std::string();
            if (file >= 0 && scan >= 0) by_file_scan_[base + '\t' + row[scan]] = label;
            if (file >= 0 && title >= 0) by_file_name_[base + '\t' + row[title]] = label;
            if (file < 0 && title >= 0) by_name_[row[title]] = label;
        }
    }

    std::unordered_map<std::string, std::string> by_file_name_;
    std::unordered_map<std::string, std::string> by_file_scan_;
    std::unordered_map<std::string, std::string> by_name_;
    std::size_t count_ = 0;
};

struct EvaluateOptions {
    std::string table;
    std::vector<std::string> identifications;
    std::string output;
};

}  // namespace

void AddEvaluateCommand(CLI::App& app) {
    auto options = std::make_shared<EvaluateOptions>();
    CLI::App* command = app.add_subcommand(
        "evaluate",
        "Judge the clusterings of a cluster table (clusters.tsv of speclink cluster, with a column per threshold of "
        "--thresholds) by peptide identifications: clustered ratio (spectra in clusters of two or more), incorrect "
        "ratio (identified clustered spectra not carrying their cluster's most common peptide and charge, I and L "
        "alike) and completeness (1 - H(C|P)/H(P) over the identified spectra)");
    command->add_option("table", options->table, "Cluster table (clusters.tsv)")->required()->check(CLI::ExistingFile);
    command
        ->add_option("-i,--identifications", options->identifications,
                     "MGF files with SEQ=, the truth table of speclink simulate, or a TSV naming peptide and file "
                     "with scan or title")
        ->required()
        ->check(CLI::ExistingFile);
    command->add_option("-o,--out", options->output, "Also write the curve as a TSV file");
    command->callback([options] {
        const Table table = ReadTable(options->table);
        const int source = table.Column("source_file");
        const int native_id = table.Column("native_id");
        const int scan = table.Column("scan");
        const int title = table.Column("title");
        const int charge = table.Column("charge");
        if (table.Column("cluster") < 0 || source < 0 || native_id < 0 || scan < 0 || title < 0 || charge < 0) {
            throw InputError(options->table + ": not a cluster table (expected the columns of clusters.tsv)");
        }
        Identifications identifications;
        for (const std::string& path : options->identifications) identifications.Add(path);

        std::unordered_map<std::string, int32_t> label_ids;
        std::vector<int32_t> labels;
        for (const std::vector<std::string>& row : table.rows) {
            const std::string* peptide = identifications.Find(row[source], row[native_id], row[scan], row[title]);
            if (peptide == nullptr) {
                labels.push_back(-1);
                continue;
            }
            const std::string label = IdentificationLabel(*peptide, std::atoi(row[charge].c_str()));
            labels.push_back(label_ids.try_emplace(label, static_cast<int32_t>(label_ids.size())).first->second);
        }

        std::string curve = "clustering\tthreshold\tspectra\tidentified\tclusters\tclustered_ratio\tincorrect_ratio\t"
                            "completeness\n";
        std::printf("%-18s %9s %9s %16s %16s %13s\n", "clustering", "threshold", "clusters", "clustered_ratio",
                    "incorrect_ratio", "completeness");
        for (std::size_t column = 0; column < table.header.size(); ++column) {
            const std::string& name = table.header[column];
            const bool sweep = name.starts_with("cluster_at_");
            if (name != "cluster" && !sweep) continue;
            std::vector<uint32_t> clusters;
            for (const std::vector<std::string>& row : table.rows) {
                clusters.push_back(static_cast<uint32_t>(std::strtoul(row[column].c_str(), nullptr, 10)));
            }
            const ClusterQuality quality = EvaluateClustering(clusters, labels);
            const std::string threshold = sweep ? name.substr(11) : "run";
            char line[256];
            std::snprintf(line, sizeof line, "%s\t%s\t%zu\t%zu\t%zu\t%.6f\t%.6f\t%.6f\n", name.c_str(), threshold.c_str(),
                          quality.spectra, quality.identified, quality.clusters, quality.clustered_ratio,
                          quality.incorrect_ratio, quality.completeness);
            curve += line;
            std::printf("%-18s %9s %9zu %16.4f %16.4f %13.4f\n", name.c_str(), threshold.c_str(), quality.clusters,
                        quality.clustered_ratio, quality.incorrect_ratio, quality.completeness);
        }
        const auto identified = static_cast<std::size_t>(std::count_if(labels.begin(), labels.end(), [](int32_t l) { return l >= 0; }));
        std::printf("%zu spectra, %zu of them identified (%zu identifications read)\n", table.rows.size(), identified,
                    identifications.size());
        if (!options->output.empty()) {
            std::ofstream out(options->output, std::ios::binary);
            out << curve;
            out.close();
            if (!out) throw OutputError("cannot write " + options->output);
        }
    });
}

}  // namespace speclink::cli
