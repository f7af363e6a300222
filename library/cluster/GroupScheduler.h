#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

#include "speclink/library/cluster/PrecursorSweep.h"
#include "speclink/library/cluster/SingleLinkage.h"
#include "speclink/library/data/ClusterLink.h"
#include "speclink/library/data/Spectrum.h"
#include "speclink/library/scoring/PreparedPairScorer.h"
#include "speclink/library/scoring/PreparedPeakLists.h"

namespace speclink {

class CPeakSelect;
class CSimilarity;

/// Clusters a sequence of precursor groups on the caller's thread and up to `threads` - 1
/// worker threads, while the caller takes the results group by group, in order.
///
/// The work is cut into units: a whole group, or a run of rows of a large group's pair
/// scores when more than one thread works. Units are handed out in group order; the first
/// unit of a group to start prepares the group's members, the last one to end merges the
/// group and picks its representatives. Each group's links go straight into its own
/// positions of the caller's link list. The scorer is only read (each thread scores
/// through its own copy); the caller sets it up before and leaves it alone meanwhile.
/// With `threads` <= 1 no thread is started: Wait does each group's work itself, in order.
class GroupScheduler {
public:
    /// Clusters at every threshold of `thresholds` from one set of pair scores; the links
    /// at thresholds[t] go into *links[t], which must hold an entry for every position
    /// covered by `groups`.
    GroupScheduler(std::span<const CSpectrum> spectra, std::vector<PrecursorGroup> groups,
                   std::vector<ScaledScore> thresholds, const CSimilarity* similarity, const CPeakSelect* peak_select,
                   int32_t threads, std::vector<ClusterLinkList*> links);
    GroupScheduler(const GroupScheduler&) = delete;
    GroupScheduler& operator=(const GroupScheduler&) = delete;
    /// Lets the workers end their current unit and joins them.
    ~GroupScheduler();

    /// Waits until group `index` is clustered, doing pending units meanwhile, and returns
    /// its representatives at each threshold as positions in the whole list. Its links
    /// (whole-list positions) are then in place. Rethrows the exception of any unit that
    /// failed.
    const std::vector<RepresentativeList>& Wait(std::size_t index);

private:
    enum State : int { kPending, kPreparing, kReady, kDone, kFailed };

    struct Unit {
        std::size_t group;
        std::size_t row_begin;
        std::size_t row_end;
    };

    struct Task {
        std::atomic<int> preparation{kPending};
        std::atomic<int> state{kPending};
        std::atomic<std::size_t> units_left{0};
        std::unique_ptr<PreparedPeakLists> prepared;
        ScoreTriangle scores;
        std::vector<RepresentativeList> representatives;  ///< per threshold
    };

    void PlanUnits(std::size_t threads);
    std::optional<PreparedPairScorer> MakeScorer() const;
    void WorkerLoop();
    /// Does one unit; false when it failed (the failure is recorded) or its group failed
    /// on another thread.
    /// `scorer` is the thread's own, null without a scorer.
    bool RunUnit(const Unit& unit, std::optional<PreparedPairScorer>& scorer);
    /// Prepares the group once, or waits for the thread that does; false when that failed.
    bool Prepare(Task& task, const PrecursorGroup& group);
    void Finish(Task& task, const PrecursorGroup& group);
    void RecordFailure(std::exception_ptr failure);
    [[noreturn]] void RethrowFailure();

    std::span<const CSpectrum> spectra_;
    std::vector<PrecursorGroup> groups_;
    std::vector<ScaledScore> thresholds_;
    std::optional<CSimilarity> similarity_;
    const CPeakSelect* peak_select_;
    std::vector<ClusterLinkList*> links_;

    std::vector<Task> tasks_;
    std::vector<Unit> units_;
    std::atomic<std::size_t> next_unit_{0};
    std::atomic<bool> stopping_{false};
    std::mutex failure_mutex_;
    std::exception_ptr failure_;
    std::optional<PreparedPairScorer> caller_scorer_;
    std::vector<std::jthread> workers_;
};

}  // namespace speclink
