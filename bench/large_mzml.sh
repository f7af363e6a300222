#!/usr/bin/env bash
# Shows that a multi-gigabyte mzML file is read in bounded memory: writes one with MzmlWriter
# (streamed, default 450000 spectra of 200 peaks, about 2.5 GB) into a temporary directory,
# reads it back through ReadSpectra with a counting sink, and reports the file size and both
# programs' maximum resident set size (/usr/bin/time -v). Then reads a tenth of it the same
# way: bounded memory means the two maxima are about equal.
#   bench/large_mzml.sh [SPECTRA [PEAKS]]
# Uses build/release (scripts/setup.sh or scripts/test.sh builds it); BUILD_DIR overrides it.
# Needs about 3 GB free in TMPDIR (default /tmp); the file is removed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

spectra=${1:-450000}
peaks=${2:-200}
build=${BUILD_DIR:-build/release}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSPECLINK_BUILD_BENCH=ON > /dev/null
cmake --build "$build" -j "$(nproc)" --target mzml_generate spectra_read > /dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/speclink-large-mzml.XXXXXX")
trap 'rm -rf "$work"' EXIT

max_rss() { sed -n 's/^[[:space:]]*Maximum resident set size (kbytes): //p' "$1"; }
elapsed() { sed -n 's/^[[:space:]]*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$1"; }

run() {
  local label=$1 count=$2
  local file="$work/$label.mzML"
  /usr/bin/time -v -o "$work/write.time" "$build/bench/tools/mzml_generate" "$file" "$count" "$peaks"
  local size
  size=$(stat -c %s "$file")
  /usr/bin/time -v -o "$work/read.time" "$build/bench/tools/spectra_read" "$file" > "$work/read.out"
  printf '%-6s %9d spectra x %d peaks: %6.2f GB; write %s, max RSS %s kB; read %s, max RSS %s kB; %s\n' \
    "$label" "$count" "$peaks" "$(awk -v bytes="$size" 'BEGIN { print bytes / 1e9 }')" "$(elapsed "$work/write.time")" \
    "$(max_rss "$work/write.time")" "$(elapsed "$work/read.time")" "$(max_rss "$work/read.time")" \
    "$(cat "$work/read.out")"
  rm -f "$file"
}

run small $((spectra / 10))
run large "$spectra"
