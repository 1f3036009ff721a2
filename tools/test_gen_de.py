"""Unit tests of the German table generator and the shared helpers."""

import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import gen_de  # noqa: E402
import tablegen  # noqa: E402
from tablegen import GeneratorError, c_string, check_strictly_ascending  # noqa: E402


def record(blz, merkmal, name, zip_code, place, method="09", change="U", successor="00000000",
           rule="000000", bic=""):
    """One fixed-width record of the Bundesbank file (174 characters, or 168
    when rule is None)."""
    line = (blz.ljust(8) + merkmal + name.ljust(58)[:58] + zip_code.ljust(5) + place.ljust(35)
            + "Kurz".ljust(27) + "     " + bic.ljust(11) + method + "000001" + change + "0"
            + successor)
    assert len(line) == 168, len(line)
    if rule is not None:
        line += rule
    return line.encode("latin-1")


def write_file(lines):
    f = tempfile.NamedTemporaryFile(delete=False, suffix=".txt")
    f.write(b"\r\n".join(lines) + b"\r\n")
    f.close()
    return f.name


class CStringTest(unittest.TestCase):
    def test_ascii_passes_and_specials_are_octal(self):
        self.assertEqual(c_string(b"Berlin"), '"Berlin"')
        self.assertEqual(c_string(b"Fl\xf6ha"), '"Fl\\366ha"')
        self.assertEqual(c_string(b'a"b\\c'), '"a\\042b\\134c"')
        self.assertEqual(c_string(b"\x00\x7f"), '"\\000\\177"')

    def test_escape_never_swallows_a_following_digit(self):
        # "\3661" would be one escape in hex form; octal stops after 3 digits.
        self.assertEqual(c_string(b"\xf61"), '"\\3661"')


class MethodByteTest(unittest.TestCase):
    def test_encoding(self):
        for text, value in [(b"00", 0), (b"09", 9), (b"99", 99), (b"A0", 100), (b"A9", 109),
                            (b"B0", 110), (b"C0", 120), (b"D0", 130), (b"E0", 140), (b"E4", 144)]:
            self.assertEqual(gen_de.method_byte(text, 1), value)

    def test_unknown_methods_stop_generation(self):
        for text in (b"E5", b"F0", b"0A", b"  ", b"a1"):
            with self.assertRaises(GeneratorError):
                gen_de.method_byte(text, 7)


class DirectoryTest(unittest.TestCase):
    def test_order_filter_and_fields(self):
        path = write_file([
            record("10000000", "1", "Erste Bank", "10591", "Berlin", rule="004201",
                   successor="12345678"),
            record("10000000", "2", "Erste Bank", "30000", "Celle"),
            record("10000000", "2", "Erste Bank", "20000", "Ahrensburg"),
            record("10000000", "2", "Erste Bank", "20000", "Zeven"),
            record("10000000", "2", "Erste Bank", "10000", "Weg", change="D"),
            record("20000000", "1", "Zweite Bank", "20000", "Hamburg", rule="000501",
                   bic="ZWEIDEFFXXX"),
        ])
        try:
            rows = gen_de.read_directory(path)
        finally:
            os.unlink(path)
        self.assertEqual([(r["blz"], r["place"]) for r in rows], [
            (b"10000000", b"Berlin"), (b"10000000", b"Ahrensburg"), (b"10000000", b"Zeven"),
            (b"10000000", b"Celle"), (b"20000000", b"Hamburg")])
        heads = gen_de.bank_heads(rows)
        self.assertEqual([h["rule"] for h in heads], [42, 5])
        self.assertEqual(heads[0]["successor"], b"12345678")
        self.assertEqual(heads[1]["successor"], b"")
        self.assertEqual(heads[1]["bic"], b"ZWEIDEFFXXX")
        self.assertEqual(gen_de.sprung(rows), [5, 0, 4, 5, 5, 5, 5, 5, 5, 5])

    def test_short_records_have_rule_zero(self):
        path = write_file([record("10000000", "1", "Bank", "10591", "Berlin", rule=None)])
        try:
            rows = gen_de.read_directory(path)
        finally:
            os.unlink(path)
        self.assertEqual(rows[0]["rule"], 0)

    def read_refused(self, lines, message):
        path = write_file(lines)
        try:
            with self.assertRaisesRegex(GeneratorError, message):
                gen_de.read_directory(path)
        finally:
            os.unlink(path)

    def test_bank_without_own_row_is_refused(self):
        self.read_refused([record("10000000", "2", "Bank", "10591", "Berlin")], "^line 1: branch")
        self.read_refused([record("10000000", "1", "Bank", "10591", "Berlin"),
                           record("20000000", "2", "Bank", "10591", "Berlin")], "^line 2: branch")

    def test_deleted_bank_with_live_branch_is_refused(self):
        path = write_file([record("10000000", "1", "Bank", "10591", "Berlin", change="D"),
                           record("10000000", "2", "Bank", "10592", "Berlin")])
        try:
            rows = gen_de.read_directory(path)
        finally:
            os.unlink(path)
        with self.assertRaisesRegex(GeneratorError, "line 2"):
            gen_de.bank_heads(rows)

    def test_file_order_is_checked_before_sorting(self):
        bank = record("20000000", "1", "Bank", "10591", "Berlin")
        self.read_refused([bank, record("10000000", "1", "Bank", "10591", "Berlin")],
                          "^line 2: bank code 10000000 out of order")
        self.read_refused([bank, bank], "^line 2: second own row")
        self.read_refused([bank[:8] + b"3" + bank[9:]],
                          "^line 1: bad row kind")
        self.read_refused([], "no bank-code records")

    def test_bad_record_length_names_the_line(self):
        path = write_file([record("10000000", "1", "Bank", "10591", "Berlin")[:100]])
        try:
            with self.assertRaisesRegex(GeneratorError, "line 1"):
                gen_de.read_directory(path)
        finally:
            os.unlink(path)


class SearchColumnsTest(unittest.TestCase):
    def test_pool_block_offsets(self):
        text = gen_de.text_pool_block("t", [b"Ab", b"C\xf6", b""])
        self.assertIn('"Ab\\000"', text)
        self.assertIn('"C\\366\\000"', text)
        self.assertIn("t_pool_size = 7;", text)
        self.assertIn("    0, 3, 6,\n", text)

    def test_ids_refer_to_sorted_distinct_texts(self):
        rows = [{"blz": b"10000000", "zip": b"01234", "name": b"B", "place": b"X"},
                {"blz": b"10000000", "zip": b"09999", "name": b"A", "place": b"X"}]
        text = gen_de.render_search_index(rows)
        self.assertIn("l_zip_number[] = {\n    1234, 9999,", text)
        self.assertIn("l_name_id[] = {\n    1, 0,", text)
        self.assertIn("l_place_id[] = {\n    0, 0,", text)


class SortCheckTest(unittest.TestCase):
    def test_duplicate_key_names_the_row(self):
        with self.assertRaisesRegex(GeneratorError, "row 2"):
            check_strictly_ascending([1, 2, 2], "t")
        check_strictly_ascending([1, 2, 3], "t")


if __name__ == "__main__":
    unittest.main()


class HeadTableTest(unittest.TestCase):
    def test_texts_in_the_pool_codes_inline(self):
        from test_gen_eu import resolved
        path = write_file([
            record("10000000", "1", "Bundesbank", "10591", "Berlin", bic="MARKDEF1100",
                   rule="004200"),
            record("10010010", "1", "Postbank", "10916", "Berlin", successor="10000000"),
        ])
        try:
            heads = gen_de.bank_heads(gen_de.read_directory(path))
        finally:
            os.unlink(path)
        text = gen_de.render_head_de(heads, "blz.txt")
        self.assertIn('    {10000000ULL, "10000000", 1, 12, 21, "MARKDEF1100", "", 42},\n', text)
        # "Berlin" is stored once; both records point to it.
        self.assertIn('    {10010010ULL, "10010010", 28, 37, 21, "", "10000000", 0},\n', text)
        self.assertIn('{10010010ULL, "10010010", "Postbank", "DE-10916", "Berlin", "", "10000000", 0}',
                      resolved(text))



class HeadKeyTest(unittest.TestCase):
    def test_key_row_and_method_of_every_bank_code(self):
        path = write_file([
            record("10000000", "1", "Bundesbank", "10591", "Berlin", method="09"),
            record("10000000", "2", "Bundesbank", "10592", "Berlin", method="09"),
            record("10010010", "1", "Postbank", "10916", "Berlin", method="24"),
        ])
        try:
            records = gen_de.read_directory(path)
        finally:
            os.unlink(path)
        text = gen_de.render_head_de(gen_de.bank_heads(records), "blz.txt")
        self.assertIn("const uint32_t head_DE_key[] = {\n    10000000, 10010010,\n};\n", text)
        self.assertIn("const uint16_t head_DE_row[] = {\n    0, 2,\n};\n", text)
        self.assertIn("const uint8_t head_DE_method[] = {\n    9, 24,\n};\n", text)
        self.assertIn("const uint8_t head_DE_rule[] = {\n", text)
        self.assertIn("const uint32_t head_DE_hash_bits = 13;\n", text)


class HashSlotTest(unittest.TestCase):
    """The lookup's walk, read as the generator's own description of it."""

    def lookup(self, key, first, second, slots, keys, bits):
        for multiplier in (first, second):
            row = slots[tablegen.hash_slot(key, multiplier, bits)]
            if row != tablegen.HASH_EMPTY and keys[row] == key:
                return row
        return -1

    def test_every_key_is_found_and_no_other(self):
        keys = sorted({(i * 7919 + 10000000) % 90000000 + 10000000 for i in range(3000)})
        first, second, slots = tablegen.hash_slots(keys, 13)
        self.assertEqual(len(slots), 1 << 13)
        self.assertEqual(sorted(r for r in slots if r != tablegen.HASH_EMPTY),
                         list(range(len(keys))))
        for row, key in enumerate(keys):
            self.assertEqual(self.lookup(key, first, second, slots, keys, 13), row)
            if key + 1 not in keys:
                self.assertEqual(self.lookup(key + 1, first, second, slots, keys, 13), -1)
        # The same choice on every run.
        self.assertEqual(tablegen.hash_slots(keys, 13), (first, second, slots))

    def test_a_half_full_table_is_filled_by_moving_keys(self):
        # Half full is the most the table takes; consecutive keys crowd the
        # slots of either multiplier, so insertions must move keys.
        keys = list(range(1, 2049))
        first, second, slots = tablegen.hash_slots(keys, 12)
        for row, key in enumerate(keys):
            self.assertEqual(self.lookup(key, first, second, slots, keys, 12), row)

    def test_too_many_keys_or_too_wide_are_refused(self):
        with self.assertRaises(GeneratorError):
            tablegen.hash_slots(list(range(5)), 3)
        with self.assertRaises(GeneratorError):
            tablegen.hash_slots([1 << 32], 4)
        with self.assertRaises(GeneratorError):
            tablegen.hash_slots([0, 5], 4)  # 0 is the empty slot

    def test_a_slot_packs_key_row_and_payload(self):
        keys = [10000000, 10010010, 87096214]
        text = tablegen.hash_index("t", keys, 4, lambda row: [9, 24, 144][row])
        self.assertIn("const uint32_t t_hash_bits = 4;\n", text)
        values = [int(v.rstrip("ULL")) for v in
                  text[text.index("t_slot[] = {") + 12:text.index("};")].replace(",", " ").split()]
        self.assertEqual(len(values), 16)
        packed = sorted(v for v in values if v)
        self.assertEqual(packed, sorted(k | row << 32 | [9, 24, 144][row] << 48
                                        for row, k in enumerate(keys)))
        with self.assertRaises(GeneratorError):
            tablegen.hash_index("t", keys, 4, lambda row: 1 << 16)
