#include "speclink/cli/RunSummary.h"

#include <cstdio>
#include <fstream>
#include <map>

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

void RunSummary::AddClusters() {
    // Result lines read "line,file name,cluster,mass"; the cluster is the second field
    // from the end, since a file name may hold commas.
    clustering = true;
    std::ifstream in(result);
    std::map<long, size_t> sizes;
    std::string line;
    while (std::getline(in, line)) {
        const auto last = line.rfind(',');
        if (last == std::string::npos || last == 0) continue;
        const auto before = line.rfind(',', last - 1);
        if (before == std::string::npos) continue;
        ++sizes[std::strtol(line.c_str() + before + 1, nullptr, 10)];
    }
    clusters = sizes.size();
    for (const auto& [cluster, size] : sizes) {
        if (size >= 2) ++multi_clusters;
        if (size > largest_cluster) largest_cluster = size;
    }
}

void RunSummary::AddPairs(const std::filesystem::path& mass_differences) {
    std::ifstream in(result);
    std::string line;
    while (std::getline(in, line)) ++pairs;
    if (mass_differences.empty()) return;
    std::ifstream groups(mass_differences);
    while (std::getline(groups, line)) {
        ++mass_difference_groups;
        const auto first = line.find(',');
        const auto second = line.find(',', first + 1);
        if (first == std::string::npos || top_mass_differences.size() >= 5) continue;
        top_mass_differences.emplace_back(line.substr(0, first), line.substr(first + 1, second - first - 1));
    }
}

void RunSummary::Print() const {
    std::printf("speclink %s: %zu spectra in %.2f s (reading %.2f s, %s %.2f s)\n", command.c_str(), spectra, seconds,
                reading_seconds, clustering ? "clustering" : "searching", engine_seconds);
    for (const InputFileReport& file : files) std::printf("  %s\n", DescribeRead(file).c_str());
    if (clustering) {
        std::printf("  clusters: %zu, of which %zu with two or more spectra (largest %zu) and %zu single spectra\n",
                    clusters, multi_clusters, largest_cluster, clusters - multi_clusters);
    } else {
        std::printf("  pairs listed: %zu\n", pairs);
        if (mass_difference_groups > 0) {
            std::printf("  mass-difference groups: %zu; most frequent (Da, pairs):", mass_difference_groups);
            for (const auto& [mass, count] : top_mass_differences) std::printf(" %s (%s)", mass.c_str(), count.c_str());
            std::printf("\n");
        }
    }
    std::printf("  result: %s\n", result.string().c_str());
    std::printf("  files written to %s: %zu\n", out_directory.string().c_str(), files_written);
    std::fflush(stdout);
}

}  // namespace speclink::cli
