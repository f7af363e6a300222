#!/usr/bin/env bash
# On a fresh Debian 12 machine: installs what is missing, builds the speclink command and
# clusters the shipped example data set into example-output/.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build/app -DCMAKE_BUILD_TYPE=Release -DSPECLINK_BUILD_TESTS=OFF -DSPECLINK_BUILD_BENCH=OFF > /dev/null
cmake --build build/app --target speclink_cli -j "$(nproc)"
build/app/cli/speclink cluster examples/simulated.mgf -o example-output --overwrite
