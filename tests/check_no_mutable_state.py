#!/usr/bin/env python3
"""The library keeps no mutable state: no object of libpluvar.a lies in a
writable section (.data, .bss, thread-local storage).  Constant tables with
pointers lie in .data.rel.ro, which is read-only once the loader has bound
it.  Usage: check_no_mutable_state.py LIBRARY.a"""
import re
import subprocess
import sys

WRITABLE = re.compile(r"^\.(data|bss|tdata|tbss)(\.|$)")
SYMBOL = re.compile(r"^[0-9a-f]+ (.{7}) (\S+)\t[0-9a-f]+ (.*)$")
READ_ONLY_AFTER_LOAD = re.compile(r"^\.data\.rel\.ro(\.|$)")


def main():
    out = subprocess.run(["objdump", "-t", sys.argv[1]], check=True, stdout=subprocess.PIPE,
                         text=True).stdout
    member, found, objects = "", [], 0
    for line in out.splitlines():
        if " file format " in line:
            member = line.split(":")[0]
            continue
        # address, seven flag characters ("O" for an object), section, TAB,
        # size, name (maybe after ".hidden").
        m = SYMBOL.match(line)
        if not m or "O" not in m.group(1):
            continue
        section, name = m.group(2), m.group(3).split()[-1]
        objects += 1
        # DW.ref.* is the compiler's pointer to the C++ personality routine
        # for unwinding, bound by the loader and never written after.
        if name.startswith("DW.ref."):
            continue
        if WRITABLE.match(section) and not READ_ONLY_AFTER_LOAD.match(section):
            found.append("%s: %s in %s" % (member, name, section))
    for f in found:
        print("mutable state:", f)
    print("%d of %d objects in writable sections" % (len(found), objects))
    return 1 if found or objects == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
