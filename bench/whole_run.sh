#!/usr/bin/env bash
# Whole-run benchmark of the two engines on simulated data.
#
# Simulates data sets with `speclink simulate`, runs the plain engines (the sources of
# PLAIN_COMMIT, before the fast paths, built aside) and the fast engines at 1 and 2
# threads, checks that every output file and the standard output are byte-identical, and
# prints seconds, spectra per second and peak memory for each. The fast runs are repeated
# (REPEATS, 3 by default, alternating one and two threads) and their medians shown; the
# plain ones run once.
#
#   bench/whole_run.sh            clustering 10 000 and 100 000, modsearch 5 000 and 20 000
#   bench/whole_run.sh --quick    clustering 2 000, modsearch 1 000
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
plain_commit=${PLAIN_COMMIT:-f5f8e3a}
cluster_sizes=(10000 100000)
modsearch_sizes=(5000 20000)
if [ "${1:-}" = "--quick" ]; then cluster_sizes=(2000); modsearch_sizes=(1000); fi
repeats=${REPEATS:-3}

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
# run JOB N ENGINE THREADS INPUT REPEAT: one timed run into its own output directory; appends
# "seconds KiB reading-s engine-s" to $work/runs-JOB-N-ENGINE-THREADS and checks the output
# against the plain engine's.
run() {
  local job=$1 n=$2 engine=$3 threads=$4 input=$5 repeat=$6
  local config="$job-$n-$engine-$threads"
  local out="$work/out-$config-$repeat" binary=$fast extra=(--threads "$threads")
  if [ "$engine" = plain ]; then binary=$plain; extra=(); fi
  /usr/bin/time -f '%e %M' -o "$work/time" "$binary" "$job" "$input" -o "$out" "${extra[@]}" \
    > "$work/stdout-$config" 2> /dev/null
  # The summary's timing and paths and the parameter record differ between runs by design.
  grep -v -e '^speclink ' -e 'files written' -e '  result: ' "$work/stdout-$config" > "$out/.stdout"
  rm -f "$out/speclink.params"
  local seconds kib phases
  read -r seconds kib < "$work/time"
  # The fast build's summary splits the time: "(reading R s, clustering E s)".
  phases=$(sed -n 's/^speclink .* (reading \([0-9.]*\) s, [a-z]* \([0-9.]*\) s)$/\1 \2/p' "$work/stdout-$config")
  [ -n "$phases" ] || phases="- -"
  echo "$seconds $kib $phases" >> "$work/runs-$config"
  if [ "$engine" != plain ] && ! diff -r -q "$work/out-$job-$n-plain-1-1" "$out" > /dev/null; then
    echo "$config" >> "$work/different"
  fi
  if [ "$engine" != plain ] && [ "$repeat" -gt 1 ]; then rm -rf "$out"; fi
  return 0
}

# median COLUMN FILE: the median of a column of numbers.
median() { awk -v c="$1" '{ print $c }' "$2" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# report JOB N ENGINE THREADS: the medians of the configuration's runs, its largest peak
# memory, and whether every output equalled the plain engine's.
report() {
  local job=$1 n=$2 engine=$3 threads=$4 config="$1-$2-$3-$4"
  local runs="$work/runs-$config" same=identical
  [ "$engine" = plain ] && same=reference
  grep -qx "$config" "$work/different" 2> /dev/null && same=DIFFERENT
  local seconds reading engine_seconds kib
  seconds=$(median 1 "$runs"); reading=$(median 3 "$runs"); engine_seconds=$(median 4 "$runs")
  kib=$(awk '{ if ($2 > m) m = $2 } END { print m }' "$runs")
  echo "$job $n $engine $threads $seconds $engine_seconds" >> "$work/times"
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
  run "$job" "$n" plain 1 "$input" 1
  # The fast runs alternate between one and two threads, so that a slow spell of the
  # machine falls on both.
  for repeat in $(seq "$repeats"); do
    run "$job" "$n" fast 1 "$input" "$repeat"
    run "$job" "$n" fast 2 "$input" "$repeat"
  done
  report "$job" "$n" plain 1 || status=1
  report "$job" "$n" fast 1 || status=1
  report "$job" "$n" fast 2 || status=1
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
