#include "modification/MassDifferenceClustering.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>

#include "modification/StdioFile.h"

namespace speclink {

namespace {

// Lines are read in pieces of at most 259 characters, as a 260-character buffer holds.
constexpr int kLineBuffer = 260;

// A gap inside a merged group; never below a tolerance under 1000 Da.
constexpr double kGapInsideGroup = 1000.0;

// Start of the search for the smallest gap: larger gaps are never merged.
constexpr double kNoSmallerGap = 1001.0;

struct MassGroup {
    double mean = 0.0;   // Da
    int32_t count = 0;
};

// Where the mass difference of a pair-list line starts: after the fourth comma; with fewer
// commas after the last one, and at the start of a line without any. The conversion stops
// at the next comma by itself.
const char* MassDifferenceText(const char* line) {
    const char* start = line;
    int commas = 0;
    for (const char* c = line; *c != '\0' && commas < 4; ++c) {
        if (*c == ',') {
            start = c + 1;
            ++commas;
        }
    }
    return start;
}

std::vector<double> ReadMassDifferences(std::FILE* in) {
    std::vector<double> differences;
    char buffer[kLineBuffer];
    while (std::fgets(buffer, kLineBuffer, in) != nullptr) {
        const size_t length = std::strlen(buffer);
        if (length > 0 && buffer[length - 1] == '\n') buffer[length - 1] = '\0';
        differences.push_back(std::strtod(MassDifferenceText(buffer), nullptr));
    }
    return differences;
}

// Ascending order; a "nan" read from a malformed line goes last instead of breaking the sort.
bool AscendingNanLast(double a, double b) { return a < b || (!std::isnan(a) && std::isnan(b)); }

bool SameBits(double a, double b) { return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b); }

// Sets `gap` to `value`; true when that changed it.
bool Assign(double& gap, double value) {
    const bool changed = !SameBits(gap, value);
    gap = value;
    return changed;
}

// Consecutive positions with one label form a group; sum in position order, then divide.
std::vector<MassGroup> GroupsOf(const std::vector<double>& differences, const std::vector<int32_t>& labels) {
    std::vector<MassGroup> groups;
    size_t first = 0;
    while (first < differences.size()) {
        size_t end = first;
        double sum = 0.0;
        while (end < differences.size() && labels[end] == labels[first]) sum += differences[end++];
        const auto count = static_cast<int32_t>(end - first);
        groups.push_back({sum / count, count});
        first = end;
    }
    return groups;
}

}  // namespace

size_t IndexOfSmallestGap(const std::vector<double>& gaps) {
    double best = kNoSmallerGap;
    size_t index = 0;
    for (size_t k = 0; k < gaps.size(); ++k) {
        if (gaps[k] < best) {
            best = gaps[k];
            index = k;
        }
    }
    return index;
}

void MergeMassDifferences(const std::vector<double>& sorted_differences, std::vector<int32_t>& labels,
                          double tolerance) {
    const std::vector<double>& d = sorted_differences;
    const size_t n = d.size();
    labels.resize(n);
    std::iota(labels.begin(), labels.end(), 0);
    if (n < 2) return;

    std::vector<double> gaps(n - 1);
    for (size_t k = 0; k + 1 < n; ++k) gaps[k] = d[k + 1] - d[k];

    for (size_t m = IndexOfSmallestGap(gaps); gaps[m] < tolerance; m = IndexOfSmallestGap(gaps)) {
        // The group that begins at m + 1 joins the group of m; groups are runs of positions.
        const int32_t joining = labels[m + 1];
        size_t hi = m + 1;
        for (size_t p = m + 1; p < n && labels[p] == joining; ++p) {
            labels[p] = labels[m];
            hi = p;
        }
        const auto lo = static_cast<size_t>(labels[m]);
        bool changed = joining != labels[m];
        if (lo >= 1) changed |= Assign(gaps[lo - 1], d[hi] - d[lo - 1]);
        if (hi + 1 < n) changed |= Assign(gaps[hi], d[hi + 1] - d[lo]);
        for (size_t k = lo; k < hi; ++k) changed |= Assign(gaps[k], kGapInsideGroup);
        if (!changed) break;
    }
}

void ClusterMassDifferences(std::string pair_list_path, double tolerance) {
    std::vector<double> differences;
    {
        const StdioFile in = OpenStdioFile(pair_list_path, "r");
        if (!in) {
            std::printf("Can not read file:%s\n", pair_list_path.c_str());
            return;
        }
        differences = ReadMassDifferences(in.get());
    }
    std::sort(differences.begin(), differences.end(), AscendingNanLast);

    const StdioFile out = OpenStdioFile("temp.temp", "w");
    if (!out) return;

    std::vector<int32_t> labels;
    MergeMassDifferences(differences, labels, tolerance);
    std::vector<MassGroup> groups = GroupsOf(differences, labels);
    std::stable_sort(groups.begin(), groups.end(),
                     [](const MassGroup& a, const MassGroup& b) { return a.count > b.count; });
    for (const MassGroup& group : groups) std::fprintf(out.get(), "%lf,%d, 0, 0, 0, 0, 0\n", group.mean, group.count);
}

}  // namespace speclink
