#!/usr/bin/env bash
# Whole-run benchmark of the two engines on simulated data.
#
# Simulates data sets with `speclink simulate`, runs the plain engines (the sources of
# PLAIN_COMMIT, before the fast paths, built aside) and the fast engines at 1 and 2
# threads, checks that every output file and the standard output are byte-identical, and
# prints seconds, spectra per second and peak memory for each run.
#
#   bench/whole_run.sh            clustering 10 000 and 100 000, modsearch 5 000 and 20 000
#   bench/whole_run.sh --quick    clustering 2 000, modsearch 1 000
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
plain_commit=${PLAIN_COMMIT:-f5f8e3a}
cluster_sizes=(10000 100000)
modsearch_sizes=(5000 20000)
if [ "${1:-}" = "--quick" ]; then cluster_sizes=(2000); modsearch_sizes=(1000); fi

work=$(mktemp -d "${TMPDIR:-/tmp}/speclink-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
jobs=$(nproc)

echo "building the fast engines (this tree) and the plain ones ($plain_commit)" >&2
cmake -S "$root" -B "$work/fast-build" -DCMAKE_BUILD_TYPE=Release -DSPECLINK_BUILD_TESTS=OFF \
  -DSPECLINK_BUILD_BENCH=OFF > /dev/null
cmake --build "$work/fast-build" --target speclink_cli -j "$jobs" > /dev/null
mkdir "$work/plain-src"
git -C "$root" archive "$plain_commit" | tar -x -C "$work/plain-src"
cmake -S "$work/plain-src" -B "$work/plain-build" -DCMAKE_BUILD_TYPE=Release -DSPECLINK_BUILD_TESTS=OFF \
  -DSPECLINK_BUILD_BENCH=OFF > /dev/null
cmake --build "$work/plain-build" --target speclink_cli -j "$jobs" > /dev/null
fast="$work/fast-build/cli/speclink"
plain="$work/plain-build/cli/speclink"

printf '%-10s %8s %-6s %7s %9s %11s %9s %8s %8s  %s\n' job spectra engine threads seconds spectra/s peak-MiB \
  read-s engine-s output
# run JOB N ENGINE THREADS INPUT: one timed run into its own output directory.
run() {
  local job=$1 n=$2 engine=$3 threads=$4 input=$5
  local out="$work/out-$job-$n-$engine-$threads" binary=$fast extra=(--threads "$threads")
  if [ "$engine" = plain ]; then binary=$plain; extra=(); fi
  /usr/bin/time -f '%e %M' -o "$work/time" "$binary" "$job" "$input" -o "$out" "${extra[@]}" \
    > "$work/stdout-$job-$n-$engine-$threads" 2> /dev/null
  # The summary's timing and paths and the parameter record differ between runs by design.
  grep -v -e '^speclink ' -e 'files written' -e '  result: ' "$work/stdout-$job-$n-$engine-$threads" > "$out/.stdout"
  rm -f "$out/speclink.params"
  read -r seconds kib < "$work/time"
  # The fast build's summary splits the time: "(reading R s, clustering E s)".
  local phases
  phases=$(sed -n 's/^speclink .* (reading \([0-9.]*\) s, [a-z]* \([0-9.]*\) s)$/\1 \2/p' \
    "$work/stdout-$job-$n-$engine-$threads")
  local reading=${phases% *} engine_seconds=${phases#* }
  [ -n "$phases" ] || { reading=-; engine_seconds=-; }
  echo "$job $n $engine $threads $seconds $engine_seconds" >> "$work/times"
  local same="reference"
  if [ "$engine" != plain ]; then
    if diff -r -q "$work/out-$job-$n-plain-1" "$out" > /dev/null; then same="identical"; else same="DIFFERENT"; fi
  fi
  awk -v job="$job" -v n="$n" -v engine="$engine" -v threads="$threads" -v s="$seconds" -v kib="$kib" \
      -v r="$reading" -v e="$engine_seconds" -v same="$same" \
      'BEGIN { printf "%-10s %8d %-6s %7d %9.2f %11.0f %9.1f %8s %8s  %s\n",
                      job, n, engine, threads, s, n / (s + 0.001), kib / 1024, r, e, same }'
  [ "$same" != DIFFERENT ]
}

status=0
for spec in $(for n in "${cluster_sizes[@]}"; do echo "cluster:$n"; done; \
              for n in "${modsearch_sizes[@]}"; do echo "modsearch:$n"; done); do
  job=${spec%%:*}; n=${spec##*:}
  input="$work/sim-$n.mgf"
  [ -f "$input" ] || "$fast" simulate -n "$n" --seed 7 -o "$input" --truth "$work/sim-$n.tsv" > /dev/null
  run "$job" "$n" plain 1 "$input" || status=1
  run "$job" "$n" fast 1 "$input" || status=1
  run "$job" "$n" fast 2 "$input" || status=1
done

# Ratios side by side: the fast engines on one thread over the plain ones, and two threads
# over one, for the whole command and for the engine's part of it.
echo
awk '{ key = $1 " " $2; t[key, $3 $4] = $5; e[key, $3 $4] = $6; if (!(key in seen)) { seen[key] = 1; order[++k] = key } }
     END { printf "%-17s %17s %17s %17s\n", "job", "fast-1/plain", "2 vs 1 threads", "2 vs 1 (engine)"
           for (i = 1; i <= k; ++i) { key = order[i]
             engine = (e[key, "fast2"] > 0) ? sprintf("%.2fx", e[key, "fast1"] / e[key, "fast2"]) : "-"
             printf "%-17s %16.2fx %16.2fx %17s\n", key, t[key, "plain1"] / t[key, "fast1"],
                    t[key, "fast1"] / t[key, "fast2"], engine } }' "$work/times"
exit $status
