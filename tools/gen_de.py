"""German bank-code directory -> data/BLZ_Liste.cpp (l, Sprung) and
data/BLZ_Liste_DE.cpp (head_DE).

The Bundesbank file is fixed-width Latin-1, one record per line: 174
characters with the IBAN rule field, 168 without it (then rule 0)."""

import os

from tablegen import (GENERATED_NOTE, GeneratorError, TextPool, c_column, c_fixed, c_string,
                      check_strictly_ascending, hash_index, key_column)

# 2^13 slots for the about 3500 bank codes: under half of them taken, so a
# lookup mostly reads one slot.
HEAD_DE_HASH_BITS = 13

# 1-based inclusive field positions of the Bankleitzahlendatei.
FIELDS = {
    "blz": (1, 8),
    "merkmal": (9, 9),
    "name": (10, 67),
    "zip": (68, 72),
    "place": (73, 107),
    "bic": (140, 150),
    "method": (151, 152),
    "change": (159, 159),
    "deletion": (160, 160),
    "successor": (161, 168),
    "rule": (169, 174),
}


def method_byte(text: bytes, lineno: int) -> int:
    """"00".."99" are 0..99; "A0".."E4" are 100 + 10 * letter index + digit."""
    if len(text) == 2 and text[1:2].isdigit():
        if text[:1].isdigit():
            return int(text)
        if b"A" <= text[:1] <= b"E":
            value = 100 + 10 * (text[0] - ord("A")) + (text[1] - ord("0"))
            if value <= 144:
                return value
    raise GeneratorError("line %d: unknown check-digit method %r" % (lineno, text))


def parse_record(line: bytes, lineno: int) -> dict:
    if len(line) not in (168, 174):
        raise GeneratorError("line %d: %d characters, expected 168 or 174" % (lineno, len(line)))

    def field(name):
        a, b = FIELDS[name]
        return line[a - 1:b]

    blz = field("blz")
    if not blz.isdigit() or blz[:1] == b"0":
        raise GeneratorError("line %d: bad bank code %r" % (lineno, blz))
    if field("merkmal") not in (b"1", b"2"):
        raise GeneratorError("line %d: bad row kind %r (1 = bank, 2 = branch)"
                             % (lineno, field("merkmal")))
    zip_code = field("zip")
    if not zip_code.isdigit():
        raise GeneratorError("line %d: bad postcode %r" % (lineno, zip_code))
    rule_field = field("rule") if len(line) == 174 else b"000000"
    if not rule_field.isdigit():
        raise GeneratorError("line %d: bad IBAN rule %r" % (lineno, rule_field))
    successor = field("successor")
    if not successor.isdigit():
        raise GeneratorError("line %d: bad successor %r" % (lineno, successor))
    return {
        "line": lineno,
        "blz": blz,
        "own": field("merkmal") == b"1",
        "name": field("name").rstrip(b" "),
        "zip": zip_code,
        "place": field("place").rstrip(b" "),
        "bic": field("bic").strip(b" "),
        "method": method_byte(field("method"), lineno),
        "change": field("change"),
        "deleted": field("deletion") == b"1",
        "successor": b"" if successor == b"00000000" else successor,
        "rule": int(rule_field[:4]),
    }


def check_file_order(rec: dict, prev: dict) -> None:
    """The Bundesbank file is sorted by bank code and each bank code starts
    with the bank's own row.  A file that breaks this is damaged or not a
    bank-code file at all, and its tables would be wrong in ways no later
    check sees; it is refused at the first line that breaks the order."""
    new_code = prev is None or rec["blz"] != prev["blz"]
    if prev is not None and rec["blz"] < prev["blz"]:
        raise GeneratorError("line %d: bank code %s out of order after %s (line %d)"
                             % (rec["line"], rec["blz"].decode(), prev["blz"].decode(),
                                prev["line"]))
    if new_code and not rec["own"]:
        raise GeneratorError("line %d: branch of bank code %s before the bank's own row"
                             % (rec["line"], rec["blz"].decode()))
    if not new_code and rec["own"]:
        raise GeneratorError("line %d: second own row of bank code %s"
                             % (rec["line"], rec["blz"].decode()))


def read_directory(path: str) -> list:
    """Records that are not marked for deletion, in the order of `l`: bank
    code ascending, the bank's own row first, branches by postcode, ties in
    file order."""
    with open(path, "rb") as f:
        lines = f.read().split(b"\n")
    records = []
    prev = None
    for lineno, raw in enumerate(lines, 1):
        raw = raw.rstrip(b"\r")
        if not raw:
            continue
        rec = parse_record(raw, lineno)
        check_file_order(rec, prev)
        prev = rec
        if rec["change"] != b"D":
            records.append(rec)
    if not records:
        raise GeneratorError("%s: no bank-code records" % os.path.basename(path))
    records.sort(key=lambda r: (r["blz"], not r["own"], b"" if r["own"] else r["zip"]))
    return records


def bank_heads(records: list) -> list:
    """The bank's own record of every bank code, each with "row", its index
    in `l` (records in the order of `l`)."""
    heads = []
    for row, rec in enumerate(records):
        if heads and heads[-1]["blz"] == rec["blz"]:
            continue
        if not rec["own"]:
            raise GeneratorError("line %d: bank code %s has no own row (Merkmal 1)"
                                 % (rec["line"], rec["blz"].decode()))
        heads.append(dict(rec, row=row))
    for rec in records:
        if len(rec["name"]) > 60 or len(rec["place"]) > 35:
            raise GeneratorError("line %d: name or place too long" % rec["line"])
    return heads


def sprung(records: list) -> list:
    index = []
    for d in range(10):
        first = next((i for i, r in enumerate(records) if r["blz"][0] - ord("0") == d),
                     len(records))
        index.append(first)
    return index


def render_l(records: list, source: str) -> str:
    out = [GENERATED_NOTE.format(source=source),
           "// The German bank-code directory: every row of every bank code, sorted\n"
           "// by bank code, each bank's own row first, then its branches by postcode.\n",
           '#include "Tables.h"\n\n',
           "const BLZ_Row l[] = {\n"]
    for r in records:
        out.append("    {%s, %s, %s, %s, %d},\n" % (
            c_string(r["blz"]), c_string(r["name"]), c_string(r["zip"]),
            c_string(r["place"]), r["method"]))
    out.append("};\n\n")
    out.append("const uint32_t l_size = sizeof l / sizeof l[0];\n\n")
    out.append("// First row of each leading digit of the bank code; l_size when none.\n")
    out.append("const int32_t Sprung[10] = {%s};\n" % ", ".join(str(x) for x in sprung(records)))
    out.append(render_search_index(records))
    return "".join(out)


def text_pool(records: list, field: str) -> list:
    """The distinct texts of a field, in byte order."""
    return sorted(set(r[field] for r in records))


def text_pool_block(prefix: str, texts: list) -> str:
    """The texts one after another, each ended by a NUL, in one block, and
    where each one starts: a search scans the block in one pass."""
    out = ["const char %s_pool[] =\n" % prefix]
    offsets, at = [], 0
    for t in texts:
        offsets.append(at)
        at += len(t) + 1
        out.append("    %s\n" % c_string(t + b"\0"))
    out.append("    ;\n")
    out.append("const uint32_t %s_pool_size = %d;  // bytes, terminators included\n" % (prefix, at))
    out.append("const uint32_t %s_offset[] = {\n" % prefix)
    for k in range(0, len(offsets), 10):
        out.append("    %s,\n" % ", ".join(str(v) for v in offsets[k:k + 10]))
    out.append("};\n")
    out.append("const uint32_t %ss_size = sizeof %s_offset / sizeof %s_offset[0];\n\n"
               % (prefix, prefix, prefix))
    return "".join(out)


def render_search_index(records: list) -> str:
    """Columns of `l` for the search: bank code and postcode as numbers and
    the ids of each row's name and place among the distinct texts.  A search
    reads only the columns its criteria need and tests each distinct text
    once; a one-shot process pays for every page it touches."""
    names, places = text_pool(records, "name"), text_pool(records, "place")
    if len(names) > 0xFFFF or len(places) > 0xFFFF:
        raise GeneratorError("more than 65535 distinct names or places")
    name_id = {t: i for i, t in enumerate(names)}
    place_id = {t: i for i, t in enumerate(places)}

    def column(ctype, name, values):
        return c_column(ctype, name, values) + "\n"

    out = ["\n// Search columns of l, row for row, and the distinct names and places.\n"]
    out.append(column("uint32_t", "l_blz_number", [int(r["blz"]) for r in records]))
    out.append(column("uint32_t", "l_zip_number", [int(r["zip"]) for r in records]))
    out.append(column("uint16_t", "l_name_id", [name_id[r["name"]] for r in records]))
    out.append(column("uint16_t", "l_place_id", [place_id[r["place"]] for r in records]))
    out.append(text_pool_block("l_name", names))
    out.append(text_pool_block("l_place", places))
    return "".join(out)


def render_head_de(heads: list, source: str) -> str:
    check_strictly_ascending([int(h["blz"]) for h in heads], "head_DE")
    pool = TextPool("head_DE_text")
    out = [GENERATED_NOTE.format(source=source),
           "// One record per German bank code: bank data, BIC, successor, IBAN rule.\n",
           '#include "Tables.h"\n\n',
           "const Head_t_SEPA head_DE[] = {\n"]
    for h in heads:
        where = "line %d" % h["line"]
        out.append("    {%dULL, %s, %d, %d, %d, %s, %s, %d},\n" % (
            int(h["blz"]), c_fixed(h["blz"], 9, where), pool.ref(h["name"]),
            pool.ref(b"DE-" + h["zip"]), pool.ref(h["place"]), c_fixed(h["bic"], 12, where),
            c_fixed(h["successor"], 9, where), h["rule"]))
    out.append("};\n\n")
    out.append("const uint32_t head_DE_size = sizeof head_DE / sizeof head_DE[0];\n")
    out.append(pool.render())
    out.append(render_head_de_keys(heads))
    return "".join(out)


def render_head_de_keys(heads: list) -> str:
    """The search key of every bank code and, beside it, the row of the
    bank's own record in `l` and its check-digit method: an account check
    finds the method in these 7 bytes per bank code (about 25 KB, which stay
    in the fast caches) and reads the wide row only for the answer's texts."""
    if heads and heads[-1]["row"] > 0xFFFF:
        raise GeneratorError("more than 65536 rows in l: head_DE_row needs a wider type")
    if any(h["rule"] > 0xFF for h in heads):
        raise GeneratorError("an IBAN rule above 255: head_DE_rule needs a wider type")
    return "".join([
        "\n// Search keys of head_DE (the bank codes) and, row for row, the bank's own\n"
        "// row in l and its check-digit method.\n",
        key_column("uint32_t", "head_DE_key", [int(h["blz"]) for h in heads]),
        c_column("uint16_t", "head_DE_row", [h["row"] for h in heads]),
        c_column("uint8_t", "head_DE_method", [h["method"] for h in heads]),
        c_column("uint8_t", "head_DE_rule", [h["rule"] for h in heads]),
        "\n// Hashed slots of head_DE_key: each bank code with its index and method.\n",
        hash_index("head_DE", [int(h["blz"]) for h in heads], HEAD_DE_HASH_BITS,
                   lambda row: heads[row]["method"])])


def generate(blz_path: str, out_dir: str, write) -> tuple:
    """Writes both German units; returns the counts of rows and bank codes."""
    source = os.path.basename(blz_path)
    records = read_directory(blz_path)
    heads = bank_heads(records)
    write(os.path.join(out_dir, "BLZ_Liste.cpp"), render_l(records, source))
    write(os.path.join(out_dir, "BLZ_Liste_DE.cpp"), render_head_de(heads, source))
    return len(records), len(heads)
