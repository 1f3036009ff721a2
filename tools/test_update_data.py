"""Tests of tools/update-data: dates from published names, and the refusal of
damaged files with the line named and the output folder left as it was."""

import datetime
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import gen_edition  # noqa: E402
from tablegen import GeneratorError  # noqa: E402

RAW = os.environ.get("PLUVAR_RAW_DATA", os.path.join(HERE, "..", "..", "shared", "data"))
SHIPPED_BLZ = os.path.join(RAW, "de", "blz-2025-03-03.txt")
NEXT_BLZ = os.path.join(RAW, "de", "blz-2025-09-08.txt")
DATA = os.path.join(HERE, "..", "data")
GERMAN_UNITS = ("BLZ_Liste.cpp", "BLZ_Liste_DE.cpp", "Edition_DE.cpp", "Edition.cpp",
                "SCL_Liste.cpp", gen_edition.MANIFEST_NAME)


def digests(folder):
    out = {}
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), "rb") as f:
            out[name] = hashlib.sha256(f.read()).hexdigest()
    return out


def update_data(*args):
    return subprocess.run([sys.executable, os.path.join(HERE, "update-data")] + list(args),
                          capture_output=True, text=True)


class PublishedDatesTest(unittest.TestCase):
    def test_date_from_published_names(self):
        d = datetime.date(2025, 9, 8)
        self.assertEqual(gen_edition.date_from_published_name("x/blz_2025_09_08_txt.txt"), d)
        self.assertEqual(gen_edition.date_from_published_name("blz-2025-09-08.txt"), d)
        self.assertIsNone(gen_edition.date_from_published_name("bankleitzahlen.txt"))
        with self.assertRaises(GeneratorError):
            gen_edition.date_from_published_name("blz_2025_02_30_txt.txt")

    def test_end_is_the_day_before_the_next_quarterly_change(self):
        # The Bundesbank's editions of 2024/2025 and their last days.
        known = [("2024-12-09", "2025-03-02"), ("2025-03-03", "2025-06-08"),
                 ("2025-06-09", "2025-09-07"), ("2025-09-08", "2025-12-07")]
        for start, end in known:
            self.assertEqual(gen_edition.default_valid_to(datetime.date.fromisoformat(start)),
                             datetime.date.fromisoformat(end), start)
        for start, _ in known:
            nxt = gen_edition.next_edition_start(datetime.date.fromisoformat(start))
            self.assertEqual(nxt.weekday(), 0)  # a Monday
            self.assertIn(nxt.month, (3, 6, 9, 12))


@unittest.skipUnless(os.path.exists(SHIPPED_BLZ), "raw data not found under %s" % RAW)
class RefusalTest(unittest.TestCase):
    """Each damaged file is refused with its line named; nothing is written."""

    def setUp(self):
        self.tmp = tempfile.mkdtemp()
        self.out = os.path.join(self.tmp, "data")
        os.mkdir(self.out)
        for name in GERMAN_UNITS:
            if os.path.exists(os.path.join(DATA, name)):
                shutil.copy(os.path.join(DATA, name), self.out)
        with open(SHIPPED_BLZ, "rb") as f:
            self.lines = f.read().split(b"\r\n")[:-1]
        self.before = digests(self.out)
        self.committed = digests(DATA)

    def tearDown(self):
        shutil.rmtree(self.tmp)

    def refused(self, lines, message, name="blz_2025_09_08_txt.txt", *extra):
        path = os.path.join(self.tmp, name)
        with open(path, "wb") as f:
            f.write(b"\r\n".join(lines) + b"\r\n")
        r = update_data(path, "--source", RAW, "--out", self.out, *extra)
        self.assertEqual(r.returncode, 1, r.stdout + r.stderr)
        self.assertRegex(r.stderr, message)
        self.assertIn("nothing changed", r.stderr)
        self.assertEqual(r.stdout, "")
        self.assertEqual(digests(self.out), self.before)
        self.assertEqual(digests(DATA), self.committed)

    def test_truncated_record(self):
        lines = list(self.lines)
        lines[4] = lines[4][:100]
        self.refused(lines, r"line 5: 100 characters, expected 168 or 174")

    def test_truncated_last_record(self):
        lines = list(self.lines)
        lines[-1] = lines[-1][:173]
        self.refused(lines, r"line %d: 173 characters" % len(lines))

    def test_letter_in_bank_code(self):
        lines = list(self.lines)
        lines[6] = lines[6][:3] + b"O" + lines[6][4:]
        self.refused(lines, r"line 7: bad bank code b'100O")

    def test_two_records_swapped(self):
        lines = list(self.lines)
        # An own row of a later bank into an earlier place: the record after
        # it is then out of order.
        j = next(k for k in range(100, len(lines)) if lines[k][8:9] == b"1")
        lines[10], lines[j] = lines[j], lines[10]
        self.refused(lines, r"line 12: bank code \d{8} out of order after %s \(line 11\)"
                     % lines[10][:8].decode())

    def test_branch_swapped_before_its_bank(self):
        lines = list(self.lines)
        i = next(k for k in range(1, len(lines)) if lines[k][8:9] == b"2")
        lines[i - 1], lines[i] = lines[i], lines[i - 1]
        self.refused(lines, r"line %d: branch of bank code %s before the bank's own row"
                     % (i, lines[i - 1][:8].decode()))

    def test_not_a_bank_code_file(self):
        self.refused([b"BIC;Name;SERVICE SCT"], r"line 1: 20 characters")

    def test_name_without_date_needs_the_option(self):
        self.refused(self.lines[:3], r"no date in the file name", "bankleitzahlen.txt")

    def test_end_before_start(self):
        self.refused(self.lines[:3], r"ends \(2025-01-01\) before it starts", "blz-2025-09-08.txt",
                     "--valid-to", "2025-01-01")


@unittest.skipUnless(os.path.exists(NEXT_BLZ), "raw data not found under %s" % RAW)
class NextEditionTest(unittest.TestCase):
    def test_next_edition_into_a_new_folder(self):
        with tempfile.TemporaryDirectory() as out:
            r = update_data(NEXT_BLZ, "--source", RAW, "--out", out)
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertIn("valid 2025-09-08 - 2025-12-07: 13956 rows, 3510 bank codes", r.stdout)
            facts = gen_edition.read_manifest(out)
            self.assertEqual(facts["blz"], "de/blz-2025-09-08.txt")
            self.assertEqual(facts["scl"], "de/scl-2026-05-25.csv")
            with open(os.path.join(out, "Edition_DE.cpp")) as f:
                text = f.read()
            self.assertIn("{20250908, 20251207, \"de/blz-2025-09-08.txt\", "
                          "\"af5510ef9c4eeb942f0d57cf1d1912d286e7e037c48d2a5681f10ff96ed808b5\", "
                          "13956, 3510}", text)
            # A second run changes nothing.
            before = digests(out)
            self.assertEqual(update_data(NEXT_BLZ, "--source", RAW, "--out", out).returncode, 0)
            self.assertEqual(digests(out), before)



@unittest.skipUnless(os.path.exists(NEXT_BLZ), "raw data not found under %s" % RAW)
class NextSlotTest(unittest.TestCase):
    """--slot next: the German units alone, inside namespace edition_next."""

    def setUp(self):
        # The current edition: a folder without a manifest stands for the
        # shipped edition, whichever edition data/ holds.
        self.current = tempfile.TemporaryDirectory()
        self.addCleanup(self.current.cleanup)

    def test_next_edition_units(self):
        with tempfile.TemporaryDirectory() as out:
            r = update_data(NEXT_BLZ, "--source", RAW, "--slot", "next", "--out", out,
                            "--current", self.current.name)
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertIn("next German edition valid 2025-09-08 - 2025-12-07: 13956 rows, "
                          "3510 bank codes\n", r.stdout)
            self.assertEqual(sorted(os.listdir(out)),
                             ["BLZ_Deletion.cpp", "BLZ_Liste.cpp", "BLZ_Liste_DE.cpp",
                              "Edition_DE.cpp", "edition.txt"])
            with tempfile.TemporaryDirectory() as single:
                # The same tables as the update of data/ makes, but inside the
                # namespace: every definition line is the same.
                self.assertEqual(update_data(NEXT_BLZ, "--source", RAW, "--out",
                                             single).returncode, 0)
                for name in ("BLZ_Deletion.cpp", "BLZ_Liste.cpp", "BLZ_Liste_DE.cpp",
                             "Edition_DE.cpp"):
                    with open(os.path.join(out, name)) as f:
                        text = f.read()
                    with open(os.path.join(single, name)) as f:
                        plain = f.read()
                    self.assertIn('#include "Edition.h"\n\nnamespace edition_next {\n'
                                  "PLUVAR_GERMAN_DECLARATIONS\n", text)
                    self.assertTrue(text.endswith("\n}  // namespace edition_next\n"), name)
                    self.assertEqual(set(plain.splitlines()) - set(text.splitlines()), set(),
                                     name)

    def test_next_must_follow_the_current_edition(self):
        with tempfile.TemporaryDirectory() as out:
            r = update_data(SHIPPED_BLZ, "--source", RAW, "--slot", "next", "--out", out,
                            "--current", self.current.name)
            self.assertEqual(r.returncode, 1)
            self.assertIn("does not follow the current one", r.stderr)
            self.assertEqual(os.listdir(out), [])
        before = digests(DATA)
        r = update_data(NEXT_BLZ, "--source", RAW, "--slot", "next", "--out", DATA)
        self.assertEqual(r.returncode, 2)
        self.assertIn("needs its own --out folder", r.stderr)
        self.assertEqual(digests(DATA), before)


if __name__ == "__main__":
    unittest.main()
