#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace speclink::mpi {

/// The processes of an MPI run (MPI_COMM_WORLD) and the exchanges speclink makes between
/// them. Data travel as byte strings of any size (sent in pieces below MPI's int counts).
/// MPI is set up by the first MpiComm and ended when the process ends.
class MpiComm {
public:
    MpiComm();

    int rank() const { return rank_; }
    int size() const { return size_; }
    bool root() const { return rank_ == 0; }

    void Barrier() const;
    /// The largest `value` of all ranks, on every rank.
    int MaxOf(int value) const;
    /// The sum of `value` over all ranks, and over the ranks before this one.
    uint64_t Sum(uint64_t value) const;
    uint64_t SumBefore(uint64_t value) const;
    /// Element by element, the sums over the ranks before this one (all vectors of one size).
    std::vector<uint64_t> SumsBefore(const std::vector<uint64_t>& values) const;
    std::vector<uint64_t> Sums(const std::vector<uint64_t>& values) const;

    /// The root's `text` on every rank.
    std::string Broadcast(const std::string& text) const;
    /// Every rank's `text`, in rank order: on the root; empty elsewhere.
    std::vector<std::string> Gather(const std::string& text) const;
    /// Every rank's `text`, in rank order, on every rank.
    std::vector<std::string> AllGather(const std::string& text) const;
    /// Sends to_each[r] to rank r and gives what each rank sent here, by rank.
    std::vector<std::string> AllToAll(std::vector<std::string> to_each) const;

    void Send(int to, const std::string& bytes) const;
    std::string Receive(int from) const;

    /// Ranks other than the first keep quiet: their standard output and error go nowhere, so
    /// that what every rank would say alike (a usage error, say) is said once.
    /// ReportError still reaches the original standard error.
    void QuietUnlessRoot() const;
    /// Writes `text` to this rank's original standard error.
    void ReportError(const std::string& text) const;
    /// Ends MPI, once every rank is done with it.
    static void Finish();

private:
    int rank_ = 0;
    int size_ = 1;
};

}  // namespace speclink::mpi
