#!/usr/bin/env bash
# Runs the libFuzzer targets of tests/fuzz for a given time each, one after the other:
#   scripts/fuzz.sh TARGET|all SECONDS
# TARGET is a file name of tests/fuzz without "fuzz_" and ".cpp" (e.g. mgf, mzml, scoring).
# The targets are built with clang into build/fuzz (FUZZ_BUILD_DIR overrides it). Each run
# starts from the seeds in tests/fuzz/corpus/TARGET, which it only reads; new corpus entries,
# crash artifacts and the targets' own scratch files go into a fresh temporary directory. On a
# finding the script prints the artifact's path, keeps that directory and exits 1; otherwise
# the directory is removed (FUZZ_KEEP=1 keeps it) and the final libFuzzer statistics
# ("#N DONE cov: X ft: Y ...") of every target are printed. A unit that runs for 25 s is a
# finding (a timeout); one merely slower than libFuzzer's usual 10 s is not, since a busy
# machine can stall any unit that long.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -ne 2 ] || ! [[ $2 =~ ^[0-9]+$ ]]; then
  echo "usage: scripts/fuzz.sh TARGET|all SECONDS" >&2
  exit 2
fi
target=$1
seconds=$2
source_dir=$(pwd)
build=${FUZZ_BUILD_DIR:-build/fuzz}
case $build in
  /*) ;;
  *) build="$source_dir/$build" ;;
esac

all_targets() {
  for source in tests/fuzz/fuzz_*.cpp; do
    name=${source##*/fuzz_}
    echo "${name%.cpp}"
  done
}
if [ "$target" = all ]; then
  targets=$(all_targets)
elif [ -f "tests/fuzz/fuzz_$target.cpp" ]; then
  targets=$target
else
  echo "unknown fuzz target '$target'; known: $(all_targets | tr '\n' ' ')" >&2
  exit 2
fi

cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSPECLINK_FUZZ=ON \
  -DSPECLINK_BUILD_TESTS=OFF -DSPECLINK_BUILD_BENCH=OFF > /dev/null
for name in $targets; do build_targets+=("fuzz_$name"); done
cmake --build "$build" -j "$(nproc)" --target "${build_targets[@]}"

# Largest input per target: the XML formats need room for a few spectra, the mass-difference
# grouping is quadratic in the number of lines.
max_len() {
  case $1 in
    mzml | mzxml | gzip) echo 16384 ;;
    *) echo 4096 ;;
  esac
}

summary=()
for name in $targets; do
  scratch=$(mktemp -d "${TMPDIR:-/tmp}/speclink-fuzz-$name.XXXXXX")
  mkdir -p "$scratch/corpus" "$scratch/artifacts" "$scratch/tmp"
  echo "== fuzz_$name for ${seconds}s (scratch: $scratch)"
  status=0
  (cd "$scratch" && TMPDIR="$scratch/tmp" "$build/tests/fuzz/fuzz_$name" \
      -max_total_time="$seconds" -print_final_stats=1 -close_fd_mask=1 -timeout=25 -report_slow_units=25 \
      -rss_limit_mb=2048 \
      -max_len="$(max_len "$name")" -artifact_prefix="$scratch/artifacts/" \
      "$scratch/corpus" "$source_dir/tests/fuzz/corpus/$name") > "$scratch/log" 2>&1 || status=$?
  done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$scratch/log" | tail -n 1 || true)
  if [ $status -ne 0 ] || [ -n "$(ls -A "$scratch/artifacts")" ]; then
    tail -n 60 "$scratch/log" >&2
    echo "fuzz_$name: FINDING (exit $status); artifacts in $scratch/artifacts, log in $scratch/log" >&2
    exit 1
  fi
  summary+=("fuzz_$name: $done_line")
  if [ "${FUZZ_KEEP:-0}" = 1 ]; then echo "kept $scratch"; else rm -rf "$scratch"; fi
done
printf '%s\n' "${summary[@]}"
echo "fuzz: ${#summary[@]} passed, 0 failed"
