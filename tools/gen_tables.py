#!/usr/bin/env python3
"""Generates the compiled-in tables under data/ from the raw public data.

    python3 tools/gen_tables.py --source ../shared/data --out data

Generation is deterministic: the same sources give the same bytes."""

import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import gen_de  # noqa: E402
import gen_edition  # noqa: E402
import gen_eu  # noqa: E402
import gen_text  # noqa: E402
from tablegen import GeneratorError, write_if_changed  # noqa: E402

# The folders of the other tables' raw data.
NATIONAL_DIR = "national"
BIC_TABLES_DIR = "bic/tables"
BIC_DIRECTORY_FILE = "bic/bic_directory.tsv"


def generate_all(source_dir: str, out_dir: str, write=write_if_changed, facts=None) -> tuple:
    """Every table and the edition facts.  `facts` names the German and SCL
    files and the German validity (data/edition.txt, else the shipped
    edition)."""
    if facts is None:
        facts = gen_edition.read_manifest(out_dir)
    rows, codes = gen_de.generate(gen_edition.source_path(source_dir, facts["blz"]), out_dir,
                                  write)
    gen_eu.generate(os.path.join(source_dir, NATIONAL_DIR), os.path.join(source_dir, BIC_TABLES_DIR),
                    os.path.join(source_dir, BIC_DIRECTORY_FILE),
                    gen_edition.source_path(source_dir, facts["scl"]), out_dir, write)
    gen_edition.generate(source_dir, facts, rows, codes, out_dir, write)
    gen_text.generate(gen_edition.source_path(source_dir, facts["blz"]),
                      os.path.join(source_dir, NATIONAL_DIR),
                      os.path.join(source_dir, BIC_DIRECTORY_FILE), out_dir, write)
    return rows, codes


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
