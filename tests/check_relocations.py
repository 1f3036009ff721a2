#!/usr/bin/env python3
"""The tables hold no pointers, so loading the program or the library at any
address needs a few hundred relocations, not one per table text (the tables
have about 650,000 texts).  Usage: check_relocations.py LIMIT FILE...
Prints each file's count; fails when one exceeds LIMIT."""
import subprocess
import sys


def relocations(path):
    out = subprocess.run(["readelf", "-r", "-W", path], check=True, stdout=subprocess.PIPE,
                         text=True).stdout
    return sum(1 for line in out.splitlines() if " R_" in line)


def main():
    limit, status = int(sys.argv[1]), 0
    for path in sys.argv[2:]:
        n = relocations(path)
        print("%s: %d relocations" % (path, n))
        if n > limit:
            status = 1
    return status


if __name__ == "__main__":
    sys.exit(main())
