#!/usr/bin/env bash
# Sets up, builds pluvar and answers one example query.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup-debian.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target pluvar >/dev/null
if [ $# -eq 0 ]; then
  set -- search -allinfo blz=10000000
fi
echo "\$ pluvar $*"
status=0
./build/pluvar "$@" || status=$?
echo
echo "(exit status $status)"
