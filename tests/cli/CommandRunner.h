#pragma once

#include <string>
#include <vector>

#include "speclink/cli/SpeclinkApp.h"
#include "speclink/tests/support/TestSupport.h"

namespace speclink::cli::test {

/// Three spectra within 20 ppm of each other (one precursor group, two of them closest)
/// and one apart.
inline constexpr const char* kSmallMgf =
    "BEGIN IONS\nTITLE=a\nPEPMASS=500.25\nCHARGE=2+\nSCANS=1\n100 10\n200 20\n300 30\nEND IONS\n"
    "BEGIN IONS\nTITLE=b\nPEPMASS=500.2501\nCHARGE=2+\nSCANS=2\n100 11\n200 19\n300 31\nEND IONS\n"
    "BEGIN IONS\nTITLE=c\nPEPMASS=700.5\nCHARGE=2+\nSCANS=3\n150 5\n250 5\nEND IONS\n"
    "BEGIN IONS\nTITLE=d\nPEPMASS=500.2502\nCHARGE=2+\nSCANS=4\n100 10\n200 21\n300 29\nEND IONS\n";

/// What one in-process run of the speclink command gave.
struct CommandOutcome {
    int code = -1;
    std::string out;
    std::string err;
};

/// Runs `speclink args...` in this process, capturing standard output and standard error.
inline CommandOutcome RunCommand(const std::vector<std::string>& args) {
    std::vector<const char*> argv = {"speclink"};
    for (const std::string& arg : args) argv.push_back(arg.c_str());
    CommandOutcome outcome;
    speclink::test::StdoutCapture err(2);
    speclink::test::StdoutCapture out(1);
    outcome.code = RunSpeclink(static_cast<int>(argv.size()), argv.data());
    outcome.out = out.Finish();
    outcome.err = err.Finish();
    return outcome;
}

}  // namespace speclink::cli::test
