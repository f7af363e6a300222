#!/usr/bin/env bash
# Builds and runs every test: the C++ tests of a plain optimised build (with the MPI runner
# against the command on one process), the pytest tests of the Python module and the
# browser test of report.html (headless Chromium), a clang build of the libFuzzer targets
# run each for SPECLINK_FUZZ_SECONDS (default 20) from its seed corpus, so that a regression
# on hostile input shows, and the C++ tests again under AddressSanitizer +
# UndefinedBehaviorSanitizer (LeakSanitizer on). Any failure, report or finding fails.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --test

jobs=$(nproc)
run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" "$@" > /dev/null
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs"
}

echo "== release build, with speclink-mpi (its tests run mpirun on 1 to 3 processes) and the Python module"
run_suite build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSPECLINK_MPI=ON -DSPECLINK_PYTHON=ON

echo "== Python: the module against the command, and report.html in headless Chromium"
SPECLINK="$PWD/build/release/cli/speclink" PYTHONPATH="$PWD/build/release/python" \
  /usr/bin/python3 -m pytest -q -p no:cacheprovider tests/python tests/browser

echo "== fuzz build (clang, libFuzzer + ASan + UBSan)"
FUZZ_BUILD_DIR=build/fuzz scripts/fuzz.sh all "${SPECLINK_FUZZ_SECONDS:-20}"

echo "== sanitizer build (ASan + UBSan + LSan)"
export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:abort_on_error=0:strict_string_checks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
run_suite build/sanitize -DCMAKE_BUILD_TYPE=Debug -DSPECLINK_SANITIZE=ON -DSPECLINK_BUILD_BENCH=OFF
