#pragma once

#include <string>
#include <vector>

#include "SpeclinkApp.h"
#include "support/TestSupport.h"

namespace speclink::cli::test {

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
