#!/usr/bin/env bash
# Proves the data pipeline on another edition of the German directory: copies
# the sources into a temporary tree, takes the edition into its data/ with
# tools/update-data, builds what the edition-independent tests need and runs
# them (ctest -L any_edition).  The checkout's own data/ is not touched.
#
#   tools/check-edition.sh [BLZ_FILE]    default: the raw data's blz-2025-09-08.txt
#
# PLUVAR_RAW_DATA names the raw data folder (default ../shared/data).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
raw=${PLUVAR_RAW_DATA:-$root/../shared/data}
raw=$(cd "$raw" && pwd)
blz=${1:-$raw/de/blz-2025-09-08.txt}

tree=$(mktemp -d "${TMPDIR:-/tmp}/pluvar-edition.XXXXXX")
trap 'rm -rf "$tree"' EXIT
# Everything of the checkout but its build folders.
for item in "$root"/*; do
  case "$(basename "$item")" in build*) ;; *) cp -r "$item" "$tree/" ;; esac
done

echo "== tools/update-data $(basename "$blz") into $tree/data =="
"$tree/tools/update-data" "$blz" --source "$raw" --out "$tree/data"

flags=(-DCMAKE_BUILD_TYPE=Release -DPLUVAR_WERROR=ON -DPLUVAR_BENCH=OFF -DPLUVAR_RAW_DATA="$raw")
if command -v ccache >/dev/null; then
  # Paths below the tree are hashed relative to it, so units that equal the
  # checkout's come from the shared cache.
  export CCACHE_BASEDIR="$tree"
  flags+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$tree" -B "$tree/build" "${flags[@]}" >/dev/null
cmake --build "$tree/build" -j2 --target pluvar test_directory test_edition answer_dump
cd "$tree/build"
ctest -j2 -L any_edition --output-on-failure
