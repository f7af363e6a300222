#!/usr/bin/env bash
# speclink-mpi on 2 ranks against 1, one thread each, side by side in one run (bench/compare.sh,
# RUNS rounds, default 3): clustering 200 000 simulated spectra and the modification search on
# 50 000 (a quadratic search: 200 000 would take most of an hour on one thread). Checks that
# the files are those of one process. Needs the MPI build (scripts/test.sh makes it), or
# builds it into a temporary directory.
#
#   bench/mpi.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${RUNS:-3}
work=$(mktemp -d "${TMPDIR:-/tmp}/speclink-mpi-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT

cmake -S "$root" -B "$work/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSPECLINK_MPI=ON -DSPECLINK_BUILD_TESTS=OFF \
  -DSPECLINK_BUILD_BENCH=OFF > /dev/null
cmake --build "$work/build" --target speclink_cli speclink_mpi -j "$(nproc)" > /dev/null
speclink=$work/build/cli/speclink
mpi=$work/build/mpi/speclink-mpi
mpirun="mpirun --allow-run-as-root --oversubscribe --bind-to none"

for job in "cluster 200000" "modsearch 50000"; do
  set -- $job
  "$speclink" simulate -n "$2" --seed 11 -o "$work/$2.mgf" --truth "$work/$2.tsv" > /dev/null
  echo "== $1, $2 simulated spectra, one thread per rank"
  "$root/bench/compare.sh" "$runs" \
    "2 ranks" "rm -rf $work/two; $mpirun -n 2 $mpi $1 $work/$2.mgf -o $work/two --threads 1" \
    "1 rank" "rm -rf $work/one; $mpirun -n 1 $mpi $1 $work/$2.mgf -o $work/one --threads 1"
  rm -rf "$work/single"
  "$speclink" "$1" "$work/$2.mgf" -o "$work/single" --threads 1 > /dev/null
  $mpirun -n 2 "$mpi" "$1" "$work/$2.mgf" -o "$work/two" --threads 1 --overwrite | sed -n '/ranks:/,$p'
  for file in "$work/single"/*; do
    name=$(basename "$file")
    case $name in speclink.params|speclink.outputs|report.html) continue ;; esac
    if cmp -s "$file" "$work/two/$name"; then echo "  $name: as one process"; else echo "  $name: DIFFERENT"; fi
  done
done
