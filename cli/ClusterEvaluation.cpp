#include "speclink/cli/ClusterEvaluation.h"

#include <cctype>
#include <cmath>
#include <map>
#include <unordered_map>

namespace speclink::cli {

namespace {

// Entropy (natural log) of a distribution given by its counts.
double Entropy(const std::vector<std::size_t>& counts, std::size_t total) {
    double entropy = 0.0;
    for (const std::size_t count : counts) {
        if (count == 0) continue;
        const double p = static_cast<double>(count) / static_cast<double>(total);
        entropy -= p * std::log(p);
    }
    return entropy;
}

}  // namespace

ClusterQuality EvaluateClustering(const std::vector<uint32_t>& clusters, const std::vector<int32_t>& labels) {
    ClusterQuality quality;
    quality.spectra = clusters.size();
    std::unordered_map<uint32_t, std::size_t> sizes;
    for (const uint32_t cluster : clusters) ++sizes[cluster];
    quality.clusters = sizes.size();

    std::size_t clustered = 0;
    // Per cluster of two or more, its labels in the order first seen, with their counts.
    std::unordered_map<uint32_t, std::vector<std::pair<int32_t, std::size_t>>> labels_of;
    std::map<int32_t, std::map<uint32_t, std::size_t>> clusters_of_label;
    for (std::size_t k = 0; k < clusters.size(); ++k) {
        const bool several = sizes[clusters[k]] >= 2;
        if (several) ++clustered;
        if (labels[k] < 0) continue;
        ++quality.identified;
        ++clusters_of_label[labels[k]][clusters[k]];
        if (!several) continue;
        auto& seen = labels_of[clusters[k]];
        auto found = seen.begin();
        while (found != seen.end() && found->first != labels[k]) ++found;
        if (found == seen.end()) {
            seen.push_back({labels[k], 1});
        } else {
            ++found->second;
        }
    }
    if (quality.spectra > 0) quality.clustered_ratio = static_cast<double>(clustered) / static_cast<double>(quality.spectra);

    std::size_t in_clusters = 0;
    std::size_t incorrect = 0;
    for (const auto& [cluster, seen] : labels_of) {
        std::size_t total = 0;
        std::size_t most = 0;
        for (const auto& [label, count] : seen) {
            total += count;
            if (count > most) most = count;
        }
        in_clusters += total;
        incorrect += total - most;
    }
    if (in_clusters > 0) quality.incorrect_ratio = static_cast<double>(incorrect) / static_cast<double>(in_clusters);

    // H(P) over the labels; H(C|P) = sum over labels of p(label) H(clusters of that label).
    std::vector<std::size_t> label_counts;
    double conditional = 0.0;
    for (const auto& [label, by_cluster] : clusters_of_label) {
        std::size_t count = 0;
        std::vector<std::size_t> counts;
        for (const auto& [cluster, n] : by_cluster) {
            count += n;
            counts.push_back(n);
        }
        label_counts.push_back(count);
        conditional += static_cast<double>(count) / static_cast<double>(quality.identified) * Entropy(counts, count);
    }
    const double labels_entropy = Entropy(label_counts, quality.identified);
    quality.completeness = labels_entropy > 0.0 ? 1.0 - conditional / labels_entropy : 1.0;
    return quality;
}

std::string IdentificationLabel(const std::string& peptide, int charge) {
    std::string label;
    label.reserve(peptide.size() + 3);
    for (const char c : peptide) {
        const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        label += upper == 'I' ? 'L' : upper;
    }
    return label + "/" + std::to_string(charge);
}

}  // namespace speclink::cli
