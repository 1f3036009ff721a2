#!/usr/bin/env bash
# Fuzzes every mode with libFuzzer under AddressSanitizer + UBSan.
#   tools/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]
# Targets: cli account iban sepa search engine batch (default: all).  CI runs about a
# minute each; run longer for a deeper campaign, e.g. tools/fuzz.sh 3600.
# PLUVAR_FUZZ_RUNS=N stops each target after N inputs (whichever comes first);
# PLUVAR_FUZZ_NO_BUILD=1 reuses build-fuzz/ (to run several campaigns at once).
# The corpora grow under build-fuzz/corpus/; a finding is written to
# build-fuzz/findings/ and fails the run.
set -uo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(cli account iban sepa search engine batch)

if [ "${PLUVAR_FUZZ_NO_BUILD:-0}" != 1 ]; then
  PLUVAR_WITH_FUZZ=1 tools/setup-debian.sh || exit 1
  CXX=clang++ cmake -S . -B build-fuzz -DPLUVAR_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || exit 1
  cmake --build build-fuzz -j"$(nproc)" >/dev/null || exit 1
fi
runs=()
[ -n "${PLUVAR_FUZZ_RUNS:-}" ] && runs=(-runs="$PLUVAR_FUZZ_RUNS")

# Seed corpora from the test cases: one input per line; a tab separates the
# arguments of the command-line target; in the batch target's seeds \n, \r,
# \t and \xHH stand for those bytes.
python3 - "${targets[@]}" <<'PY'
import os, sys
for t in sys.argv[1:]:
    d = os.path.join("build-fuzz", "corpus", t)
    os.makedirs(d, exist_ok=True)
    seeds = os.path.join("tests", "fuzz", "seeds", t + ".txt")
    if not os.path.exists(seeds):
        continue
    with open(seeds, "rb") as f:
        for i, line in enumerate(f.read().split(b"\n")):
            if line:
                with open(os.path.join(d, "seed%03d" % i), "wb") as out:
                    if t == "cli":
                        line = line.replace(b"\t", b"\0")
                    elif t == "batch":
                        line = line.decode("unicode_escape").encode("latin-1")
                    out.write(line)
PY

mkdir -p build-fuzz/findings
status=0
total=0
for t in "${targets[@]}"; do
  log=build-fuzz/fuzz_$t.log
  build-fuzz/tests/fuzz/fuzz_$t build-fuzz/corpus/$t -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=4096 -max_len=400 -print_final_stats=1 "${runs[@]}" \
    -artifact_prefix=build-fuzz/findings/"$t"- >"$log" 2>&1
  rc=$?
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$')
  total=$((total + ${execs:-0}))
  if [ $rc -ne 0 ]; then
    status=1
    echo "fuzz_$t: FINDING (exit $rc), see $log and build-fuzz/findings/"
    # The broken invariant, the answer and the input (libFuzzer's Base64 line),
    # so that a run on another machine can be replayed from its log alone.
    grep -m8 -E 'ERROR|invariant|^output:|SUMMARY|^Base64:' "$log"
  else
    echo "fuzz_$t: ${execs:-?} inputs, no findings"
  fi
done
echo "fuzzing: $total inputs in all"
exit $status
