#!/usr/bin/env bash
# Sets up, builds and runs every test.
#   tools/run-tests.sh              Release build, warnings are errors (build/)
#   tools/run-tests.sh --sanitize   AddressSanitizer + UBSan build (build-asan/)
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup-debian.sh

dir=build
flags=(-DCMAKE_BUILD_TYPE=Release -DPLUVAR_WERROR=ON)
if [ "${1:-}" = "--sanitize" ]; then
  dir=build-asan
  flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DPLUVAR_WERROR=ON -DPLUVAR_SANITIZE=ON -DPLUVAR_BENCH=OFF)
fi

cmake -S . -B "$dir" "${flags[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"
cd "$dir"
ctest -j"$(nproc)" --output-on-failure
