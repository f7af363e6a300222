#include "speclink/cli/RunSummary.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <unordered_set>

#include "speclink/cli/MemoryBound.h"
#include "speclink/cli/OutputDirectory.h"
#include "speclink/library/consensus/ConsensusSpectrum.h"

namespace speclink::cli {

namespace {

// "<k> why" entries of the non-zero skip counts.
std::string SkipReasons(const ReadResult& result) {
    std::string text;
    auto add = [&](uint64_t count, const char* why) {
        if (count == 0) return;
        text += (text.empty() ? "" : ", ") + std::to_string(count) + " " + why;
    };
    add(result.skipped_not_ms2, "not MS2");
    add(result.skipped_no_charge, "without charge");
    add(result.skipped_negative_charge, "negative charge");
    add(result.skipped_no_precursor, "without precursor");
    add(result.skipped_empty, "without peaks");
    add(result.skipped_impossible_mass, "with an impossible precursor mass");
    return text;
}

}  // namespace

std::string DescribeRead(const InputFileReport& file) {
    const std::string reasons = SkipReasons(file.result);
    return file.path + ": " + std::to_string(file.result.spectra) + " spectra, " + std::to_string(file.result.records) +
           " records, " + std::to_string(file.result.skipped()) + " skipped" +
           (reasons.empty() ? "" : " (" + reasons + ")");
}

void RunSummary::AddClusters(const std::vector<CSpectrum>& spectra, const Clustering& result,
                             std::optional<Representative_Spectra> dta_consensus) {
    clustering = true;
    const ClusterWalks walks = WalkClusters(result.links);
    clusters += walks.size();
    std::unordered_set<std::string> names;
    for (size_t cluster = 0; cluster < walks.size(); ++cluster) {
        const size_t size = walks[cluster].size();
        largest_cluster = std::max(largest_cluster, size);
        if (size < 2) continue;
        ++multi_clusters;
        clustered_spectra += size;
        if (dta_consensus == CONSENSUS_SPECTRA || dta_consensus == CONSENSUS_SPECTRA_AND_REPRESENTATIVES) {
            names.insert(ConsensusFileName(spectra, walks[cluster]));
        }
    }
    consensus_files = names.size();
}

void RunSummary::AddPairs(size_t listed, const std::filesystem::path& mass_differences) {
    pairs = listed;
    if (mass_differences.empty()) return;
    std::ifstream groups(mass_differences);
    std::string line;
    while (std::getline(groups, line)) {
        ++mass_difference_groups;
        const auto first = line.find(',');
        const auto second = line.find(',', first + 1);
        if (first == std::string::npos || top_mass_differences.size() >= 5) continue;
        top_mass_differences.emplace_back(line.substr(0, first), line.substr(first + 1, second - first - 1));
    }
}

void RunSummary::Print() const {
    if (clustering) {
        std::printf("speclink %s: %zu spectra in %zu clusters; %.1f%% clustered (in clusters of two or more), "
                    "largest cluster %zu\n",
                    command.c_str(), spectra, clusters,
                    spectra > 0 ? 100.0 * static_cast<double>(clustered_spectra) / static_cast<double>(spectra) : 0.0,
                    largest_cluster);
        if (consensus_files < multi_clusters && consensus_files > 0) {
            std::printf("  warning: %zu consensus DTA files were written under the name of another, which they "
                        "replaced; %zu remain\n",
                        multi_clusters - consensus_files, consensus_files);
        }
    } else {
        std::printf("speclink %s: %zu spectra, %zu pairs listed\n", command.c_str(), spectra, pairs);
        if (!offsets.empty()) {
            std::printf("  largest mass offsets (Da, pairs, name):");
            for (std::size_t k = 0; k < offsets.size() && k < 5; ++k) {
                const std::string name = offsets[k].Name();
                std::printf("%s %.4f (%zu%s)", k == 0 ? "" : ";", offsets[k].offset.apex, offsets[k].offset.pairs,
                            name.empty() ? "" : (", " + name).c_str());
            }
            std::printf("\n");
            if (unimod.empty()) std::printf("  no Unimod file found: offsets without names (give one with --unimod)\n");
        } else if (mass_difference_groups > 0) {
            std::printf("  mass-difference groups: %zu; most frequent (Da, pairs):", mass_difference_groups);
            for (const auto& [mass, count] : top_mass_differences) std::printf(" %s (%s)", mass.c_str(), count.c_str());
            std::printf("\n");
        }
    }
    std::printf("  outputs in %s (%zu files, listed in %s):\n", out_directory.string().c_str(), files_written,
                OutputDirectory::kManifest);
    for (const auto& [name, what] : outputs) std::printf("    %-20s %s\n", name.c_str(), what.c_str());
    std::printf("  inputs:\n");
    for (const InputFileReport& file : files) std::printf("    %s\n", DescribeRead(file).c_str());
    if (renamed > 0) {
        std::printf("  names made unique: %zu records renamed with _2, _3, ... (the same base name in several inputs, "
                    "or a scan repeated in a file); clusters.tsv gives each its source file and native id\n",
                    renamed);
    }
    if (spill_buckets > 0) {
        std::printf("  memory: records beyond --memory %s spilled to disk: %s in %zu buckets; %zu %s\n",
                    FormatBytes(memory).c_str(), FormatBytes(spilled_bytes).c_str(), spill_buckets, crossings,
                    clustering ? "precursor groups crossed a bucket edge" : "buckets took partners from others");
    }
    std::printf("  time: %.2f s (reading %.2f s, %s %.2f s, writing %.2f s)\n", seconds, reading_seconds,
                clustering ? "clustering" : "searching", engine_seconds, writing_seconds);
    std::fflush(stdout);
}

}  // namespace speclink::cli
