#!/usr/bin/env bash
# Which similarity method finds the modified pairs: runs speclink modsearch with methods 1
# ("Dot Product"), 2 ("Dot Product Mod"), 4 ("Dot Product X") and 7 ("Comprehensive") on
# simulated spectra and counts, from the truth table, the listed pairs that are a peptide and
# its modified form (precision) and how many of all such pairs in the mass window were
# found (recall), with the time each took. Files of ../shared/data, when given, are searched
# too and their pair counts and top offsets shown.
#
#   bench/modsearch_methods.sh [SPECTRA] [REAL_FILE ...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
spectra=${1:-20000}
shift || true
speclink=${SPECLINK:-$root/build/release/cli/speclink}
work=$(mktemp -d "${TMPDIR:-/tmp}/speclink-methods-XXXXXX")
trap 'rm -rf "$work"' EXIT

"$speclink" simulate -n "$spectra" --seed 11 -o "$work/in.mgf" --truth "$work/truth.tsv" > /dev/null
printf '%-16s %8s %8s %10s %8s %8s\n' method listed true precision recall seconds
for method in 1 2 4 7; do
  start=$(date +%s.%N)
  "$speclink" modsearch "$work/in.mgf" -o "$work/m$method" --method "$method" > /dev/null
  end=$(date +%s.%N)
  /usr/bin/python3 - "$work/truth.tsv" "$work/m$method/pairs.csv" "$method" "$(echo "$end - $start" | bc)" <<'PY'
import csv, sys
truth = {}
with open(sys.argv[1]) as f:
    for row in csv.DictReader(f, delimiter="\t"):
        truth[row["scan"]] = (row["peptide"], row["modification"], float(row["modification_mass"]), float(row["precursor_mz"]), int(row["charge"]))
def scan(name):
    return name.split(".")[-4]
def modified_pair(a, b):
    return a[0] == b[0] and (a[1] == "-") != (b[1] == "-")
# Every pair of a peptide and its modified form whose mass difference lies in 6 to 200 Da.
by_peptide = {}
for s, t in truth.items():
    by_peptide.setdefault(t[0], []).append(t)
possible = 0
for forms in by_peptide.values():
    for i in range(len(forms)):
        for j in range(i + 1, len(forms)):
            a, b = forms[i], forms[j]
            if modified_pair(a, b) and 6 <= abs(a[2] - b[2]) <= 200:
                possible += 1
listed = true = 0
seen = set()
with open(sys.argv[2]) as f:
    for line in f:
        fields = line.rstrip("\n").split(",")
        a, b = scan(fields[0]), scan(fields[2])
        key = tuple(sorted((a, b)))
        if key in seen:
            continue
        seen.add(key)
        listed += 1
        if modified_pair(truth[a], truth[b]):
            true += 1
names = {"1": "Dot Product", "2": "Dot Product Mod", "4": "Dot Product X", "7": "Comprehensive"}
print(f"{names[sys.argv[3]]:16} {listed:8} {true:8} {true / max(listed, 1):10.3f} {true / max(possible, 1):8.3f} {float(sys.argv[4]):8.2f}")
PY
done
for file in "$@"; do
  echo "== $file"
  for method in 2 7; do
    out="$work/real-$method-$(basename "$file")"
    "$speclink" modsearch "$file" -o "$out" --method "$method" --charge 2,3 > "$out.log" 2>&1 || { echo "method $method: failed"; continue; }
    echo "method $method: $(grep -o '[0-9]* pairs listed' "$out.log"); $(grep 'largest mass offsets' "$out.log" | sed 's/^ *//')"
  done
done
