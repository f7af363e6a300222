#!/usr/bin/env bash
# Times two commands side by side: RUNS rounds of A then B (after one warm-up round), each
# run measured by /usr/bin/time, and prints the median and range of wall seconds, CPU
# seconds and peak memory of each, and the median of the ratios A/B taken round by round
# (so that a drift of the machine's speed during the rounds cancels).
#
#   bench/compare.sh RUNS LABEL_A 'COMMAND A' LABEL_B 'COMMAND B'
#
# The commands run through bash; a command may use $ROUND (1, 2, ...; 0 for the warm-up)
# to write into a fresh output directory each round. Their output goes to /dev/null.
set -euo pipefail
if [ $# -ne 5 ] || ! [[ $1 =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: bench/compare.sh RUNS LABEL_A 'COMMAND A' LABEL_B 'COMMAND B'" >&2
  exit 2
fi
runs=$1
labels=("$2" "$4")
commands=("$3" "$5")
log=$(mktemp)
trap 'rm -f "$log" "$log.time"' EXIT

for round in $(seq 0 "$runs"); do
  for side in 0 1; do
    ROUND=$round /usr/bin/time -f '%e %U %S %M' -o "$log.time" bash -c "${commands[$side]}" > /dev/null 2>&1 || {
      echo "command failed: ${commands[$side]}" >&2
      exit 1
    }
    [ "$round" -eq 0 ] || echo "$side $(cat "$log.time")" >> "$log"
  done
done

/usr/bin/python3 - "$log" "${labels[0]}" "${labels[1]}" <<'PY'
import statistics, sys
rows = [line.split() for line in open(sys.argv[1])]
labels = sys.argv[2:4]
runs = {0: [], 1: []}
for side, wall, user, system, kib in rows:
    runs[int(side)].append((float(wall), float(user) + float(system), int(kib) / 1024))
def show(values, unit):
    return f"{statistics.median(values):9.2f} {unit} ({min(values):.2f} to {max(values):.2f})"
print(f"{'':24} {'wall':>30} {'cpu':>30} {'peak memory':>34}")
for side in (0, 1):
    walls, cpus, mibs = zip(*runs[side])
    print(f"{labels[side]:24} {show(walls, 's'):>30} {show(cpus, 's'):>30} {show(mibs, 'MiB'):>34}")
ratios = [(a[0] / b[0], a[1] / b[1], a[2] / b[2]) for a, b in zip(runs[0], runs[1])]
wall, cpu, mib = (statistics.median(r) for r in zip(*ratios))
print(f"{labels[0] + ' / ' + labels[1]:24} {wall:22.3f} {cpu:30.3f} {mib:34.3f}   (medians of {len(ratios)} rounds)")
PY
