#!/usr/bin/env bash
# Installs a built tree into a temporary prefix and builds and runs the
# examples against the installed files only: examples/c through pkg-config
# (shared and static library), examples/cmake through find_package(Pluvar).
# Their answers must equal the installed program's.
#   tools/test-install.sh [BUILD_DIR]      (default build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null
pc=$(find "$prefix" -name pluvar.pc)
libdir=$(dirname "$(dirname "$pc")")
export PKG_CONFIG_PATH=$(dirname "$pc")
unset LD_LIBRARY_PATH
for f in bin/pluvar bin/pluvar-serve include/pluvar/pluvar.h share/man/man1/pluvar.1 share/man/man1/pluvar-serve.1 share/pluvar/python/pluvar.py; do
  [ -e "$prefix/$f" ] || { echo "not installed: $f"; exit 1; }
done
[ -e "$libdir/libpluvar.a" ] && [ -e "$libdir/libpluvar.so.1" ] || { echo "libraries missing in $libdir"; exit 1; }
pluvar=$prefix/bin/pluvar
fail=0
same() {  # name, expected, got
  if [ "$2" != "$3" ]; then
    echo "FAIL $1"; echo "  expected: $2"; echo "  got:      $3"; fail=1
  else
    echo "ok   $1"
  fi
}

# The installed `pluvar serve` finds pluvar-serve beside it and listens.
serve_out=$tmp/serve.out
"$pluvar" serve --listen 127.0.0.1:0 --threads 1 >"$serve_out" 2>&1 &
serve_pid=$!
for _ in $(seq 50); do grep -q listening "$serve_out" && break; sleep 0.1; done
kill "$serve_pid" 2>/dev/null; wait "$serve_pid" 2>/dev/null
same "installed pluvar serve listens" "pluvar serve: listening on http://127.0.0.1:" \
  "$(sed -n 's/^\(pluvar serve: listening on http:\/\/127.0.0.1:\).*/\1/p' "$serve_out")"

# C, shared library found through pkg-config (run path into the prefix).
cc -std=c11 -Wall -Wextra -Werror examples/c/check.c $(pkg-config --cflags --libs pluvar) \
  -Wl,-rpath,"$libdir" -o "$tmp/check"
# C, the static library: pkg-config --static adds the C++ runtime it needs.
cc -std=c11 examples/c/check.c $(pkg-config --cflags pluvar) "$libdir/libpluvar.a" \
  $(pkg-config --static --libs-only-l pluvar | sed 's/-lpluvar//') -o "$tmp/check_static"
for prog in check check_static; do
  out=$("$tmp/$prog")
  iban=$(sed -n 's/^IBAN: code [0-9], //p' <<<"$out")
  same "$prog: IBAN" "DE89370400440532013000" "$iban"
  same "$prog: answer equals the program's" \
    "$("$pluvar" sepa -allinfo "IBN=$iban")" "$(sed -n 's/^answer ([0-9]* bytes, code [0-9]): //p' <<<"$out")"
  # grep -q would leave ldd writing into a closed pipe, and pipefail would
  # then take a shared link for a static one: read the whole list first.
  [[ $(ldd "$tmp/$prog") == *"libpluvar.so.1 => $libdir"* ]] && linked=shared || linked=static
  echo "     $prog uses the $linked library"
done

# C++ through the CMake package.
cmake -S examples/cmake -B "$tmp/consumer" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$tmp/consumer" -j2 >/dev/null
for args in "-v" "-allinfo knr=0532013000&blz=37040044" "search -allinfo nam=bundesbank" \
            "iban ccd=at&blz=11000&knr=12345678" "unknown x"; do
  # shellcheck disable=SC2086
  want=$("$pluvar" $args; echo "|$?")
  for prog in lookup lookup_static; do
    # shellcheck disable=SC2086
    got=$("$tmp/consumer/$prog" $args | head -c -1; echo "|${PIPESTATUS[0]}")
    same "$prog $args" "$want" "$got"
  done
done
[[ $(ldd "$tmp/consumer/lookup") == *"libpluvar.so.1 => $libdir"* ]] || { echo "FAIL lookup does not use the installed libpluvar.so.1"; fail=1; }

exit $fail
