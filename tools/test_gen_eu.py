"""Unit tests of the European table generator, the Windows-1252 encoder and
the country table."""

import os
import re
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import countries  # noqa: E402
import gen_eu  # noqa: E402
from tablegen import GeneratorError, TextPool, c_string  # noqa: E402
from win1252 import Encoder  # noqa: E402

HEAD_COLUMNS = "code\tname\tzip\tlocation\tbic"

# Record types whose free texts stand in the table's text pool: the places of
# those fields in a generated record line.
POOLED_FIELDS = {"Head_t_SEPA": (2, 3, 4), "Bank_t_EU": (1, 2, 3)}


def c_literal_bytes(literal: str) -> bytes:
    """The bytes of one generated C string literal (octal escapes only)."""
    body = literal[1:-1]
    return re.sub(r"\\([0-7]{3})", lambda m: chr(int(m.group(1), 8)), body).encode("latin-1")


def resolved(source: str) -> str:
    """The generated source with each pooled text offset replaced by the text
    it points to, written as a C literal: a second reading of the pool, so the
    tests can state a record as the texts it stands for."""
    pools = {}
    for m in re.finditer(r'const char (\w+)\[\] =\n((?:    ".*"\n)*)    ;\n', source):
        texts, at = {}, 0
        for literal in re.findall(r'    (".*")\n', m.group(2)):
            raw = c_literal_bytes(literal)
            texts[at] = c_string(raw[:-1])
            at += len(raw)
        pools[m.group(1)] = texts
    out, table = [], None
    for line in source.splitlines(keepends=True):
        m = re.match(r"const (\w+) (\w+)\[\] = \{", line)
        if m:
            table = (m.group(1), m.group(2))
        elif line.startswith("};"):
            table = None
        elif table and table[0] in POOLED_FIELDS and line.startswith("    {"):
            parts = line.strip()[1:-2].split(", ")
            pool = pools[table[1] + "_text"]
            for k in POOLED_FIELDS[table[0]]:
                parts[k] = pool[int(parts[k])]
            line = "    {" + ", ".join(parts) + "},\n"
        out.append(line)
    return "".join(out)


class TextPoolTest(unittest.TestCase):
    def test_each_text_once_in_order_of_first_use_empty_at_zero(self):
        pool = TextPool("t_text")
        self.assertEqual(pool.ref(b""), 0)
        self.assertEqual(pool.ref(b"Wien"), 1)
        self.assertEqual(pool.ref(b"Graz"), 6)
        self.assertEqual(pool.ref(b"Wien"), 1)
        self.assertEqual(pool.ref(b"Z\xfcrich"), 11)
        text = pool.render()
        self.assertIn('const char t_text[] =\n    "\\000"\n    "Wien\\000"\n    "Graz\\000"\n'
                      '    "Z\\374rich\\000"\n    ;\n', text)
        self.assertIn("const uint32_t t_text_size = sizeof t_text;", text)
        self.assertEqual(pool.size, 18)


class TempDir(unittest.TestCase):
    def setUp(self):
        self._tmp = tempfile.TemporaryDirectory()
        self.dir = self._tmp.name

    def tearDown(self):
        self._tmp.cleanup()

    def put(self, name, lines, newline="\n", encoding="utf-8"):
        path = os.path.join(self.dir, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write((newline.join(lines) + newline).encode(encoding))
        return path


class EncoderTest(unittest.TestCase):
    def test_windows_1252_letters_are_kept(self):
        enc = Encoder()
        self.assertEqual(enc.encode("Zürich Öst ß é š Œ €"),
                         "Zürich Öst ß é š Œ €".encode("cp1252"))
        self.assertEqual((enc.transliterated, enc.unmappable), (0, 0))

    def test_missing_letters_become_their_base_letter(self):
        enc = Encoder()
        self.assertEqual(enc.encode("Komerční banka"), b"Komercn\xed banka")
        self.assertEqual(enc.encode("Spółka"), b"Sp\xf3lka")   # ł has no decomposition
        self.assertEqual(enc.encode("ő Ř ė Ľ ň ů"), b"o R e L n u")
        self.assertEqual(enc.transliterated, 8)
        self.assertEqual(enc.unmappable, 0)

    def test_unmappable_characters_become_question_marks_and_are_counted(self):
        enc = Encoder()
        self.assertEqual(enc.encode("日本 Bank"), b"?? Bank")
        self.assertEqual(enc.encode("a\tb\x7f"), b"a?b?")
        self.assertEqual(enc.encode("\u2010"), b"?")  # a hyphen without a Windows-1252 form
        self.assertEqual(enc.unmappable, 5)
        self.assertEqual(enc.unmappable_samples[:2], ["U+65E5", "U+672C"])


class NationalTest(TempDir):
    def heads(self, rows, cc="AT", width=5):
        path = self.put("%s.tsv" % cc, [HEAD_COLUMNS] + rows)
        return gen_eu.read_heads(path, cc, width, Encoder())

    def test_record_fields(self):
        heads = self.heads(["00100\tOesterreichische Nationalbank\tAT-1090\tWien\tNABAATWW",
                            "11000\tUniCredit Bank Austria AG\tAT-1020\tWien\tBKAUATWWXXX"])
        self.assertEqual(heads[0]["key"], 100)
        self.assertEqual(heads[0]["code"], b"00100")
        self.assertEqual(heads[0]["bic"], b"NABAATWWXXX")  # 8 characters: head office
        text = resolved(gen_eu.render_heads("AT", heads, None, "national/AT.tsv"))
        self.assertIn('    {11000ULL, "11000", "UniCredit Bank Austria AG", "AT-1020", "Wien", '
                      '"BKAUATWWXXX", "", 0},\n', text)
        self.assertIn("const uint32_t head_AT_size = sizeof head_AT / sizeof head_AT[0];", text)

    def test_absent_values_are_empty_texts(self):
        heads = self.heads(["989\tbpost\t\t\t"], cc="BE", width=3)
        text = resolved(gen_eu.render_heads("BE", heads, [], "x"))
        self.assertIn('{989ULL, "989", "bpost", "", "", "", "", 0},', text)

    def test_order_violation_names_the_row(self):
        with self.assertRaisesRegex(GeneratorError, r"AT\.tsv line 3: key 100 does not sort "
                                                    r"after key 200 of line 2"):
            self.heads(["00200\tB\t\t\t", "00100\tA\t\t\t"])

    def test_repeated_key_names_the_row(self):
        with self.assertRaisesRegex(GeneratorError, r"line 3: key 100 repeats"):
            self.heads(["00100\tA\t\t\t", "00100\tB\t\t\t"])

    def test_bad_rows_stop_generation(self):
        for row, message in (("0100\tA\t\t\t", "not 5 digits"),
                             ("00100\tA\t\t\tNABAATWWXX", "malformed BIC"),
                             ("00100\tA\t\t", "4 fields, expected 5")):
            with self.subTest(row=row):
                with self.assertRaisesRegex(GeneratorError, "line 2: .*" + message):
                    self.heads([row])

    def test_header_and_encoding_are_checked(self):
        path = self.put("AT.tsv", ["code\tname\tzip\tbic", "00100\tA\t\t"])
        with self.assertRaisesRegex(GeneratorError, "line 1: header"):
            gen_eu.read_heads(path, "AT", 5, Encoder())
        path = self.put("AT.tsv", [HEAD_COLUMNS, "00100\tZ\u00fcrich\t\t\t"], encoding="latin-1")
        with self.assertRaisesRegex(GeneratorError, "line 2: not UTF-8"):
            gen_eu.read_heads(path, "AT", 5, Encoder())

    def test_branch_must_point_to_a_head(self):
        heads = self.heads(["00230\tUBS Switzerland AG\tCH-8098\tZ\u00fcrich\tUBSWCHZHXXX"],
                           cc="CH")
        path = self.put("CH_branches.tsv", ["code\thead_code\tbic", "00230\t00230\tUBSWCHZH80A",
                                            "00231\t00999\t"])
        with self.assertRaisesRegex(GeneratorError, "line 3: head bank 00999 is not in the head"):
            gen_eu.read_branches(path, 5, heads)
        path = self.put("CH_branches.tsv", ["code\thead_code\tbic", "00230\t00230\tUBSWCHZH80A"])
        branches = gen_eu.read_branches(path, 5, heads)
        text = resolved(gen_eu.render_heads("CH", heads, branches, "x"))
        self.assertIn("const Bank_t_SEPA bank_CH[] = {\n    {230ULL, 230ULL, \"UBSWCHZH80A\"},\n",
                      text)
        self.assertIn('"Z\\374rich"', text)


class BicTableTest(TempDir):
    def test_numeric_and_alpha_keys(self):
        se = gen_eu.read_bic_table(self.put("tables/SE.tsv", ["key\tbic", "110\tNDEASESS",
                                                              "996\tNDEASESSXXX"]), "SE")
        nl = gen_eu.read_bic_table(self.put("tables/NL.tsv", ["key\tbic", "ABNA\tABNANL2A"]), "NL")
        text = gen_eu.render_bic_tables([("SE", se), ("NL", nl)], "x")
        self.assertIn('const Bank_t_BLZ_BIC list_BLZ_BIC_SE[] = {\n    {110ULL, "NDEASESSXXX"},',
                      text)
        self.assertIn('const Bank_t_BLZalpha_BIC list_BLZ_BIC_NL[] = {\n'
                      '    {"ABNA", "ABNANL2AXXX"},', text)

    def test_alpha_keys_sort_in_byte_order(self):
        with self.assertRaisesRegex(GeneratorError, "tables/GB.tsv line 3: key AACD does not sort"):
            gen_eu.read_bic_table(self.put("tables/GB.tsv", ["key\tbic", "ZUSI\tZUSIGB21XXX",
                                                             "AACD\tAACDGB21XXX"]), "GB")

    def test_key_kind_must_match_the_country(self):
        with self.assertRaisesRegex(GeneratorError, "not four capital letters"):
            gen_eu.read_bic_table(self.put("tables/NL.tsv", ["key\tbic", "123\tABNANL2AXXX"]),
                                  "NL")
        with self.assertRaisesRegex(GeneratorError, "not a bank code number"):
            gen_eu.read_bic_table(self.put("tables/SE.tsv", ["key\tbic", "ABNA\tABNANL2AXXX"]),
                                  "SE")

    def test_every_row_needs_a_bic(self):
        with self.assertRaisesRegex(GeneratorError, "line 2: malformed BIC ''"):
            gen_eu.read_bic_table(self.put("tables/SE.tsv", ["key\tbic", "110\t"]), "SE")


class DirectoryTest(TempDir):
    def test_rows_and_byte_order(self):
        path = self.put("bic_directory.tsv", [
            "bic\tname\tzip\tlocation",
            "AAAARSBGXXX\tMOBI BANKA AD\t11070\tBEOGRAD",
            "WNKPPLPP\tSp\u00f3\u0142ka\t\t"])
        rows = gen_eu.read_directory(path, Encoder())
        text = resolved(gen_eu.render_directory(rows, "bic/bic_directory.tsv"))
        self.assertIn('    {"AAAARSBGXXX", "MOBI BANKA AD", "11070", "BEOGRAD"},\n', text)
        self.assertIn('    {"WNKPPLPPXXX", "Sp\\363lka", "", ""},\n', text)

    def test_lowercase_after_capital_is_byte_order(self):
        path = self.put("bic_directory.tsv", ["bic\tname\tzip\tlocation",
                                              "ZZBKCNBZXXX\tx\t\t", "AAAARSBGXXX\tx\t\t"])
        with self.assertRaisesRegex(GeneratorError, "line 3: key AAAARSBGXXX does not sort after "
                                                    "key ZZBKCNBZXXX"):
            gen_eu.read_directory(path, Encoder())


class SclTest(TempDir):
    HEADER = ["Gueltig ab / valid from 25.05.2026;;;;;;",
              "BIC;Name;SERVICE SCT;SERVICE COR;SERVICE COR1;SERVICE B2B;SERVICE SCC"]

    def scl(self, rows):
        return gen_eu.read_scl(self.put("scl.csv", self.HEADER + rows, newline="\r\n"))

    def test_rows_are_resorted_into_byte_order(self):
        # The Bundesbank puts letters before digits.
        valid, rows = self.scl(["ANHODE7A;A;1;1;0;1;1", "ANHODE77;B;1;0;0;0;0",
                                "AACSDE33XXX;C;1;1;0;1;0"])
        self.assertEqual(valid, "25.05.2026")
        self.assertEqual([r[1] for r in rows], [b"AACSDE33XXX", b"ANHODE77", b"ANHODE7A"])
        text = gen_eu.render_scl(valid, rows, "de/scl.csv")
        self.assertIn('    {"ANHODE7A", 1, 1, 0, 1, 1, {0, 0, 0}},\n', text)

    def test_bad_rows_stop_generation(self):
        for row, message in (("AABAFI22;A;1;2;0;0;0", "line 3: flags must be 0 or 1"),
                             ("AABAFI2;A;1;1;0;0;0", "line 3: malformed BIC"),
                             ("AABAFI22;A;1;1;0;0", "line 3: 6 fields")):
            with self.subTest(row=row):
                with self.assertRaisesRegex(GeneratorError, message):
                    self.scl([row])

    def test_repeated_bic_names_both_rows(self):
        with self.assertRaisesRegex(GeneratorError, "line 5: key AABAFI22 repeats key AABAFI22 "
                                                    "of line 3"):
            self.scl(["AABAFI22;A;1;1;0;0;0", "AACSDE33;B;1;1;0;1;1", "AABAFI22;C;1;0;0;0;0"])

    def test_header_is_checked(self):
        with self.assertRaisesRegex(GeneratorError, "line 1: no validity date"):
            gen_eu.read_scl(self.put("scl.csv", ["BIC;Name"] + self.HEADER[1:]
                                     + ["AABAFI22;A;1;1;0;0;0"]))


class CountryTableTest(unittest.TestCase):
    # IBAN lengths of the IBAN registry, to catch a mistyped format.
    IBAN_LENGTHS = dict(item.split() for item in (
        "AD 24,AE 23,AL 28,AT 20,AZ 28,BA 20,BE 16,BG 22,BH 22,BI 27,BR 29,BY 28,CH 21,CR 22,"
        "CY 28,CZ 24,DE 22,DJ 27,DK 18,DO 28,EE 20,EG 29,ES 24,FI 18,FK 18,FO 18,FR 27,GB 22,"
        "GE 22,GI 23,GL 18,GR 27,GT 28,HN 28,HR 21,HU 28,IE 22,IL 23,IQ 23,IS 26,IT 27,JO 30,"
        "KW 30,KZ 20,LB 28,LC 32,LI 21,LT 20,LU 20,LV 21,LY 25,MC 27,MD 24,ME 22,MK 19,MN 20,"
        "MR 27,MT 31,MU 30,NI 28,NL 18,NO 15,OM 23,PK 24,PL 28,PS 29,PT 25,QA 29,RO 24,RS 22,"
        "RU 33,SA 24,SC 31,SD 18,SE 24,SI 19,SK 24,SM 27,SO 23,ST 25,SV 28,TL 23,TN 24,TR 26,"
        "UA 29,VA 22,VG 24,XK 20,YE 30").split(","))

    def test_counts(self):
        records = gen_eu.country_records()
        self.assertEqual(len(records), 250)
        self.assertEqual(sum(1 for r in records if r[3]), 89)

    def test_formats_give_the_registry_lengths(self):
        lengths = {code: sum(int(n) for n in re.findall(r"([0-9]+)!", fmt))
                   for code, _, fmt in countries.COUNTRIES if fmt}
        self.assertEqual(lengths, {k: int(v) for k, v in self.IBAN_LENGTHS.items()})

    def test_rendered_records(self):
        text = gen_eu.render_countries(gen_eu.country_records())
        self.assertIn('    {"DE", "GERMANY", "2!a2!n8!n10!n"},\n', text)
        self.assertIn('    {"XK", "KOSOVO", "2!a2!n4!n10!n2!n"},\n', text)
        self.assertIn('    {"AX", "\\305LAND ISLANDS", ""},\n', text)
        self.assertIn('    {"CI", "C\\324TE D\'IVOIRE", ""},\n', text)

    def test_bad_entries_stop_generation(self):
        for row, message in ((("DE", "GERMANY", "2!a2!n8n10!n"), "malformed"),
                             (("DE", "GERMANY", "8!n2!a2!n"), "does not start with 2!a2!n"),
                             (("de", "GERMANY", ""), "two capital letters"),
                             (("DE", "X" * 51, ""), "longer than 50"),
                             (("DE", "\u010cESKO", ""), "not Windows-1252")):
            with self.subTest(row=row):
                with self.assertRaisesRegex(GeneratorError, message):
                    gen_eu.country_records([row])
        with self.assertRaisesRegex(GeneratorError, "country table line 2: key AD does not"):
            gen_eu.country_records([("DE", "GERMANY", ""), ("AD", "ANDORRA", "")])


class GenerateTest(TempDir):
    """The whole generator on a minimal set of sources."""

    def sources(self):
        for cc, width in gen_eu.NATIONAL:
            self.put("national/%s.tsv" % cc, [HEAD_COLUMNS, "1".zfill(width) + "\tBank\t\t\t"])
        for cc in gen_eu.BRANCH_TABLES:
            width = dict(gen_eu.NATIONAL)[cc]
            code = "1".zfill(width)
            self.put("national/%s_branches.tsv" % cc, ["code\thead_code\tbic",
                                                       "%s\t%s\t" % (code, code)])
        for cc in gen_eu.BIC_TABLE_COUNTRIES:
            key = "ABCD" if cc in gen_eu.ALPHA_KEY_COUNTRIES else "1"
            self.put("bic/tables/%s.tsv" % cc, ["key\tbic", "%s\tABCD%s22XXX" % (key, cc)])
        self.put("bic/bic_directory.tsv", ["bic\tname\tzip\tlocation",
                                           "ABCDAT22XXX\tV\u011bra \u65e5\t\t"])
        self.put("de/scl.csv", SclTest.HEADER + ["ABCDAT22;A;1;1;0;1;1"], newline="\r\n")

    def run_generator(self, out):
        written = {}
        lines = []
        counts = gen_eu.generate(
            os.path.join(self.dir, "national"), os.path.join(self.dir, "bic/tables"),
            os.path.join(self.dir, "bic/bic_directory.tsv"), os.path.join(self.dir, "de/scl.csv"),
            out, lambda path, text: written.__setitem__(os.path.basename(path), text),
            lines.append)
        return counts, written, lines

    def test_writes_every_table_and_reports(self):
        self.sources()
        counts, written, lines = self.run_generator("out")
        self.assertEqual(sorted(written), [
            "BIC_Liste_EU.cpp", "BLZ_BIC_Liste.cpp", "BLZ_Liste_AT.cpp", "BLZ_Liste_BE.cpp",
            "BLZ_Liste_CH.cpp", "BLZ_Liste_CZ.cpp", "BLZ_Liste_ES.cpp", "BLZ_Liste_SK.cpp",
            "SCL_Liste.cpp", "SEPA_Liste.cpp"])
        self.assertEqual(len(counts), 6 + 2 + 29 + 3)
        self.assertEqual(counts["list_EU"], 1)
        self.assertEqual(counts["c"], 250)
        self.assertIn('{"ABCDAT22XXX", "Vera ?", "", ""}', resolved(written["BIC_Liste_EU.cpp"]))
        self.assertEqual(lines[-1], "gen_eu: 1 characters outside Windows-1252 stored as their "
                                    "base letter, 1 as '?' (U+65E5)")
        for name, text in written.items():
            self.assertTrue(text.isascii(), name)

    def test_deterministic(self):
        self.sources()
        first = self.run_generator("out")[1]
        second = self.run_generator("out")[1]
        self.assertEqual(first, second)

    def test_missing_source_stops(self):
        self.sources()
        os.remove(os.path.join(self.dir, "bic/tables/LT.tsv"))
        with self.assertRaises(FileNotFoundError):
            self.run_generator("out")

    def test_empty_table_stops(self):
        # An empty C++ array cannot be declared, and a last index of -1 would
        # wrap around in the searches.
        self.sources()
        self.put("bic/tables/VA.tsv", ["key\tbic"])
        with self.assertRaisesRegex(GeneratorError, "VA.tsv: no rows"):
            self.run_generator("out")



class SearchKeyTest(unittest.TestCase):
    def test_bic_keys_sort_as_the_texts_in_byte_order(self):
        from tablegen import bic_key
        bics = sorted([b"AAAADEFF", b"AAAADEFF000", b"AAAADEFFXXX", b"AAAADEFG", b"A0AADEFF",
                       b"ZZZZZZZZ", b"ZZZZZZZZZZZ", b"99999999999", b"AAAADEFF9ZZ", b"AAAADEFFA00"])
        keys = [bic_key(b) for b in bics]
        self.assertEqual(keys, sorted(keys))
        self.assertEqual(len(set(keys)), len(keys))
        self.assertLess(keys[-1], 1 << 64)
        # Eight base-37 digits 1 ('0') and three 0 digits for the missing branch.
        self.assertEqual(bic_key(b"00000000"), sum(37 ** (10 - i) for i in range(8)))
        for bad in (b"AAAADEF", b"AAAADEFF0", b"aaaaDEFF", b"AAAA-EFFXXX"):
            with self.assertRaises(GeneratorError):
                bic_key(bad)

    def test_alpha_keys_and_key_columns(self):
        from tablegen import alpha_key, key_column
        self.assertEqual(alpha_key(b"ABNA"), 0x41424E41)
        with self.assertRaises(GeneratorError):
            alpha_key(b"ABN")
        self.assertEqual(key_column("uint32_t", "t_key", [1, 5, 7]),
                         "const uint32_t t_key[] = {\n    1, 5, 7,\n};\n")
        with self.assertRaisesRegex(GeneratorError, "t_key: row 1 key 1 does not sort"):
            key_column("uint32_t", "t_key", [1, 1])
        with self.assertRaisesRegex(GeneratorError, "does not fit uint32_t"):
            key_column("uint32_t", "t_key", [1, 1 << 32])

    def test_tables_carry_their_key_columns(self):
        heads = [{"line": 2, "key": 100, "code": b"00100", "name": b"A", "zip": b"", "location": b"",
                  "bic": b""}]
        self.assertIn("const uint32_t head_AT_key[] = {\n    100,\n};\n",
                      gen_eu.render_heads("AT", heads, None, "x"))
        text = gen_eu.render_bic_tables([("SE", [{"key": 110, "bic": b"NDEASESSXXX"}]),
                                         ("NL", [{"key": b"ABNA", "bic": b"ABNANL2AXXX"}])], "x")
        self.assertIn("const uint32_t list_BLZ_BIC_SE_key[] = {\n    110,\n};\n", text)
        self.assertIn("const uint32_t list_BLZ_BIC_NL_key[] = {\n    %d,\n};\n" % 0x41424E41, text)
        # AD and AE, the first countries, at the places of their letters (3, 4).
        self.assertIn("const uint16_t c_by_letters[] = {\n    0, 0, 0, 1, 2,",
                      gen_eu.render_countries(gen_eu.country_records()))


if __name__ == "__main__":
    unittest.main()
