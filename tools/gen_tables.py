#!/usr/bin/env python3
"""Generates the compiled-in tables under data/ from the raw public data.

    python3 tools/gen_tables.py --source ../shared/data --out data

Generation is deterministic: the same sources give the same bytes."""

import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import gen_de  # noqa: E402
import gen_eu  # noqa: E402
from tablegen import GeneratorError, write_if_changed  # noqa: E402

# The editions the committed tables are built from.
BLZ_FILE = "de/blz-2025-03-03.txt"
NATIONAL_DIR = "national"
BIC_TABLES_DIR = "bic/tables"
BIC_DIRECTORY_FILE = "bic/bic_directory.tsv"
SCL_FILE = "de/scl-2026-05-25.csv"


def generate_all(source_dir: str, out_dir: str, write=write_if_changed) -> None:
    gen_de.generate(os.path.join(source_dir, BLZ_FILE), out_dir, write)
    gen_eu.generate(os.path.join(source_dir, NATIONAL_DIR), os.path.join(source_dir, BIC_TABLES_DIR),
                    os.path.join(source_dir, BIC_DIRECTORY_FILE), os.path.join(source_dir, SCL_FILE),
                    out_dir, write)


def main(argv=None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    here = os.path.dirname(os.path.abspath(__file__))
    parser.add_argument("--source", default=os.path.join(here, "..", "..", "shared", "data"),
                        help="folder of the raw data (default: ../shared/data)")
    parser.add_argument("--out", default=os.path.join(here, "..", "data"),
                        help="folder for the table sources (default: data/)")
    args = parser.parse_args(argv)
    try:
        generate_all(args.source, args.out)
    except (GeneratorError, OSError) as e:
        print("gen_tables: %s" % e, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
