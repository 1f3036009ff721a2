#!/usr/bin/env bash
# Proves the data pipeline on another edition of the German directory, and
# the switch between two editions, in temporary folders; the checkout and its
# build folders are not touched.
#
#   tools/check-edition.sh [BLZ_FILE]    default: the raw data's blz-2025-09-08.txt
#
# 1. Takes BLZ_FILE into a copy of the tree with tools/update-data, builds
#    what the edition-independent tests need and runs them (ctest -L
#    any_edition).  Its program carries BLZ_FILE's edition alone.
# 2. Builds a copy of the checkout as it is (data/'s edition alone) and with
#    BLZ_FILE as the next edition (tools/update-data --slot next, cmake
#    -DPLUVAR_NEXT_EDITION_DIR), and compares the two-edition program on a day
#    of each edition with the single-edition program of that edition, byte
#    for byte (tools/compare_editions.py).
#
# PLUVAR_RAW_DATA names the raw data folder (default ../shared/data);
# PLUVAR_FIRST_DAY and PLUVAR_SECOND_DAY a day of data/'s edition and one of
# BLZ_FILE's (default 2025-06-01 and 2025-10-01).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
raw=${PLUVAR_RAW_DATA:-$root/../shared/data}
raw=$(cd "$raw" && pwd)
blz=${1:-$raw/de/blz-2025-09-08.txt}
first_day=${PLUVAR_FIRST_DAY:-2025-06-01}
second_day=${PLUVAR_SECOND_DAY:-2025-10-01}

work=$(mktemp -d "${TMPDIR:-/tmp}/pluvar-edition.XXXXXX")
trap 'rm -rf "$work"' EXIT

flags=(-DCMAKE_BUILD_TYPE=Release -DPLUVAR_WERROR=ON -DPLUVAR_BENCH=OFF -DPLUVAR_RAW_DATA="$raw")
ccache=false
if command -v ccache >/dev/null; then
  ccache=true
  flags+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
# SOURCE_TREE BUILD_DIR TARGET... [-- CMAKE_FLAG...]
build() {
  local tree=$1 dir=$2 targets=() extra=()
  shift 2
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do targets+=("$1"); shift; done
  if [ $# -gt 0 ]; then shift; extra=("$@"); fi
  # Paths below the tree are hashed relative to it, so units that equal
  # another tree's come from the shared compiler cache.
  if $ccache; then export CCACHE_BASEDIR="$tree"; fi
  cmake -S "$tree" -B "$dir" "${flags[@]}" "${extra[@]}" >/dev/null
  cmake --build "$dir" -j2 --target "${targets[@]}"
}

# Everything of the checkout but its build folders.  Every copy's build
# folder lies at the same depth below it as the checkout's build/, so that
# equal units are equal for the compiler cache too.
copy_tree() {
  mkdir "$1"
  for item in "$root"/*; do
    case "$(basename "$item")" in build*) ;; *) cp -r "$item" "$1/" ;; esac
  done
}

echo "== 1. tools/update-data $(basename "$blz"); the edition-independent tests =="
tree=$work/tree
copy_tree "$tree"
"$tree/tools/update-data" "$blz" --source "$raw" --out "$tree/data"
build "$tree" "$tree/build" pluvar test_directory test_edition answer_dump
(cd "$tree/build" && ctest -j2 -L any_edition --output-on-failure)

echo "== 2. two editions: data/'s and $(basename "$blz") as the next =="
shipped=$work/shipped
copy_tree "$shipped"
"$shipped/tools/update-data" "$blz" --source "$raw" --slot next --current "$shipped/data" \
  --out "$shipped/next"
build "$shipped" "$shipped/build" pluvar
build "$shipped" "$shipped/build-two" pluvar -- -DPLUVAR_NEXT_EDITION_DIR="$shipped/next"
current_blz=$(python3 -c "import sys; sys.path.insert(0, '$root/tools'); import gen_edition; \
print(gen_edition.source_path('$raw', gen_edition.read_manifest('$root/data')['blz']))")
python3 "$root/tools/compare_editions.py" --two "$shipped/build-two/pluvar" \
  --first "$shipped/build/pluvar" --first-day "$first_day" --first-blz "$current_blz" \
  --second "$tree/build/pluvar" --second-day "$second_day" --second-blz "$blz"
