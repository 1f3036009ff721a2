#!/usr/bin/env python3
"""Compares a two-edition build with the single-edition build of each of its
editions: on a day of each edition, every request must answer byte for byte
as the build that carries that edition alone.

    compare_editions.py --two BIN --first BIN --first-day D1 --first-blz FILE1
                        --second BIN --second-day D2 --second-blz FILE2

The requests ask every bank code of both editions in every mode that reads
the German directory (account check, IBAN form, IBAN mode, SEPA mode, search;
line and JSON answers, which carry the deletion marks), through one batch
process per program and day (`pluvar --date D --batch`, the request path of
every entry), and a few one-shot command lines for their exit status.  The
comparison also requires the two days to answer differently wherever the
editions differ, so that it proves the switch and not two equal programs."""

import argparse
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import gen_de  # noqa: E402

ACCOUNT = "0532013000"


def bank_codes(path: str) -> dict:
    """Bank code -> (method, IBAN rule, name, successor) of one edition."""
    return {h["blz"].decode(): (h["method"], h["rule"], h["name"], h["successor"])
            for h in gen_de.bank_heads(gen_de.read_directory(path))}


def german_iban(blz: str, knr: str) -> str:
    return "DE%02d%s%s" % (98 - int(blz + knr + "131400") % 97, blz, knr)


def requests_for(code: str) -> list:
    iban = german_iban(code, ACCOUNT)
    return [
        ["knr=%s&blz=%s" % (ACCOUNT, code)],
        ["-allinfo", "knr=1234567890&blz=%s" % code],
        ["-allinfo", "ibn=" + iban],
        ["iban", "-allinfo", "ccd=de&blz=%s&knr=%s" % (code, ACCOUNT)],
        ["sepa", "-allinfo", "IBN=" + iban],
        ["--json", "-allinfo", "knr=%s&blz=%s" % (ACCOUNT, code)],
        ["--json", "search", "-allinfo", "blz=%s" % code],
    ]


# Requests beyond single bank codes: the banner and searches over many rows.
GENERAL = [["-v"], ["--json", "-v"], ["search", "nam=sparkasse&max=9999"],
           ["search", "-allinfo", "loc=berlin"], ["--utf8", "search", "zip=8"]]


def batch(binary: str, day: str, lines: list) -> list:
    """The answers of one batch process, one list entry per request."""
    text = "".join("\t".join(words) + "\n" for words in lines).encode("latin-1")
    r = subprocess.run([binary, "--date", day, "--batch"], input=text, capture_output=True,
                       check=True)
    answers, current = [], b""
    for line in r.stdout.split(b"\n")[:-1]:
        # A search answer is its hit lines (CR LF), then the response line.
        current += line + b"\n"
        if not line.endswith(b"\r"):
            answers.append(current)
            current = b""
    if len(answers) != len(lines):
        raise SystemExit("compare_editions: %s answered %d of %d requests"
                         % (binary, len(answers), len(lines)))
    return answers


def one_shot(binary: str, day: str, words: list) -> tuple:
    r = subprocess.run([binary, "--date", day] + words, capture_output=True)
    return r.returncode, r.stdout, r.stderr


def main() -> int:
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for arg in ("--two", "--first", "--first-day", "--first-blz", "--second", "--second-day",
                "--second-blz"):
        p.add_argument(arg, required=True)
    a = p.parse_args()
    first, second = bank_codes(a.first_blz), bank_codes(a.second_blz)
    changed = {c for c in set(first) & set(second) if first[c] != second[c]}
    only_one = set(first) ^ set(second)

    codes = sorted(set(first) | set(second))
    lines = list(GENERAL)
    for code in codes:
        lines += requests_for(code)

    mismatches = 0
    days = (("first", a.first, a.first_day), ("second", a.second, a.second_day))
    answers = {}
    for label, single, day in days:
        two, one = batch(a.two, day, lines), batch(single, day, lines)
        for words, x, y in zip(lines, two, one):
            if x != y:
                mismatches += 1
                if mismatches <= 10:
                    print("DIFFERS on %s (%s edition): %s\n  two editions: %r\n  one edition:  %r"
                          % (day, label, words, x, y))
        answers[label] = two
        # Exit statuses: the one-shot command line of a few requests.
        for words in GENERAL[:2] + requests_for("28020050") + requests_for(sorted(only_one)[0]):
            if one_shot(a.two, day, words) != one_shot(single, day, words):
                mismatches += 1
                print("DIFFERS on %s (%s edition), one shot: %s" % (day, label, words))

    per_code = len(requests_for("10000000"))
    differing_codes = set()
    for i, code in enumerate(codes):
        at = len(GENERAL) + i * per_code
        if answers["first"][at:at + per_code] != answers["second"][at:at + per_code]:
            differing_codes.add(code)
    print("compare_editions: %d requests on %s and %s; %d bank codes in one edition only, %d "
          "changed, %d answer differently on the two days; %d mismatches against the "
          "single-edition builds" % (len(lines), a.first_day, a.second_day, len(only_one),
                                     len(changed), len(differing_codes), mismatches))
    # A bank code in one edition only answers 7 on the other day: the switch
    # must show there, or the two days were answered from the same edition.
    if not only_one <= differing_codes:
        print("compare_editions: the days answer alike where the editions differ: %s"
              % sorted(only_one - differing_codes)[:10])
        return 1
    return 1 if mismatches else 0


if __name__ == "__main__":
    sys.exit(main())
