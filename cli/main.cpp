#include "speclink/cli/ProcessEnd.h"
#include "speclink/cli/SpeclinkApp.h"

int main(int argc, char** argv) { speclink::cli::ExitKeeping(speclink::cli::RunSpeclink(argc, argv)); }
