#pragma once

#include <functional>
#include <string>

namespace CLI {
class App;
}

namespace speclink::cli {

struct EngineRequest;

/// What runs a clustering or modification search once its command is parsed: RunEngine, or
/// another host's runner (the MPI runner).
using EngineRunner = std::function<void(const EngineRequest&)>;

// Each adds one subcommand to the speclink command; the subcommand runs from its callback
// and reports failures by the exceptions of CommandErrors.h.
// The engine commands record `command_line` (which must outlive the parse) with their results.
void AddClusterCommand(CLI::App& app, const std::string& command_line, EngineRunner runner);
void AddModsearchCommand(CLI::App& app, const std::string& command_line, EngineRunner runner);
void AddRunCommand(CLI::App& app, const std::string& command_line);
void AddParamsCommand(CLI::App& app);
void AddScoreCommand(CLI::App& app);
void AddSimulateCommand(CLI::App& app);
void AddEvaluateCommand(CLI::App& app);

}  // namespace speclink::cli
