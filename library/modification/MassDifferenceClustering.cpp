#include "speclink/library/modification/MassDifferenceClustering.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <set>
#include <utility>

#include "speclink/library/common/StdioFile.h"

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

// The gaps below kNoSmallerGap ordered by value, then by position: the first one is the
// gap the merge takes next (the first of equal smallest gaps), found without walking all
// gaps after every merge.
class SmallestGaps {
public:
    explicit SmallestGaps(std::vector<double>& gaps) : gaps_(gaps) {
        for (size_t k = 0; k < gaps_.size(); ++k) {
            if (gaps_[k] < kNoSmallerGap) ordered_.emplace(gaps_[k], k);
        }
    }

    /// Position of the first smallest gap; 0 when no gap lies below kNoSmallerGap.
    size_t First() const { return ordered_.empty() ? 0 : ordered_.begin()->second; }

    /// Sets gap `k` to `value`; true when that changed its bits.
    bool Set(size_t k, double value) {
        if (SameBits(gaps_[k], value)) return false;
        if (gaps_[k] < kNoSmallerGap) ordered_.erase({gaps_[k], k});
        gaps_[k] = value;
        if (value < kNoSmallerGap) ordered_.emplace(value, k);
        return true;
    }

private:
    std::vector<double>& gaps_;
    std::set<std::pair<double, size_t>> ordered_;
};

// Groups of consecutive positions, joined pairwise; each group knows its first and last
// position (union by size with path halving).
class PositionRuns {
public:
    explicit PositionRuns(size_t n) : parent_(n), size_(n, 1), first_(n), last_(n) {
        std::iota(parent_.begin(), parent_.end(), size_t{0});
        std::iota(first_.begin(), first_.end(), size_t{0});
        std::iota(last_.begin(), last_.end(), size_t{0});
    }

    /// Joins the groups of positions `m` and `m + 1`; false when they are one group already.
    bool Join(size_t m) {
        size_t left = Root(m);
        size_t right = Root(m + 1);
        if (left == right) return false;
        const size_t first = first_[left];
        const size_t last = last_[right];
        if (size_[left] < size_[right]) std::swap(left, right);
        parent_[right] = left;
        size_[left] += size_[right];
        first_[left] = first;
        last_[left] = last;
        return true;
    }

    size_t FirstOf(size_t p) { return first_[Root(p)]; }
    size_t LastOf(size_t p) { return last_[Root(p)]; }

private:
    size_t Root(size_t p) {
        while (parent_[p] != p) {
            parent_[p] = parent_[parent_[p]];
            p = parent_[p];
        }
        return p;
    }

    std::vector<size_t> parent_;
    std::vector<size_t> size_;
    std::vector<size_t> first_;
    std::vector<size_t> last_;
};

}  // namespace

void MergeMassDifferences(const std::vector<double>& sorted_differences, std::vector<int32_t>& labels,
                          double tolerance) {
    const std::vector<double>& d = sorted_differences;
    const size_t n = d.size();
    labels.resize(n);
    std::iota(labels.begin(), labels.end(), 0);
    if (n < 2) return;

    std::vector<double> gaps(n - 1);
    for (size_t k = 0; k + 1 < n; ++k) gaps[k] = d[k + 1] - d[k];
    SmallestGaps smallest(gaps);
    PositionRuns runs(n);

    for (size_t m = smallest.First(); gaps[m] < tolerance; m = smallest.First()) {
        // The group that ends at m, or holds m when the gap lies inside a group, takes in
        // the group that holds m + 1.
        const bool joins = runs.Join(m);
        const size_t lo = runs.FirstOf(m);
        const size_t hi = runs.LastOf(m);
        bool changed = joins;
        if (lo >= 1) changed |= smallest.Set(lo - 1, d[hi] - d[lo - 1]);
        if (hi + 1 < n) changed |= smallest.Set(hi, d[hi + 1] - d[lo]);
        // Every other gap inside the group has held kGapInsideGroup since its own merge.
        changed |= smallest.Set(m, kGapInsideGroup);
        if (!changed) break;
    }
    for (size_t p = 0; p < n; ++p) labels[p] = static_cast<int32_t>(runs.FirstOf(p));
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
