#!/usr/bin/env bash
# Line coverage of each source file of the program (gcc + gcov), once from
# the test suite and once from replaying the fuzz corpora of build-fuzz/.
#   tools/coverage.sh
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup-debian.sh
dir=build-cov
cmake -S . -B $dir -DPLUVAR_COVERAGE=ON -DPLUVAR_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build $dir -j"$(nproc)" >/dev/null

report() {
  local objdir=$dir/CMakeFiles/pluvar_core.dir/src
  (cd $objdir && gcov -n *.gcno 2>/dev/null) |
    awk '/^File .*src\//{f=$2} /^Lines executed/{if (f != "") {gsub(/\x27/, "", f); sub(/.*src\//, "src/", f); printf "  %-24s %s\n", f, $0; f=""}}'
}

find $dir -name '*.gcda' -delete
(cd $dir && ctest -j"$(nproc)" >/dev/null) || echo "(some tests failed in the coverage build)"
echo "Line coverage by the test suite:"
report

if [ -d build-fuzz/corpus ]; then
  find $dir -name '*.gcda' -delete
  for t in cli account iban sepa search engine; do
    [ -d build-fuzz/corpus/$t ] && $dir/tests/fuzz/replay_$t build-fuzz/corpus/$t >/dev/null
  done
  echo "Line coverage by the fuzz corpora:"
  report
fi
