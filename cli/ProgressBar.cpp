#include "speclink/cli/ProgressBar.h"

#include <unistd.h>

#include <cstdio>

namespace speclink::cli {

using Clock = std::chrono::steady_clock;

bool ProgressBar::Enabled() { return ::isatty(STDERR_FILENO) == 1; }

ProgressBar::ProgressBar(std::string label) : label_(std::move(label)), enabled_(Enabled()), start_(Clock::now()) {}

ProgressBar::~ProgressBar() { Finish(); }

void ProgressBar::Update(uint64_t done, uint64_t total) {
    if (!enabled_) return;
    const auto now = Clock::now();
    if (drawn_ && now - last_draw_ < std::chrono::milliseconds(200) && done < total) return;
    last_draw_ = now;
    drawn_ = true;
    constexpr int kWidth = 30;
    const double share = total == 0 ? 1.0 : static_cast<double>(done) / static_cast<double>(total);
    const int filled = static_cast<int>(share * kWidth);
    const double seconds = std::chrono::duration<double>(now - start_).count();
    std::fprintf(stderr, "\r%s [%.*s%*s] %3d%% %.0fs", label_.c_str(), filled, "##############################",
                 kWidth - filled, "", static_cast<int>(share * 100.0), seconds);
    std::fflush(stderr);
}

void ProgressBar::Finish() {
    if (!enabled_ || !drawn_) return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    drawn_ = false;
}

ElapsedTicker::ElapsedTicker(std::string label) {
    // When standard output is a terminal too, the engine's own progress text is on the
    // same screen line and a ticker would overwrite it.
    if (!ProgressBar::Enabled() || ::isatty(STDOUT_FILENO) == 1) return;
    thread_ = std::thread([this, label = std::move(label)] {
        const auto start = Clock::now();
        while (!stop_.load()) {
            const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
            std::fprintf(stderr, "\r%s %.0fs", label.c_str(), seconds);
            std::fflush(stderr);
            for (int k = 0; k < 5 && !stop_.load(); ++k) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
    });
}

ElapsedTicker::~ElapsedTicker() {
    stop_.store(true);
    if (thread_.joinable()) thread_.join();
}

}  // namespace speclink::cli
