#!/usr/bin/env bash
# Installs the Debian 12 packages speclink builds and tests with, if any is missing.
set -euo pipefail

packages=(g++ cmake make pkg-config googletest libgtest-dev libbenchmark-dev librapidcheck-dev
          libcli11-dev zlib1g-dev libexpat1-dev libmsnumpress-dev clang libclang-rt-14-dev)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "installing: ${missing[*]}" >&2
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
