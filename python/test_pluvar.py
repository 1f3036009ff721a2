"""Tests of python/pluvar.py against the program: run by CTest with
PLUVAR_LIBRARY (the built libpluvar.so) and PLUVAR_BIN (the built program)."""

import os
import random
import subprocess
import sys
import threading
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pluvar  # noqa: E402

BIN = os.environ.get("PLUVAR_BIN", "pluvar")


def program(*args):
    p = subprocess.run([BIN, *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=False)
    return p.returncode, p.stdout


class CommandLine(unittest.TestCase):
    CASES = [
        ("knr=0532013000&blz=37040044",),
        ("-allinfo", "knr=0532013000&blz=37040044"),
        ("IBN=DE89370400440532013000",),
        ("iban", "-allinfo", "ccd=at&blz=19043&knr=234573201"),
        ("sepa", "-allinfo", "IBN=FR1420041010050500013M02606"),
        ("search", "-allinfo", "nam=bundesbank"),
        ("-v",),
        ("unknown", "x"),
        (),
    ]

    def test_command_equals_the_program(self):
        for args in self.CASES:
            with self.subTest(args=args):
                self.assertEqual(pluvar.command(*args), program(*args))

    def test_answer_equals_the_program(self):
        modes = [(pluvar.MODE_ACCOUNT, ()), (pluvar.MODE_IBAN, ("iban",)),
                 (pluvar.MODE_SEPA, ("sepa",)), (pluvar.MODE_SEARCH, ("search",))]
        for mode, words in modes:
            for allinfo in (False, True):
                query = "blz=10000000" if mode == pluvar.MODE_SEARCH else "IBN=DE89370400440532013000"
                args = words + (("-allinfo",) if allinfo else ()) + (query,)
                with self.subTest(args=args):
                    self.assertEqual(pluvar.answer(mode, query, allinfo=allinfo), program(*args))

    def test_long_search_answers_grow_the_buffer(self):
        code, text = pluvar.answer(pluvar.MODE_SEARCH, "nam=bank&max=9999", allinfo=True)
        self.assertGreater(len(text), pluvar.ANSWER_SIZE * 10)
        self.assertEqual((code, text), program("search", "-allinfo", "nam=bank&max=9999"))


class Modes(unittest.TestCase):
    def test_account(self):
        self.assertEqual(pluvar.account("37040044", "532013000", allinfo=True), {
            "code": 1, "reason": "valid", "name": "Commerzbank", "zip": "50447",
            "location": "Köln", "ibn": "DE89370400440532013000", "bic": "COBADEFFXXX"})
        self.assertEqual(pluvar.account("1234567", "1"), {"code": 2, "reason": "blz-malformed"})
        self.assertEqual(pluvar.account("12345678", "1")["code"], 7)

    def test_account_against_the_program(self):
        rng = random.Random(14)
        codes = [h["blz"] for h in pluvar.search("blz=1000&max=50")["hits"]]
        codes += [h["blz"] for h in pluvar.search("blz=7000&max=50")["hits"]]
        for _ in range(200):
            blz, knr = rng.choice(codes), str(rng.randrange(1, 10**10))
            status, line = program("-allinfo", "knr=%s&blz=%s" % (knr, blz))
            got = pluvar.account(blz, knr, allinfo=True)
            want = pluvar.parse_line(line)
            self.assertEqual(got["code"], status)
            self.assertEqual({k: v for k, v in got.items() if k != "reason"}, want)

    def test_check_accounts_equals_single_checks(self):
        rng = random.Random(15)
        codes = [h["blz"] for h in pluvar.search("blz=5000&max=80")["hits"]]
        pairs = [(rng.choice(codes), str(rng.randrange(1, 10**10))) for _ in range(600)]
        pairs += [("1234567", "1"), ("12345678", "1"), ("37040044", "0"), ("37040044", "x")]
        self.assertEqual(pluvar.check_accounts(pairs),
                         [pluvar.account(blz, knr)["code"] for blz, knr in pairs])
        self.assertEqual(pluvar.check_accounts([]), [])

    def test_german_iban(self):
        self.assertEqual(pluvar.iban("37040044", "532013000"), {
            "code": 1, "reason": "built", "ibn": "DE89370400440532013000", "mode": "IBAN"})
        got = pluvar.iban("50850049", "1234567897", allinfo=True)
        status, line = program("iban", "-allinfo", "ccd=de&blz=50850049&knr=1234567897")
        del got["reason"]
        self.assertEqual(got, pluvar.parse_line(line))
        self.assertEqual(pluvar.iban(query="ccd=de&blz=5085004&knr=1"), {"code": 2, "mode": "IBAN"})

    def test_sepa(self):
        got = pluvar.sepa("CH7700202000000012345", "UBSWCHZH80A", allinfo=True)
        self.assertEqual(got["bic"], "UBSWCHZH86N")
        self.assertEqual(got["location"], "Zürich")
        status, line = program("sepa", "-allinfo", "IBN=CH7700202000000012345&BIC=UBSWCHZH80A")
        del got["reason"]
        self.assertEqual(got, pluvar.parse_line(line))
        self.assertEqual(pluvar.sepa("de89370400440532013000"),
                         {"code": 3, "reason": "ibn-malformed", "mode": "SEPA"})

    def test_bank_names_with_ampersands_stay_whole(self):
        hits = pluvar.search("nam=reuschel&max=1")["hits"]
        self.assertEqual(len(hits), 1)
        self.assertIn("&", hits[0]["name"])
        self.assertEqual(set(hits[0]), {"blz", "name", "zip", "location"})

    def test_search(self):
        got = pluvar.search("blz=10000000", allinfo=True)
        self.assertEqual(got, {"code": 1, "mode": "SEARCH", "hits": [
            {"blz": "10000000", "name": "Bundesbank", "zip": "10591", "location": "Berlin",
             "bic": "MARKDEF1100"}]})

    def test_version(self):
        v = pluvar.version()
        self.assertEqual(v["banner"], program("-v")[1].decode("cp1252"))
        self.assertTrue(v["banner"].startswith("Pluvar " + v["version"]))
        self.assertLess(v["valid_from"], v["valid_to"])

    def test_refusals_raise(self):
        with self.assertRaises(pluvar.PluvarError):
            pluvar.answer(99, "x")

    def test_threads(self):
        queries = ["knr=%d&blz=37040044" % k for k in range(1, 200)]
        serial = [pluvar.command(q) for q in queries]
        results = [None] * 4

        def work(t):
            results[t] = [pluvar.command(q) for q in queries]
        threads = [threading.Thread(target=work, args=(t,)) for t in range(4)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        for r in results:
            self.assertEqual(r, serial)


if __name__ == "__main__":
    unittest.main()
