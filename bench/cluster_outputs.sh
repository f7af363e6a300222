#!/usr/bin/env bash
# The outputs of speclink cluster against those it wrote before: clusters 100 000 simulated
# spectra with today's default outputs (cluster list, cluster table, consensus.mgf) and with
# the command of BASE_COMMIT (default 69884c1), which wrote one DTA file per cluster, side by
# side in one run (bench/compare.sh, RUNS rounds, default 5). Both on 2 threads, in TMPDIR.
#
#   bench/cluster_outputs.sh [SPECTRA]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
spectra=${1:-100000}
base_commit=${BASE_COMMIT:-69884c1}
work=$(mktemp -d "${TMPDIR:-/tmp}/speclink-outputs-XXXXXX")
trap 'rm -rf "$work"' EXIT

echo "building this tree and $base_commit" >&2
cmake -S "$root" -B "$work/new" -DCMAKE_BUILD_TYPE=Release -DSPECLINK_BUILD_TESTS=OFF -DSPECLINK_BUILD_BENCH=OFF > /dev/null
cmake --build "$work/new" --target speclink_cli -j "$(nproc)" > /dev/null
mkdir "$work/base-src"
git -C "$root" archive "$base_commit" | tar -x -C "$work/base-src"
cmake -S "$work/base-src" -B "$work/base" -DCMAKE_BUILD_TYPE=Release -DSPECLINK_BUILD_TESTS=OFF \
  -DSPECLINK_BUILD_BENCH=OFF > /dev/null
cmake --build "$work/base" --target speclink_cli -j "$(nproc)" > /dev/null

"$work/new/cli/speclink" simulate -n "$spectra" --seed 7 -o "$work/in.mgf" --truth "$work/truth.tsv" > /dev/null
echo "cluster $spectra spectra, 2 threads: default outputs against the DTA files of $base_commit"
"$root/bench/compare.sh" "${RUNS:-5}" \
  "default outputs" "rm -rf $work/a; $work/new/cli/speclink cluster $work/in.mgf -o $work/a --threads 2" \
  "DTA files ($base_commit)" "rm -rf $work/b; $work/base/cli/speclink cluster $work/in.mgf -o $work/b --threads 2"
