#!/usr/bin/env python3
"""Regenerates every table into a temporary folder and compares it byte for
byte with the committed data/.  Exits 77 (skipped) when the raw data is absent."""

import argparse
import os
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import gen_edition  # noqa: E402
import gen_tables  # noqa: E402
from tablegen import write_if_changed  # noqa: E402


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("--source", required=True)
    parser.add_argument("--data", required=True)
    args = parser.parse_args()
    facts = gen_edition.read_manifest(args.data)
    blz = gen_edition.source_path(args.source, facts["blz"])
    if not os.path.exists(blz):
        print("SKIPPED: raw data %s not found; cannot regenerate the tables" % blz)
        return 77
    written = []

    def record(path, text):
        written.append(os.path.basename(path))
        write_if_changed(path, text)

    with tempfile.TemporaryDirectory() as tmp:
        gen_tables.generate_all(args.source, tmp, record, facts)
        differ = []
        for name in sorted(written):
            with open(os.path.join(tmp, name), "rb") as a:
                fresh = a.read()
            try:
                with open(os.path.join(args.data, name), "rb") as b:
                    committed = b.read()
            except FileNotFoundError:
                committed = None
            if fresh != committed:
                differ.append(name)
    for name in sorted(written):
        print("%s %s" % ("DIFFERS" if name in differ else "same   ", name))
    return 1 if differ else 0


if __name__ == "__main__":
    sys.exit(main())
