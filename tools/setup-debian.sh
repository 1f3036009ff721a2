#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks to build, test and benchmark
# Pluvar.  Installs nothing when everything is present.
set -euo pipefail

# python3-stdnum: a peer library that judges the national check digits in a
# test (a black box at test time only; Pluvar never links or reads it).
packages=(cmake g++ make libgtest-dev libbenchmark-dev libboost-dev python3 pkg-config python3-stdnum)
# The peer baseline of bench/bench_directory only (never linked into Pluvar).
packages+=(libktoblzcheck1-dev)
[ "${PLUVAR_WITH_FUZZ:-0}" = 1 ] && packages+=(clang libclang-rt-dev)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
