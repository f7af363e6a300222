#!/usr/bin/env bash
# Installs the Debian 12 packages speclink needs, if any is missing:
#   scripts/install-deps.sh          what the command needs to build and run
#   scripts/install-deps.sh --test   that, and what the tests, benchmarks and fuzzing need
set -euo pipefail

# The command: a compiler, CMake, the option parser, the readers' libraries (fast_float parses
# the numbers of text files, libdeflate inflates the arrays of mzML files), and Unimod (in
# openms-common) to name mass offsets.
packages=(g++ cmake make pkg-config libcli11-dev zlib1g-dev libdeflate-dev libexpat1-dev libmsnumpress-dev
          libfast-float-dev openms-common)
if [ "${1:-}" = "--test" ]; then
  packages+=(googletest libgtest-dev libbenchmark-dev librapidcheck-dev clang libclang-rt-14-dev
             chromium python3-pytest libopenmpi-dev openmpi-bin pybind11-dev python3-pybind11 python3-numpy
             python3-pymzml)
elif [ $# -gt 0 ]; then
  echo "usage: scripts/install-deps.sh [--test]" >&2
  exit 2
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "installing: ${missing[*]}" >&2
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
