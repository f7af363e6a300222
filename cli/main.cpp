#include "speclink/cli/SpeclinkApp.h"

int main(int argc, char** argv) { return speclink::cli::RunSpeclink(argc, argv); }
