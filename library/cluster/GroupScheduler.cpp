#include "speclink/library/cluster/GroupScheduler.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "speclink/library/scoring/Similarity.h"

namespace speclink {

namespace {

// A group with fewer pairs than this is always one unit.
constexpr std::size_t kPairsToSplit = 8192;
// Fewest pairs in a unit of a split group (a few hundred microseconds of scoring).
constexpr std::size_t kPairsPerUnit = 2048;

std::size_t PairCount(std::size_t members) { return members < 2 ? 0 : members * (members - 1) / 2; }

// Scores rows [begin, end) of a group into `scores`: row i holds member i against every
// later member of its charge, scored as the plain loop does, which reuses member i's list
// for its pairs in the order each score left it. Without a scorer every pair scores 0.
void ScoreRows(std::span<const CSpectrum> members, const PreparedPeakLists& prepared, std::size_t begin,
               std::size_t end, std::optional<PreparedPairScorer>& scorer, ScoreTriangle& scores) {
    for (std::size_t i = begin; i < end; ++i) {
        if (scorer) scorer->SetFirst(prepared[i]);
        for (std::size_t j = i + 1; j < members.size(); ++j) {
            if (members[i].charge != members[j].charge) continue;
            double score = 0.0;
            if (scorer) {
                scorer->SetSecond(prepared[j]);
                score = scorer->ComputeScore(members[i].precursor_mass - members[j].precursor_mass);
            }
            scores[PackedIndex(j, i)] = ScaleScore(score);
        }
    }
}

}  // namespace

GroupScheduler::GroupScheduler(std::span<const CSpectrum> spectra, std::vector<PrecursorGroup> groups,
                               std::vector<ScaledScore> thresholds, const CSimilarity* similarity,
                               const CPeakSelect* peak_select, int32_t threads, std::vector<ClusterLinkList*> links)
    : spectra_(spectra),
      groups_(std::move(groups)),
      thresholds_(std::move(thresholds)),
      similarity_(similarity != nullptr ? std::optional<CSimilarity>(*similarity) : std::nullopt),
      peak_select_(peak_select),
      links_(std::move(links)),
      tasks_(groups_.size()),
      caller_scorer_(MakeScorer()) {
    const std::size_t thread_count = threads > 1 ? static_cast<std::size_t>(threads) : 1;
    PlanUnits(thread_count);
    const std::size_t workers = std::min(thread_count, units_.size()) - (units_.empty() ? 0 : 1);
    workers_.reserve(workers);
    try {
        for (std::size_t w = 0; w < workers; ++w) workers_.emplace_back([this] { WorkerLoop(); });
    } catch (const std::system_error&) {
        // No more threads to be had: the ones started and the caller's do the work.
    }
}

GroupScheduler::~GroupScheduler() {
    stopping_.store(true);
    workers_.clear();  // joins
}

void GroupScheduler::PlanUnits(std::size_t threads) {
    for (std::size_t g = 0; g < groups_.size(); ++g) {
        const std::size_t members = groups_[g].size;
        const std::size_t pairs = PairCount(members);
        const std::size_t units_before = units_.size();
        if (threads == 1 || pairs < kPairsToSplit) {
            units_.push_back({g, 0, members});
        } else {
            // Runs of rows of about equal pair counts, several per thread, so that threads
            // that finish early take more.
            const std::size_t target = std::max(kPairsPerUnit, pairs / (threads * 8));
            std::size_t row_begin = 0;
            std::size_t accumulated = 0;
            for (std::size_t row = 0; row < members; ++row) {
                accumulated += members - 1 - row;
                if (accumulated >= target || row + 1 == members) {
                    units_.push_back({g, row_begin, row + 1});
                    row_begin = row + 1;
                    accumulated = 0;
                }
            }
        }
        tasks_[g].units_left.store(units_.size() - units_before);
    }
}

std::optional<PreparedPairScorer> GroupScheduler::MakeScorer() const {
    if (!similarity_) return std::nullopt;
    return PreparedPairScorer(*similarity_);
}

void GroupScheduler::WorkerLoop() {
    std::optional<PreparedPairScorer> scorer = MakeScorer();
    while (!stopping_.load()) {
        const std::size_t unit = next_unit_.fetch_add(1);
        if (unit >= units_.size() || !RunUnit(units_[unit], scorer)) return;
    }
}

bool GroupScheduler::RunUnit(const Unit& unit, std::optional<PreparedPairScorer>& scorer) {
    Task& task = tasks_[unit.group];
    const PrecursorGroup& group = groups_[unit.group];
    bool done = false;
    try {
        if (Prepare(task, group)) {
            ScoreRows(spectra_.subspan(group.start, group.size), *task.prepared, unit.row_begin, unit.row_end, scorer,
                      task.scores);
            if (task.units_left.fetch_sub(1) == 1) Finish(task, group);
            done = true;
        }
    } catch (...) {
        RecordFailure(std::current_exception());
    }
    if (!done) {
        task.state.store(kFailed);
        task.state.notify_all();
    }
    return done;
}

bool GroupScheduler::Prepare(Task& task, const PrecursorGroup& group) {
    int expected = kPending;
    if (task.preparation.compare_exchange_strong(expected, kPreparing)) {
        try {
            task.prepared = std::make_unique<PreparedPeakLists>(spectra_.subspan(group.start, group.size),
                                                                peak_select_, std::span<const char>(), 1);
            // Pairs that are never scored (members of different charges) keep -1, no link.
            task.scores.assign(TriangleSize(group.size), -1);
        } catch (...) {
            // Recorded before anyone waiting on the preparation learns that it failed.
            RecordFailure(std::current_exception());
            task.preparation.store(kFailed);
            task.preparation.notify_all();
            return false;
        }
        task.preparation.store(kReady);
        task.preparation.notify_all();
        return true;
    }
    int state = task.preparation.load();
    while (state == kPreparing) {
        task.preparation.wait(kPreparing);
        state = task.preparation.load();
    }
    return state == kReady;
}

void GroupScheduler::Finish(Task& task, const PrecursorGroup& group) {
    // The scores are shared by every threshold: only the merge and the representatives are
    // made once per threshold.
    const auto offset = static_cast<int32_t>(group.start);
    task.representatives.assign(thresholds_.size(), {});
    for (std::size_t t = 0; t < thresholds_.size(); ++t) {
        ClusterLinkList local;
        local.reserve(group.size);
        for (std::size_t k = 0; k < group.size; ++k) local.push_back({static_cast<int32_t>(k), -1});
        BuildSingleLinkageChains(task.scores, thresholds_[t], local);
        PickRepresentatives(task.scores, local, task.representatives[t]);
        // Shift the group's local positions to positions in the whole list.
        ClusterLinkList& links = *links_[t];
        for (std::size_t k = 0; k < group.size; ++k) {
            ClusterLink link = local[k];
            link.cluster += offset;
            if (link.next >= 0) link.next += offset;
            links[group.start + k] = link;
        }
        for (int32_t& representative : task.representatives[t]) representative += offset;
    }

    task.prepared.reset();
    ScoreTriangle().swap(task.scores);
    task.state.store(kDone);
    task.state.notify_all();
}

void GroupScheduler::RecordFailure(std::exception_ptr failure) {
    const std::lock_guard lock(failure_mutex_);
    if (!failure_) failure_ = std::move(failure);
    stopping_.store(true);
}

void GroupScheduler::RethrowFailure() {
    stopping_.store(true);
    const std::lock_guard lock(failure_mutex_);
    std::rethrow_exception(failure_);
}

const std::vector<RepresentativeList>& GroupScheduler::Wait(std::size_t index) {
    Task& task = tasks_[index];
    for (;;) {
        const int state = task.state.load();
        if (state == kDone) return task.representatives;
        // A failure is recorded before any group is marked failed or the run is stopped.
        if (state == kFailed || stopping_.load()) RethrowFailure();
        // Rather than wait, do the next unit that nobody has taken, whichever group it
        // belongs to.
        const std::size_t unit = next_unit_.fetch_add(1);
        if (unit < units_.size()) {
            if (!RunUnit(units_[unit], caller_scorer_)) RethrowFailure();
            continue;
        }
        task.state.wait(kPending);
    }
}

}  // namespace speclink
