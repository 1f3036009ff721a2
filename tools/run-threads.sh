#!/usr/bin/env bash
# The full ThreadSanitizer run of the C interface: 8 threads x 100,000 mixed
# requests each, every answer compared with a serial run (CTest runs
# 8 x 2,000).  A data race stops the run with ThreadSanitizer's report.
#   tools/run-threads.sh [THREADS [REQUESTS]]     (build dir: build)
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build -j2 --target pluvar_threads_tsan >/dev/null
TSAN_OPTIONS=halt_on_error=1 build/tests/pluvar_threads_tsan "${1:-8}" "${2:-100000}"
