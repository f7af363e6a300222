#pragma once

namespace CLI {
class App;
}

namespace speclink::cli {

// Each adds one subcommand to the speclink command; the subcommand runs from its callback
// and reports failures by the exceptions of CommandErrors.h.
void AddClusterCommand(CLI::App& app);
void AddModsearchCommand(CLI::App& app);
void AddRunCommand(CLI::App& app);
void AddParamsCommand(CLI::App& app);
void AddScoreCommand(CLI::App& app);
void AddSimulateCommand(CLI::App& app);

}  // namespace speclink::cli
