#!/usr/bin/env bash
# What the mass-offset profile and report cost: speclink modsearch on simulated spectra (pair
# search, score histogram, offsets.tsv, offsets.svg, report.html) against the pair search
# alone (speclink run with the parameter file the first run recorded, which writes the
# engine's files and nothing more), side by side in one run (bench/compare.sh, RUNS rounds,
# default 3), both keeping score.txt.
#
#   bench/modsearch_profile.sh [SPECTRA]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
spectra=${1:-20000}
speclink=${SPECLINK:-$root/build/release/cli/speclink}
work=$(mktemp -d "${TMPDIR:-/tmp}/speclink-profile-XXXXXX")
trap 'rm -rf "$work"' EXIT

"$speclink" simulate -n "$spectra" --seed 11 -o "$work/in.mgf" --truth "$work/truth.tsv" > /dev/null
"$speclink" modsearch "$work/in.mgf" -o "$work/settings" --raw-scores --threads 2 > /dev/null
echo "modsearch $spectra spectra, 2 threads: with the offset profile and report, and the pair search alone"
"$root/bench/compare.sh" "${RUNS:-3}" \
  "with profile" "rm -rf $work/a; $speclink modsearch $work/in.mgf -o $work/a --raw-scores --threads 2" \
  "pair search" "rm -rf $work/b; $speclink run $work/settings/speclink.params $work/in.mgf -o $work/b --threads 2"
cmp -s "$work/a/pairs.csv" "$work/b/pairs.csv" && echo "  pairs.csv: the same" || echo "  pairs.csv: DIFFERENT"
