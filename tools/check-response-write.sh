#!/usr/bin/env bash
# Watches the program's writes with strace and checks that the response line
# (code=... and its fields) lies inside one write(2), also after searches
# with many hit lines.  Output goes to a file, a pipe and /dev/null.
#   tools/check-response-write.sh [PLUVAR]      (default: build/pluvar)
# Needs strace (apt-get install strace).
set -uo pipefail
cd "$(dirname "$0")/.."
pluvar=${1:-build/pluvar}
command -v strace >/dev/null || { echo "strace is not installed"; exit 77; }
[ -x "$pluvar" ] || { echo "no program at $pluvar"; exit 1; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
status=0
check() {  # check TARGET ARGS...: TARGET is file, pipe or null
  local target=$1
  shift
  local trace=$tmp/trace
  case $target in
    file) strace -o "$trace" -e trace=write -s 0 "$pluvar" "$@" >"$tmp/out" ;;
    pipe) strace -o "$trace" -e trace=write -s 0 "$pluvar" "$@" | cat >"$tmp/out" ;;
    null) strace -o "$trace" -e trace=write -s 0 "$pluvar" "$@" >/dev/null ;;
  esac
  "$pluvar" "$@" >"$tmp/expected"
  local expected_status=$?
  python3 - "$trace" "$tmp/expected" "$target" "$expected_status" "$*" <<'PY' || status=1
import re, sys
trace, expected_path, target, expected_status, args = sys.argv[1:]
answer = open(expected_path, "rb").read()
line_start = answer.rfind(b"\n") + 1
line_end = len(answer)
# The returned counts of the writes place each of them inside the answer.
writes = []
for rec in open(trace):
    m = re.match(r"write\(1, .*\)\s*=\s*(-?\d+)", rec)
    if m:
        writes.append(int(m.group(1)))
if any(n < 0 for n in writes):
    print(f"FAIL {target} {args}: a write failed: {writes}")
    sys.exit(1)
pos, inside = 0, False
for n in writes:
    if pos <= line_start and line_end <= pos + n:
        inside = True
    pos += n
if pos != len(answer):
    print(f"FAIL {target} {args}: {pos} bytes written, answer has {len(answer)}")
    sys.exit(1)
if not inside:
    print(f"FAIL {target} {args}: response line at {line_start}..{line_end} split over writes {writes}")
    sys.exit(1)
print(f"ok   {target} {args}: {len(writes)} writes, {pos} bytes, response line "
      f"({line_end - line_start} bytes) in one write, status {expected_status}")
PY
}

for target in file pipe null; do
  check "$target" search -allinfo 'max=749'
  check "$target" search -allinfo 'max=1298'
  check "$target" search -allinfo 'nam=spark&max=9999'
  check "$target" -allinfo 'knr=0532013000&blz=37040044'
done
exit $status
