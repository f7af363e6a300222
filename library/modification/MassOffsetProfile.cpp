#include "speclink/library/modification/MassOffsetProfile.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_set>

namespace speclink {

namespace {

// Bins of the smoothed distribution per kernel half width.
constexpr double kBinsPerWidth = 20.0;

struct Difference {
    double mass;  // |d|, Da
    std::size_t pair;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

// Peaks of the smoothed distribution of `sorted[first, end)`, a run of differences no two
// neighbours of which lie more than two widths apart, so that the distribution never falls
// to nothing inside it.
void PickRun(const std::vector<Difference>& sorted, std::size_t first, std::size_t end, double width,
             std::vector<std::pair<double, std::vector<std::size_t>>>& peaks) {
    const double bin = width / kBinsPerWidth;
    const auto reach = static_cast<std::ptrdiff_t>(kBinsPerWidth);
    const double origin = sorted[first].mass - width;
    const auto bins = static_cast<std::size_t>((sorted[end - 1].mass + width - origin) / bin) + 1;
    std::vector<int64_t> counts(bins, 0);
    std::vector<std::size_t> bin_of(end - first);
    for (std::size_t k = first; k < end; ++k) {
        bin_of[k - first] = std::min(bins - 1, static_cast<std::size_t>(std::lround((sorted[k].mass - origin) / bin)));
        counts[bin_of[k - first]] += 1;
    }
    // A triangle of half width `reach` bins, in whole numbers (`reach` times the density),
    // so that flat stretches stay flat and show no false maxima.
    std::vector<int64_t> density(bins, 0);
    for (std::size_t b = 0; b < bins; ++b) {
        if (counts[b] == 0) continue;
        const auto centre = static_cast<std::ptrdiff_t>(b);
        for (std::ptrdiff_t k = -reach + 1; k < reach; ++k) {
            const std::ptrdiff_t at = centre + k;
            if (at < 0 || at >= static_cast<std::ptrdiff_t>(bins)) continue;
            density[static_cast<std::size_t>(at)] += counts[b] * (reach - std::abs(k));
        }
    }
    // Maxima (the first bin of a plateau), and the lowest point between each two.
    std::vector<std::size_t> apexes;
    for (std::size_t b = 0; b < bins; ++b) {
        const bool rises = b == 0 || density[b] > density[b - 1];
        if (!rises) continue;
        std::size_t after = b;
        while (after + 1 < bins && density[after + 1] == density[b]) ++after;
        if (after + 1 == bins || density[after + 1] < density[b]) apexes.push_back(b);
        b = after;
    }
    std::vector<std::size_t> starts = {0};
    for (std::size_t p = 1; p < apexes.size(); ++p) {
        starts.push_back(static_cast<std::size_t>(
            std::min_element(density.begin() + static_cast<std::ptrdiff_t>(apexes[p - 1]),
                             density.begin() + static_cast<std::ptrdiff_t>(apexes[p])) -
            density.begin()));
    }
    std::size_t peak = 0;
    for (const std::size_t apex : apexes) peaks.push_back({origin + static_cast<double>(apex) * bin, {}});
    const std::size_t base = peaks.size() - apexes.size();
    for (std::size_t k = first; k < end; ++k) {
        while (peak + 1 < starts.size() && bin_of[k - first] >= starts[peak + 1]) ++peak;
        peaks[base + peak].second.push_back(sorted[k].pair);
    }
}

}  // namespace

std::vector<MassOffset> PickMassOffsets(const std::vector<ListedPair>& pairs, const OffsetPicking& picking) {
    std::vector<Difference> sorted;
    for (std::size_t k = 0; k < pairs.size(); ++k) {
        if (std::isfinite(pairs[k].mass_difference)) sorted.push_back({std::fabs(pairs[k].mass_difference), k});
    }
    std::sort(sorted.begin(), sorted.end(), [](const Difference& a, const Difference& b) {
        return a.mass != b.mass ? a.mass < b.mass : a.pair < b.pair;
    });
    std::vector<std::pair<double, std::vector<std::size_t>>> peaks;
    const double width = picking.width > 0.0 ? picking.width : 0.01;
    for (std::size_t first = 0; first < sorted.size();) {
        std::size_t end = first + 1;
        while (end < sorted.size() && sorted[end].mass - sorted[end - 1].mass <= 2.0 * width) ++end;
        PickRun(sorted, first, end, width, peaks);
        first = end;
    }

    std::vector<MassOffset> offsets;
    for (const auto& [apex, members] : peaks) {
        if (members.size() < std::max<std::size_t>(picking.min_pairs, 1)) continue;
        MassOffset offset;
        offset.apex = apex;
        offset.pairs = members.size();
        offset.lower = offset.upper = std::fabs(pairs[members.front()].mass_difference);
        std::unordered_set<uint32_t> spectra;
        std::vector<double> scores;
        for (const std::size_t k : members) {
            const double mass = std::fabs(pairs[k].mass_difference);
            offset.lower = std::min(offset.lower, mass);
            offset.upper = std::max(offset.upper, mass);
            spectra.insert(pairs[k].first);
            spectra.insert(pairs[k].second);
            scores.push_back(pairs[k].score);
        }
        offset.spectra = spectra.size();
        offset.median_score = Median(std::move(scores));
        offsets.push_back(offset);
    }
    std::stable_sort(offsets.begin(), offsets.end(), [](const MassOffset& a, const MassOffset& b) {
        return a.pairs != b.pairs ? a.pairs > b.pairs : a.apex < b.apex;
    });
    return offsets;
}

}  // namespace speclink
