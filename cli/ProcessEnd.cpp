#include "speclink/cli/ProcessEnd.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <vector>

namespace speclink::cli {
namespace {

struct Kept {
    std::mutex mutex;
    std::vector<std::shared_ptr<const void>> data;
};

Kept& KeptData() {
    static Kept kept;
    return kept;
}

}  // namespace

void KeepUntilExit(std::shared_ptr<const void> data) {
    Kept& kept = KeptData();
    const std::lock_guard lock(kept.mutex);
    kept.data.push_back(std::move(data));
}

void ExitKeeping(int code) {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    std::_Exit(code);
}

}  // namespace speclink::cli
