"""European tables -> data/:

    BLZ_Liste_AT.cpp .. BLZ_Liste_SK.cpp  national directories head_XX (and the
                                          branch tables bank_BE, bank_CH)
    BLZ_BIC_Liste.cpp                     list_BLZ_BIC_XX of 29 countries
    BIC_Liste_EU.cpp                      list_EU, the European BIC directory
    SCL_Liste.cpp                         list_SCL, the SEPA reachability list
    SEPA_Liste.cpp                        c, the country table (tools/countries.py)

Sources are the UTF-8 TSV files of shared/data (national/, bic/) and the
Bundesbank's SCL directory (CSV, ";").  Every table the program searches
binarily is checked here for its sort order and unique keys: a table out of
order would make lookups miss silently, so generation stops instead."""

import os
import re
import sys

import countries
from tablegen import (GENERATED_NOTE, GeneratorError, TextPool, alpha_key, bic_key, c_column,
                      c_fixed, c_string, hashed_key_column)
from win1252 import Encoder

# National directories: country and width of its bank code.
NATIONAL = (("AT", 5), ("BE", 3), ("CH", 5), ("CZ", 4), ("ES", 4), ("SK", 4))
# Countries whose bank codes are mapped to a head bank by a branch table.
BRANCH_TABLES = ("BE", "CH")

# Bank-code-to-BIC tables, in the order they are laid out.  In these
# countries' IBANs the bank is identified by four letters, not a number.
BIC_TABLE_COUNTRIES = ("GB", "SE", "SI", "LV", "IE", "MT", "RO", "VA", "GR", "PT", "PL", "NO",
                       "IS", "BG", "IT", "FR", "FI", "EE", "DK", "CY", "HR", "HU", "NL", "SM",
                       "MC", "LU", "LI", "AD", "LT")
ALPHA_KEY_COUNTRIES = frozenset(("GB", "IE", "LV", "MT", "RO", "BG", "NL"))

SCL_COLUMNS = ["BIC", "Name", "SERVICE SCT", "SERVICE COR", "SERVICE COR1", "SERVICE B2B",
               "SERVICE SCC"]

BIC_RE = re.compile(r"[A-Z0-9]{8}([A-Z0-9]{3})?\Z")
ALPHA_KEY_RE = re.compile(r"[A-Z]{4}\Z")
FORMAT_ITEM_RE = re.compile(r"([0-9]{1,2})!([nace])")

COUNTRY_NAME_MAX = 50    # Country_t.name holds 51 bytes with the terminator
COUNTRY_FORMAT_MAX = 40  # Country_t.format holds 41


# ---------------------------------------------------------------------------
# Reading
# ---------------------------------------------------------------------------

def read_tsv(path: str, columns: list) -> list:
    """Rows of a UTF-8 TSV file with the given header, as (line number, fields)."""
    name = os.path.basename(path)
    with open(path, "rb") as f:
        lines = f.read().split(b"\n")
    if lines and lines[-1] == b"":
        lines.pop()
    if not lines:
        raise GeneratorError("%s: empty file" % name)
    rows = []
    for lineno, raw in enumerate(lines, 1):
        raw = raw.rstrip(b"\r")
        try:
            text = raw.decode("utf-8")
        except UnicodeDecodeError as e:
            raise GeneratorError("%s line %d: not UTF-8 (%s)" % (name, lineno, e.reason))
        fields = text.split("\t")
        if lineno == 1:
            if fields != columns:
                raise GeneratorError("%s line 1: header %s, expected %s"
                                     % (name, "|".join(fields), "|".join(columns)))
            continue
        if len(fields) != len(columns):
            raise GeneratorError("%s line %d: %d fields, expected %d"
                                 % (name, lineno, len(fields), len(columns)))
        rows.append((lineno, fields))
    if not rows:
        raise GeneratorError("%s: no rows" % name)
    return rows


def normalise_bic(bic: str, where: str, allow_empty: bool) -> str:
    """11-character BIC; an 8-character BIC stands for the head office, XXX."""
    if bic == "" and allow_empty:
        return ""
    if not BIC_RE.match(bic):
        raise GeneratorError("%s: malformed BIC %r" % (where, bic))
    return bic if len(bic) == 11 else bic + "XXX"


def national_code(code: str, width: int, where: str) -> int:
    if len(code) != width or not code.isdigit():
        raise GeneratorError("%s: bank code %r is not %d digits" % (where, code, width))
    return int(code)


def check_sorted(rows: list, what: str, describe=str) -> None:
    """rows: (line number, key).  Keys must be strictly ascending, which also
    makes them unique; the binary searches rely on both."""
    for (line_a, key_a), (line_b, key_b) in zip(rows, rows[1:]):
        if not key_a < key_b:
            verb = "repeats" if key_a == key_b else "does not sort after"
            raise GeneratorError("%s line %d: key %s %s key %s of line %d"
                                 % (what, line_b, describe(key_b), verb, describe(key_a), line_a))


# ---------------------------------------------------------------------------
# National directories
# ---------------------------------------------------------------------------

def read_heads(path: str, cc: str, width: int, enc: Encoder) -> list:
    name = os.path.basename(path)
    heads = []
    for lineno, (code, bank, zip_code, location, bic) in read_tsv(
            path, ["code", "name", "zip", "location", "bic"]):
        where = "%s line %d" % (name, lineno)
        heads.append({
            "line": lineno,
            "key": national_code(code, width, where),
            "code": code.encode("ascii"),
            "name": enc.encode(bank),
            "zip": enc.encode(zip_code),
            "location": enc.encode(location),
            "bic": normalise_bic(bic, where, allow_empty=True).encode("ascii"),
        })
    check_sorted([(h["line"], h["key"]) for h in heads], name)
    return heads


def read_branches(path: str, width: int, heads: list) -> list:
    name = os.path.basename(path)
    head_keys = {h["key"] for h in heads}
    branches = []
    for lineno, (code, head_code, bic) in read_tsv(path, ["code", "head_code", "bic"]):
        where = "%s line %d" % (name, lineno)
        head_key = national_code(head_code, width, where)
        if head_key not in head_keys:
            raise GeneratorError("%s: head bank %s is not in the head table" % (where, head_code))
        branches.append({
            "line": lineno,
            "key": national_code(code, width, where),
            "head_key": head_key,
            "bic": normalise_bic(bic, where, allow_empty=True).encode("ascii"),
        })
    check_sorted([(b["line"], b["key"]) for b in branches], name)
    return branches


def render_heads(cc: str, heads: list, branches, source: str) -> str:
    table = "head_" + cc
    out = [GENERATED_NOTE.format(source=source),
           "// National bank directory of %s: one record per bank, sorted by bank code.\n" % cc]
    if branches is not None:
        out.append("// bank_%s maps every bank code in use to its bank's record in %s.\n"
                   % (cc, table))
    out.append('#include "Tables.h"\n\n')
    out.append("const Head_t_SEPA %s[] = {\n" % table)
    pool = TextPool(table + "_text")
    for h in heads:
        where = "%s line %d" % (table, h["line"])
        out.append("    {%dULL, %s, %d, %d, %d, %s, \"\", 0},\n" % (
            h["key"], c_fixed(h["code"], 9, where), pool.ref(h["name"]), pool.ref(h["zip"]),
            pool.ref(h["location"]), c_fixed(h["bic"], 12, where)))
    out.append("};\n\n")
    out.append("const uint32_t %s_size = sizeof %s / sizeof %s[0];\n" % (table, table, table))
    out.append(pool.render())
    out.append("\n// Search keys of %s: the bank codes as numbers.\n" % table)
    out.append(hashed_key_column("uint32_t", table, [h["key"] for h in heads]))
    if branches is not None:
        bank = "bank_" + cc
        out.append("\nconst Bank_t_SEPA %s[] = {\n" % bank)
        for b in branches:
            out.append("    {%dULL, %dULL, %s},\n" % (b["key"], b["head_key"], c_string(b["bic"])))
        out.append("};\n\n")
        out.append("const uint32_t %s_size = sizeof %s / sizeof %s[0];\n" % (bank, bank, bank))
        out.append("\n// Search keys of %s: the bank codes as numbers.\n" % bank)
        out.append(hashed_key_column("uint32_t", bank, [b["key"] for b in branches]))
    return "".join(out)


# ---------------------------------------------------------------------------
# Bank-code-to-BIC tables
# ---------------------------------------------------------------------------

def read_bic_table(path: str, cc: str) -> list:
    name = "%s/%s" % (os.path.basename(os.path.dirname(path)), os.path.basename(path))
    alpha = cc in ALPHA_KEY_COUNTRIES
    rows = []
    for lineno, (key, bic) in read_tsv(path, ["key", "bic"]):
        where = "%s line %d" % (name, lineno)
        if alpha:
            if not ALPHA_KEY_RE.match(key):
                raise GeneratorError("%s: key %r is not four capital letters" % (where, key))
            value = key.encode("ascii")
        else:
            if not key.isdigit() or not key.isascii() or len(key) > 18:
                raise GeneratorError("%s: key %r is not a bank code number" % (where, key))
            value = int(key)
        rows.append({"line": lineno, "key": value,
                     "bic": normalise_bic(bic, where, allow_empty=False).encode("ascii")})
    describe = (lambda k: k.decode("ascii")) if alpha else str
    check_sorted([(r["line"], r["key"]) for r in rows], name, describe)
    return rows


def render_bic_tables(tables: list, source: str) -> str:
    out = [GENERATED_NOTE.format(source=source),
           "// Bank code -> BIC, one table per country, each sorted by its key: the\n"
           "// bank code's number, or in byte order the four letters that identify the\n"
           "// bank in the IBANs of GB, IE, LV, MT, RO, BG and NL.\n",
           '#include "Tables.h"\n']
    for cc, rows in tables:
        table = "list_BLZ_BIC_" + cc
        if cc in ALPHA_KEY_COUNTRIES:
            out.append("\nconst Bank_t_BLZalpha_BIC %s[] = {\n" % table)
            for r in rows:
                out.append("    {%s, %s},\n" % (c_string(r["key"]), c_string(r["bic"])))
        else:
            out.append("\nconst Bank_t_BLZ_BIC %s[] = {\n" % table)
            for r in rows:
                out.append("    {%dULL, %s},\n" % (r["key"], c_string(r["bic"])))
        out.append("};\n")
        out.append("const uint32_t %s_size = sizeof %s / sizeof %s[0];\n" % (table, table, table))
        if cc in ALPHA_KEY_COUNTRIES:
            keys = [alpha_key(r["key"]) for r in rows]
        else:
            keys = [r["key"] for r in rows]
        out.append(hashed_key_column("uint32_t", table, keys))
    return "".join(out)


# ---------------------------------------------------------------------------
# European BIC directory
# ---------------------------------------------------------------------------

def read_directory(path: str, enc: Encoder) -> list:
    rows = []
    for lineno, (bic, name, zip_code, location) in read_tsv(
            path, ["bic", "name", "zip", "location"]):
        where = "%s line %d" % (os.path.basename(path), lineno)
        rows.append((lineno, normalise_bic(bic, where, allow_empty=False).encode("ascii"),
                     enc.encode(name), enc.encode(zip_code), enc.encode(location)))
    check_sorted([(r[0], r[1]) for r in rows], os.path.basename(path),
                 lambda k: k.decode("ascii"))
    return rows


def render_directory(rows: list, source: str) -> str:
    out = [GENERATED_NOTE.format(source=source),
           "// European BIC directory: BIC, name, postcode, place; sorted by BIC in\n"
           "// byte order.\n",
           '#include "Tables.h"\n\n',
           "const Bank_t_EU list_EU[] = {\n"]
    pool = TextPool("list_EU_text")
    for _, bic, name, zip_code, location in rows:
        out.append("    {%s, %d, %d, %d},\n" % (
            c_string(bic), pool.ref(name), pool.ref(zip_code), pool.ref(location)))
    out.append("};\n\n")
    out.append("const uint32_t list_EU_size = sizeof list_EU / sizeof list_EU[0];\n")
    out.append("\n// Search keys of list_EU: each BIC as a number in the same order.\n")
    out.append(hashed_key_column("uint64_t", "list_EU", [bic_key(r[1]) for r in rows], "ULL"))
    out.append(pool.render())
    return "".join(out)


# ---------------------------------------------------------------------------
# SEPA reachability list (SCL directory)
# ---------------------------------------------------------------------------

def read_scl(path: str):
    """Returns (valid-from date text, rows sorted by BIC in byte order).

    The Bundesbank orders letters before digits; the program scans and
    compares in plain byte order, so the rows are re-sorted here."""
    name = os.path.basename(path)
    with open(path, "rb") as f:
        # Only BICs and flags are kept; the names are never read, so any
        # single-byte decoding will do.
        lines = f.read().decode("latin-1").split("\n")
    lines = [line.rstrip("\r") for line in lines]
    while lines and lines[-1] == "":
        lines.pop()
    if len(lines) < 3:
        raise GeneratorError("%s: no rows" % name)
    m = re.match(r"Gueltig ab / valid from ([0-9]{2}\.[0-9]{2}\.[0-9]{4})", lines[0])
    if not m:
        raise GeneratorError("%s line 1: no validity date" % name)
    if lines[1].split(";") != SCL_COLUMNS:
        raise GeneratorError("%s line 2: unexpected column header" % name)
    rows = []
    for lineno, line in enumerate(lines[2:], 3):
        fields = line.split(";")
        where = "%s line %d" % (name, lineno)
        if len(fields) != len(SCL_COLUMNS):
            raise GeneratorError("%s: %d fields, expected %d" % (where, len(fields),
                                                                 len(SCL_COLUMNS)))
        bic = fields[0]
        # 8 characters: the entry covers every branch; so no padding here.
        if not BIC_RE.match(bic):
            raise GeneratorError("%s: malformed BIC %r" % (where, bic))
        flags = fields[2:]
        if any(f not in ("0", "1") for f in flags):
            raise GeneratorError("%s: flags must be 0 or 1" % where)
        rows.append((lineno, bic.encode("ascii"), [int(f) for f in flags]))
    rows.sort(key=lambda r: r[1])
    check_sorted([(r[0], r[1]) for r in rows], name, lambda k: k.decode("ascii"))
    return m.group(1), rows


def render_scl(valid_from: str, rows: list, source: str) -> str:
    out = [GENERATED_NOTE.format(source=source),
           "// SEPA reachability (SCL directory valid from %s), sorted by BIC in byte\n"
           "// order.  An 8-character BIC covers every branch of its bank.  Flags: SCT,\n"
           "// SDD core (COR), COR1 (reserved, 0), B2B, SCC.\n" % valid_from,
           '#include "Tables.h"\n\n',
           "const Bank_t_SCL list_SCL[] = {\n"]
    for _, bic, (sct, sdd, cor1, b2b, scc) in rows:
        out.append("    {%s, %d, %d, %d, %d, %d, {0, 0, 0}},\n" % (c_string(bic), sct, sdd, cor1,
                                                                   b2b, scc))
    out.append("};\n\n")
    out.append("const uint32_t list_SCL_size = sizeof list_SCL / sizeof list_SCL[0];\n")
    out.append("\n// Search keys of list_SCL: each BIC as a number in the same order.\n")
    out.append(hashed_key_column("uint64_t", "list_SCL", [bic_key(r[1]) for r in rows], "ULL"))
    return "".join(out)


# ---------------------------------------------------------------------------
# Country table
# ---------------------------------------------------------------------------

def check_iban_format(fmt: str, where: str) -> None:
    if fmt == "":
        return
    pos = 0
    while pos < len(fmt):
        m = FORMAT_ITEM_RE.match(fmt, pos)
        if not m:
            raise GeneratorError("%s: IBAN format %r malformed at %d" % (where, fmt, pos))
        pos = m.end()
    if not fmt.startswith("2!a2!n"):
        raise GeneratorError("%s: IBAN format %r does not start with 2!a2!n" % (where, fmt))


def country_records(rows=countries.COUNTRIES) -> list:
    records = []
    for i, (code, name, fmt) in enumerate(rows):
        where = "country %s" % code
        if not re.match(r"[A-Z]{2}\Z", code):
            raise GeneratorError("%s: code is not two capital letters" % where)
        try:
            name_bytes = name.encode("cp1252")
        except UnicodeEncodeError:
            raise GeneratorError("%s: name %r is not Windows-1252" % (where, name))
        if not name or len(name_bytes) > COUNTRY_NAME_MAX:
            raise GeneratorError("%s: name empty or longer than %d" % (where, COUNTRY_NAME_MAX))
        if len(fmt) > COUNTRY_FORMAT_MAX:
            raise GeneratorError("%s: IBAN format longer than %d" % (where, COUNTRY_FORMAT_MAX))
        check_iban_format(fmt, where)
        records.append((i + 1, code.encode("ascii"), name_bytes, fmt.encode("ascii")))
    check_sorted([(r[0], r[1]) for r in records], "country table", lambda k: k.decode("ascii"))
    return records


def render_countries(records: list) -> str:
    out = ["// Generated by tools/gen_tables.py from tools/countries.py. Do not edit.\n",
           "// Countries: code, English short name in capitals, IBAN format in SWIFT\n"
           "// notation (empty without IBAN); sorted by code.\n",
           '#include "Tables.h"\n\n',
           "const Country_t c[] = {\n"]
    for _, code, name, fmt in records:
        out.append("    {%s, %s, %s},\n" % (c_string(code), c_string(name), c_string(fmt)))
    out.append("};\n\n")
    out.append("const uint32_t c_size = sizeof c / sizeof c[0];\n")
    out.append("\n// The row of each country code + 1 (0: none), at the place of its two\n"
               "// letters: (first - 'A') * 26 + (second - 'A').  One read finds a country.\n")
    by_letters = [0] * (26 * 26)
    for row, (_, code, _, _) in enumerate(records):
        by_letters[(code[0] - ord("A")) * 26 + code[1] - ord("A")] = row + 1
    out.append(c_column("uint16_t", "c_by_letters", by_letters))
    return "".join(out)


# ---------------------------------------------------------------------------

def generate(national_dir: str, bic_tables_dir: str, directory_path: str, scl_path: str,
             out_dir: str, write, report=None) -> dict:
    """Writes every European table; returns the record count per table."""
    enc = Encoder()
    counts = {}
    for cc, width in NATIONAL:
        heads = read_heads(os.path.join(national_dir, cc + ".tsv"), cc, width, enc)
        counts["head_" + cc] = len(heads)
        branches = None
        sources = "national/%s.tsv" % cc
        if cc in BRANCH_TABLES:
            branches = read_branches(os.path.join(national_dir, cc + "_branches.tsv"), width,
                                     heads)
            counts["bank_" + cc] = len(branches)
            sources += " and national/%s_branches.tsv" % cc
        write(os.path.join(out_dir, "BLZ_Liste_%s.cpp" % cc),
              render_heads(cc, heads, branches, sources))

    tables = []
    for cc in BIC_TABLE_COUNTRIES:
        rows = read_bic_table(os.path.join(bic_tables_dir, cc + ".tsv"), cc)
        counts["list_BLZ_BIC_" + cc] = len(rows)
        tables.append((cc, rows))
    write(os.path.join(out_dir, "BLZ_BIC_Liste.cpp"),
          render_bic_tables(tables, "bic/tables/<CC>.tsv"))

    directory = read_directory(directory_path, enc)
    counts["list_EU"] = len(directory)
    write(os.path.join(out_dir, "BIC_Liste_EU.cpp"),
          render_directory(directory, "bic/" + os.path.basename(directory_path)))

    valid_from, scl = read_scl(scl_path)
    counts["list_SCL"] = len(scl)
    write(os.path.join(out_dir, "SCL_Liste.cpp"),
          render_scl(valid_from, scl, "de/" + os.path.basename(scl_path)))

    records = country_records()
    counts["c"] = len(records)
    write(os.path.join(out_dir, "SEPA_Liste.cpp"), render_countries(records))

    if report is None:
        report = lambda line: print(line, file=sys.stderr)  # noqa: E731
    report("gen_eu: %s" % ", ".join("%s %d" % kv for kv in counts.items()))
    line = ("gen_eu: %d characters outside Windows-1252 stored as their base letter, %d as '?'"
            % (enc.transliterated, enc.unmappable))
    if enc.unmappable_samples:
        line += " (%s)" % ", ".join(enc.unmappable_samples)
    report(line)
    return counts
