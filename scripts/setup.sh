#!/usr/bin/env bash
# On a fresh Debian 12 machine: installs what is missing, builds speclink and clusters
# the shipped example data set.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build/release -j "$(nproc)"
build/release/cli/speclink cluster examples/simulated.mgf -o example-output
