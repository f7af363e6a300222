#!/usr/bin/env bash
# One machine at repository scale, measured in one run against BASE_COMMIT (default 371c768,
# the code before spilling and the faster readers) built beside this tree, both on 2 threads:
#
#   1. speclink cluster on 1 000 000 simulated spectra: time and peak memory, and the same files;
#   2. speclink cluster on 5 000 000 with --memory 3G (records spill to disk): peak memory,
#      beside the base, which holds every record;
#   3. reading MGF (the 1 000 000 spectra) and mzML (200 000 spectra of 200 peaks, arrays plain
#      and zlib-compressed) through the readers alone (bench/tools/spectra_read), beside
#      cat FILE > /dev/null of the same file;
#   4. speclink modsearch on 100 000 spectra: time, and the same pair lists.
#
# Each comparison is bench/compare.sh with RUNS rounds (default 3; 1 for the 5 000 000). The
# inputs are simulated once into BENCH_DATA (default /tmp/speclink-bench-data, about 7 GB)
# and kept for later runs; outputs go to a temporary directory. Takes about 40 minutes.
#
#   bench/scale.sh [cluster|read|modsearch|all]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
what=${1:-all}
base_commit=${BASE_COMMIT:-371c768}
runs=${RUNS:-3}
data=${BENCH_DATA:-/tmp/speclink-bench-data}
work=$(mktemp -d "${TMPDIR:-/tmp}/speclink-scale-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$data"

echo "building this tree and $base_commit" >&2
cmake -S "$root" -B "$work/new" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSPECLINK_BUILD_TESTS=OFF > /dev/null
cmake --build "$work/new" --target speclink_cli spectra_read mzml_generate -j "$(nproc)" > /dev/null
mkdir "$work/base-src"
git -C "$root" archive "$base_commit" | tar -x -C "$work/base-src"
cmake -S "$work/base-src" -B "$work/base" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSPECLINK_BUILD_TESTS=OFF \
  -DSPECLINK_BUILD_BENCH=OFF > /dev/null
cmake --build "$work/base" --target speclink_cli -j "$(nproc)" > /dev/null
new=$work/new/cli/speclink
base=$work/base/cli/speclink

simulated() {  # simulated SPECTRA: the MGF file of that many simulated spectra
  local file=$data/sim$1.mgf
  [ -s "$file" ] || "$new" simulate -n "$1" --seed 7 -o "$file" --truth "$data/sim$1.tsv" > /dev/null
  echo "$file"
}

same_files() {  # same_files DIR_A DIR_B FILE...: says whether the files are byte for byte the same
  local a=$1 b=$2 file
  shift 2
  for file in "$@"; do
    if cmp -s "$a/$file" "$b/$file"; then echo "  $file: the same"; else echo "  $file: DIFFERENT"; fi
  done
}

if [ "$what" = cluster ] || [ "$what" = all ]; then
  million=$(simulated 1000000)
  echo "== cluster 1 000 000 spectra, 2 threads"
  "$root/bench/compare.sh" "$runs" \
    "this tree" "rm -rf $work/a; $new cluster $million -o $work/a --threads 2" \
    "$base_commit" "rm -rf $work/b; $base cluster $million -o $work/b --threads 2"
  same_files "$work/a" "$work/b" clusters.csv clusters.tsv consensus.mgf
  "$new" cluster "$million" -o "$work/summary" --threads 2 --overwrite | grep -E "time:"

  five=$(simulated 5000000)
  echo "== cluster 5 000 000 spectra, 2 threads, --memory 3G (the base holds every record)"
  "$root/bench/compare.sh" 1 \
    "this tree, 3G" "rm -rf $work/a; $new cluster $five -o $work/a --threads 2 --memory 3G" \
    "$base_commit" "rm -rf $work/b; $base cluster $five -o $work/b --threads 2"
  same_files "$work/a" "$work/b" clusters.csv clusters.tsv consensus.mgf
fi

if [ "$what" = read ] || [ "$what" = all ]; then
  million=$(simulated 1000000)
  mzml=$data/generated200k.mzML
  [ -s "$mzml" ] || "$work/new/bench/tools/mzml_generate" "$mzml" 200000 200
  zlib_mzml=$data/generated200k-zlib.mzML
  [ -s "$zlib_mzml" ] || "$work/new/bench/tools/mzml_generate" "$zlib_mzml" 200000 200 zlib
  for file in "$million" "$mzml" "$zlib_mzml"; do
    echo "== read $(basename "$file") ($(( $(stat -L -c %s "$file") / 1000000 )) MB), 2 threads, beside cat"
    cat "$file" > /dev/null
    "$root/bench/compare.sh" "$runs" \
      "readers" "$work/new/bench/tools/spectra_read --threads 2 $file" \
      "cat" "cat $file"
  done
fi

if [ "$what" = modsearch ] || [ "$what" = all ]; then
  hundred=$(simulated 100000)
  echo "== modsearch 100 000 spectra, 2 threads"
  "$root/bench/compare.sh" "$runs" \
    "this tree" "rm -rf $work/a; $new modsearch $hundred -o $work/a --threads 2" \
    "$base_commit" "rm -rf $work/b; $base modsearch $hundred -o $work/b --threads 2"
  same_files "$work/a" "$work/b" pairs.csv temp.temp offsets.tsv
fi
