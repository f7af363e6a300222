#include "speclink/mpi/MpiComm.h"

#include <mpi.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace speclink::mpi {

namespace {

// Bytes per message: MPI counts are ints.
constexpr uint64_t kPiece = uint64_t{1} << 30;

// The standard error a rank had before QuietUnlessRoot.
int error_descriptor = STDERR_FILENO;

}  // namespace

void MpiComm::Finish() {
    int finalized = 0;
    MPI_Finalized(&finalized);
    if (finalized == 0) MPI_Finalize();
}

void MpiComm::QuietUnlessRoot() const {
    if (root()) return;
    std::fflush(nullptr);
    error_descriptor = dup(STDERR_FILENO);
    const int nowhere = open("/dev/null", O_WRONLY);
    if (nowhere < 0) return;
    dup2(nowhere, STDOUT_FILENO);
    dup2(nowhere, STDERR_FILENO);
    close(nowhere);
}

void MpiComm::ReportError(const std::string& text) const {
    const ssize_t written = write(error_descriptor, text.data(), text.size());
    static_cast<void>(written);
}

MpiComm::MpiComm() {
    int initialized = 0;
    MPI_Initialized(&initialized);
    if (initialized == 0) {
        int provided = 0;
        MPI_Init_thread(nullptr, nullptr, MPI_THREAD_FUNNELED, &provided);
    }
    MPI_Comm_rank(MPI_COMM_WORLD, &rank_);
    MPI_Comm_size(MPI_COMM_WORLD, &size_);
}

void MpiComm::Barrier() const { MPI_Barrier(MPI_COMM_WORLD); }

int MpiComm::MaxOf(int value) const {
    int result = 0;
    MPI_Allreduce(&value, &result, 1, MPI_INT, MPI_MAX, MPI_COMM_WORLD);
    return result;
}

uint64_t MpiComm::Sum(uint64_t value) const { return Sums({value}).front(); }

uint64_t MpiComm::SumBefore(uint64_t value) const { return SumsBefore({value}).front(); }

std::vector<uint64_t> MpiComm::Sums(const std::vector<uint64_t>& values) const {
    std::vector<uint64_t> sums(values.size(), 0);
    MPI_Allreduce(values.data(), sums.data(), static_cast<int>(values.size()), MPI_UINT64_T, MPI_SUM, MPI_COMM_WORLD);
    return sums;
}

std::vector<uint64_t> MpiComm::SumsBefore(const std::vector<uint64_t>& values) const {
    std::vector<uint64_t> sums(values.size(), 0);
    MPI_Exscan(values.data(), sums.data(), static_cast<int>(values.size()), MPI_UINT64_T, MPI_SUM, MPI_COMM_WORLD);
    // MPI leaves the first rank's result undefined.
    if (rank_ == 0) std::fill(sums.begin(), sums.end(), 0);
    return sums;
}

void MpiComm::Send(int to, const std::string& bytes) const {
    uint64_t size = bytes.size();
    MPI_Send(&size, 1, MPI_UINT64_T, to, 0, MPI_COMM_WORLD);
    for (uint64_t sent = 0; sent < size; sent += kPiece) {
        const auto count = static_cast<int>(std::min(kPiece, size - sent));
        MPI_Send(bytes.data() + sent, count, MPI_BYTE, to, 1, MPI_COMM_WORLD);
    }
}

std::string MpiComm::Receive(int from) const {
    uint64_t size = 0;
    MPI_Recv(&size, 1, MPI_UINT64_T, from, 0, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
    std::string bytes(size, '\0');
    for (uint64_t received = 0; received < size; received += kPiece) {
        const auto count = static_cast<int>(std::min(kPiece, size - received));
        MPI_Recv(bytes.data() + received, count, MPI_BYTE, from, 1, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
    }
    return bytes;
}

std::string MpiComm::Broadcast(const std::string& text) const {
    uint64_t size = text.size();
    MPI_Bcast(&size, 1, MPI_UINT64_T, 0, MPI_COMM_WORLD);
    std::string bytes = root() ? text : std::string(size, '\0');
    for (uint64_t done = 0; done < size; done += kPiece) {
        const auto count = static_cast<int>(std::min(kPiece, size - done));
        MPI_Bcast(bytes.data() + done, count, MPI_BYTE, 0, MPI_COMM_WORLD);
    }
    return bytes;
}

std::vector<std::string> MpiComm::Gather(const std::string& text) const {
    std::vector<std::string> gathered;
    if (!root()) {
        Send(0, text);
        return gathered;
    }
    gathered.push_back(text);
    for (int from = 1; from < size_; ++from) gathered.push_back(Receive(from));
    return gathered;
}

std::vector<std::string> MpiComm::AllGather(const std::string& text) const {
    std::vector<std::string> gathered = Gather(text);
    std::string joined;
    for (const std::string& part : gathered) {
        const uint64_t size = part.size();
        joined.append(reinterpret_cast<const char*>(&size), sizeof size);
        joined += part;
    }
    joined = Broadcast(joined);
    gathered.clear();
    for (std::size_t at = 0; at < joined.size();) {
        uint64_t size = 0;
        std::copy_n(joined.data() + at, sizeof size, reinterpret_cast<char*>(&size));
        gathered.push_back(joined.substr(at + sizeof size, size));
        at += sizeof size + size;
    }
    return gathered;
}

std::vector<std::string> MpiComm::AllToAll(std::vector<std::string> to_each) const {
    std::vector<std::string> from_each(static_cast<std::size_t>(size_));
    from_each[static_cast<std::size_t>(rank_)] = std::move(to_each[static_cast<std::size_t>(rank_)]);
    // Round d: send to the rank d after this one while receiving from the rank d before;
    // the lower rank of each pair sends first, so that no two block on each other.
    for (int d = 1; d < size_; ++d) {
        const int to = (rank_ + d) % size_;
        const int from = (rank_ - d + size_) % size_;
        std::string& outgoing = to_each[static_cast<std::size_t>(to)];
        if (rank_ < to) {
            Send(to, outgoing);
            from_each[static_cast<std::size_t>(from)] = Receive(from);
        } else {
            from_each[static_cast<std::size_t>(from)] = Receive(from);
            Send(to, outgoing);
        }
        std::string().swap(outgoing);
    }
    return from_each;
}

}  // namespace speclink::mpi
