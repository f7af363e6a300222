// speclink-mpi: speclink cluster and modsearch on the processes of an MPI run
// (mpirun -n N speclink-mpi cluster|modsearch INPUTS -o OUT [options]).

#include <CLI/CLI.hpp>

#include <string>

#include "speclink/cli/Commands.h"
#include "speclink/cli/ExitCodes.h"
#include "speclink/cli/SpeclinkApp.h"
#include "speclink/mpi/MpiComm.h"
#include "speclink/mpi/MpiEngineRun.h"

int main(int argc, char** argv) {
    const speclink::mpi::MpiComm comm;
    comm.QuietUnlessRoot();
    CLI::App app("speclink-mpi: speclink cluster and modsearch on the processes of an MPI run, with the files and "
                 "standard output of a run on one process. Start it with mpirun or a batch scheduler, e.g.\n"
                 "  mpirun -n 4 speclink-mpi cluster run1.mgf run2.mzML -o clusters",
                 "speclink-mpi");
    app.set_version_flag("--version", "speclink-mpi " SPECLINK_VERSION);
    app.require_subcommand(1);
    app.footer(speclink::cli::kExitCodeHelp);
    app.option_defaults()->always_capture_default();
    const std::string command_line = speclink::cli::CommandLine("speclink-mpi", argc, argv);
    speclink::cli::AddClusterCommand(app, command_line, speclink::mpi::RunEngineMpi);
    speclink::cli::AddModsearchCommand(app, command_line, speclink::mpi::RunEngineMpi);
    const int code = speclink::cli::RunCommandLine(app, argc, argv);
    speclink::mpi::MpiComm::Finish();
    return code;
}
