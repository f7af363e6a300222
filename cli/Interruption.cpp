#include "speclink/cli/Interruption.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <system_error>

namespace speclink::cli {

namespace {

// SIGUSR1 only wakes the waiting thread when the run is over.
sigset_t Signals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGUSR1);
    return signals;
}

}  // namespace

Interruption::Interruption() {
    const sigset_t signals = Signals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    waiter_ = std::thread([this] { Wait(); });
}

Interruption::~Interruption() {
    pthread_kill(waiter_.native_handle(), SIGUSR1);
    waiter_.join();
    // A signal that came while the run was finishing is delivered now, as it would have
    // been without this object.
    const sigset_t signals = Signals();
    pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
}

void Interruption::RemoveOnSignal(const std::filesystem::path& directory) {
    const std::lock_guard lock(mutex_);
    unfinished_.push_back(directory);
}

void Interruption::Wait() {
    const sigset_t signals = Signals();
    int signal = 0;
    if (sigwait(&signals, &signal) != 0 || signal == SIGUSR1) return;
    std::string message = std::string("\nspeclink: ") + (signal == SIGINT ? "interrupted (SIGINT)" : "terminated (SIGTERM)");
    {
        const std::lock_guard lock(mutex_);
        if (!unfinished_.empty()) {
            std::error_code ec;
            for (const std::filesystem::path& directory : unfinished_) std::filesystem::remove_all(directory, ec);
            message += ": the run was stopped and its unfinished outputs in " +
                       unfinished_.front().parent_path().string() + " removed";
        } else {
            message += ": the run was stopped before it wrote anything";
        }
    }
    message += "\n";
    std::fflush(stdout);
    const ssize_t written = ::write(STDERR_FILENO, message.data(), message.size());
    static_cast<void>(written);
    ::_exit(128 + signal);
}

}  // namespace speclink::cli
