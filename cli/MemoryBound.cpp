#include "speclink/cli/MemoryBound.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string_view>

namespace speclink::cli {

namespace {

// The first number of the first line of `path` that starts with `key` ("" for the file's
// first line); nothing when there is none.
uint64_t NumberAfter(const char* path, std::string_view key) {
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);) {
        if (!line.starts_with(key)) continue;
        const std::size_t digit = line.find_first_of("0123456789", key.size());
        if (digit == std::string::npos) return 0;
        uint64_t value = 0;
        std::from_chars(line.data() + digit, line.data() + line.size(), value);
        return value;
    }
    return 0;
}

}  // namespace

uint64_t ParseByteSize(const std::string& text) {
    const auto fail = [&]() -> uint64_t {
        throw std::invalid_argument("'" + text + "' is not a size such as 4G, 512M or 1.5GB (at least 1M)");
    };
    double number = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || !(number > 0.0)) return fail();
    std::string unit(end, text.data() + text.size());
    for (char& c : unit) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (unit.ends_with("IB")) {
        unit.resize(unit.size() - 2);
    } else if (unit.size() > 1 && unit.back() == 'B') {
        unit.pop_back();
    }
    static constexpr std::string_view kUnits = "KMGT";
    double bytes = number;
    if (unit == "B") unit.clear();
    if (!unit.empty()) {
        const std::size_t power = kUnits.find(unit);
        if (unit.size() != 1 || power == std::string_view::npos) return fail();
        bytes *= std::pow(1024.0, static_cast<double>(power + 1));
    }
    if (!(bytes >= 1024.0 * 1024.0) || bytes > 1e18) return fail();
    return static_cast<uint64_t>(bytes);
}

uint64_t DefaultMemoryBound() {
    uint64_t available = NumberAfter("/proc/meminfo", "MemAvailable:") * 1024;
    if (available == 0) {
        available = static_cast<uint64_t>(sysconf(_SC_PHYS_PAGES)) * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
    }
    // "max" (no limit) reads as no number.
    for (const char* limit_file : {"/sys/fs/cgroup/memory.max", "/sys/fs/cgroup/memory/memory.limit_in_bytes"}) {
        const uint64_t limit = NumberAfter(limit_file, "");
        if (limit > 0) available = std::min(available, limit);
    }
    return std::max<uint64_t>(available / 4 * 3, uint64_t{64} << 20);
}

std::string FormatBytes(uint64_t bytes) {
    static constexpr const char* kUnits[] = {"bytes", "KiB", "MiB", "GiB", "TiB"};
    double value = static_cast<double>(bytes);
    std::size_t unit = 0;
    while (value >= 1024.0 && unit + 1 < std::size(kUnits)) {
        value /= 1024.0;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", value, kUnits[unit]);
    return text;
}

}  // namespace speclink::cli
