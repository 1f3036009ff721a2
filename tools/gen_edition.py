"""Edition facts -> data/Edition_DE.cpp (the German edition) and
data/Edition.cpp (every table's source and edition).

Which files data/ is built from is written in data/edition.txt by
tools/update-data; without it the shipped edition applies.  The German
validity dates are not in the Bundesbank file: the start date is in the
published file name, the end date follows from the Bundesbank's quarterly
calendar or is given."""

import datetime
import hashlib
import os
import re

from tablegen import GENERATED_NOTE, GeneratorError, c_string

MANIFEST_NAME = "edition.txt"

# The shipped edition, used when data/ has no manifest.
SHIPPED = {
    "blz": "de/blz-2025-03-03.txt",
    "blz_valid_from": "2025-03-03",
    "blz_valid_to": "2025-06-08",
    "scl": "de/scl-2026-05-25.csv",
}

# Units other than the German directory and the SCL list: the source files
# (relative to the raw data folder) and the edition as their providers date it.
OTHER_TABLES = (
    ("BLZ_Liste_AT", "head_AT", ("national/AT.tsv",), "OeNB SEPA directory 2024-11-11 / 2025-01-21"),
    ("BLZ_Liste_BE", "head_BE, bank_BE", ("national/BE.tsv", "national/BE_branches.tsv"),
     "NBB bank identification codes 23.04.2025"),
    ("BLZ_Liste_CH", "head_CH, bank_CH", ("national/CH.tsv", "national/CH_branches.tsv"),
     "SIX bank master, 2020 structure, Swiss rows of 2025-01"),
    ("BLZ_Liste_CZ", "head_CZ", ("national/CZ.tsv",), "CNB bank codes 2025-05-05"),
    ("BLZ_Liste_ES", "head_ES", ("national/ES.tsv",),
     "Banco de Espana register 2022-06, ECB 2024-06, BICs 2023/2024"),
    ("BLZ_Liste_SK", "head_SK", ("national/SK.tsv",), "NBS directory 2022-04-11"),
    ("BLZ_BIC_Liste", "list_BLZ_BIC_XX", ("bic/tables/*.tsv",),
     "national registries, mostly 2022-2025"),
    ("BIC_Liste_EU", "list_EU", ("bic/bic_directory.tsv",), "merged BIC directory, sources 2015-2024"),
    ("SEPA_Liste", "c", ("tools/countries.py",), "ISO 3166 names, IBAN formats"),
)

PUBLISHED_NAME_RE = re.compile(r"blz[-_]([0-9]{4})[-_]([0-9]{2})[-_]([0-9]{2})(?:[-_]txt)?\.txt\Z")
SCL_DATE_RE = re.compile(r"Gueltig ab / valid from ([0-9]{2})\.([0-9]{2})\.([0-9]{4})")


def parse_date(text: str, what: str) -> datetime.date:
    try:
        return datetime.date.fromisoformat(text)
    except ValueError:
        raise GeneratorError("%s: %r is not a date YYYY-MM-DD" % (what, text)) from None


def date_from_published_name(path: str):
    """The first day of validity in a published name such as
    blz_2025_09_08_txt.txt or blz-2025-09-08.txt; None for other names."""
    m = PUBLISHED_NAME_RE.search(os.path.basename(path))
    if not m:
        return None
    try:
        return datetime.date(int(m.group(1)), int(m.group(2)), int(m.group(3)))
    except ValueError:
        raise GeneratorError("%s: no calendar date in the file name" % os.path.basename(path)) \
            from None


def next_edition_start(valid_from: datetime.date) -> datetime.date:
    """The Bundesbank's editions change every three months, on the Monday
    after the first Saturday of March, June, September and December
    (03.03.2025, 09.06.2025, 08.09.2025, 08.12.2025)."""
    month = valid_from.month + 3
    year = valid_from.year + (month - 1) // 12
    month = (month - 1) % 12 + 1
    first = datetime.date(year, month, 1)
    first_saturday = first + datetime.timedelta(days=(5 - first.weekday()) % 7)
    return first_saturday + datetime.timedelta(days=2)


def default_valid_to(valid_from: datetime.date) -> datetime.date:
    return next_edition_start(valid_from) - datetime.timedelta(days=1)


def sha256_of(paths) -> str:
    """The file's sha256; for several files the sha256 of their sha256sum
    listing (digest, two blanks, name, line end)."""
    digests = []
    for path in paths:
        with open(path, "rb") as f:
            digests.append((hashlib.sha256(f.read()).hexdigest(), os.path.basename(path)))
    if len(digests) == 1:
        return digests[0][0]
    listing = "".join("%s  %s\n" % d for d in digests)
    return hashlib.sha256(listing.encode("ascii")).hexdigest()


def expand(source_dir: str, pattern: str) -> list:
    """A source path; "dir/*.tsv" stands for every .tsv file there, by name."""
    if pattern.startswith("tools/"):
        return [os.path.join(os.path.dirname(os.path.abspath(__file__)), pattern[6:])]
    if pattern.endswith("/*.tsv"):
        folder = os.path.join(source_dir, pattern[:-6])
        return [os.path.join(folder, n) for n in sorted(os.listdir(folder)) if n.endswith(".tsv")]
    return [os.path.join(source_dir, pattern)]


# ---------------------------------------------------------------------------
# The manifest: which files data/ is built from
# ---------------------------------------------------------------------------

def read_manifest(data_dir: str) -> dict:
    path = os.path.join(data_dir, MANIFEST_NAME)
    if not os.path.exists(path):
        return dict(SHIPPED)
    facts = {}
    with open(path, encoding="ascii") as f:
        for lineno, line in enumerate(f, 1):
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            key, sep, value = line.partition("=")
            if not sep or key not in SHIPPED:
                raise GeneratorError("%s line %d: expected one of %s=..."
                                     % (path, lineno, ", ".join(SHIPPED)))
            facts[key] = value
    missing = [k for k in SHIPPED if k not in facts]
    if missing:
        raise GeneratorError("%s: %s missing" % (path, ", ".join(missing)))
    return facts


def render_manifest(facts: dict) -> str:
    out = ["# The raw files data/ is generated from (paths relative to the raw data\n"
           "# folder) and the German edition's validity.  Written by tools/update-data.\n"]
    for key in SHIPPED:
        out.append("%s=%s\n" % (key, facts[key]))
    return "".join(out)


def source_path(source_dir: str, name: str) -> str:
    return name if os.path.isabs(name) else os.path.join(source_dir, name)


def german_edition(facts: dict) -> tuple:
    valid_from = parse_date(facts["blz_valid_from"], "blz_valid_from")
    valid_to = parse_date(facts["blz_valid_to"], "blz_valid_to")
    if valid_to < valid_from:
        raise GeneratorError("German edition ends (%s) before it starts (%s)"
                             % (valid_to, valid_from))
    return valid_from, valid_to


def scl_valid_from(path: str) -> datetime.date:
    with open(path, "rb") as f:
        first = f.readline().decode("latin-1")
    m = SCL_DATE_RE.match(first)
    if not m:
        raise GeneratorError("%s line 1: no validity date" % os.path.basename(path))
    return datetime.date(int(m.group(3)), int(m.group(2)), int(m.group(1)))


# ---------------------------------------------------------------------------
# Rendering
# ---------------------------------------------------------------------------

def ymd(d: datetime.date) -> int:
    return d.year * 10000 + d.month * 100 + d.day


def german_text(d: datetime.date) -> str:
    return d.strftime("%d.%m.%Y")


def render_edition_de(facts: dict, sha256: str, rows: int, codes: int) -> str:
    valid_from, valid_to = german_edition(facts)
    return "".join([
        GENERATED_NOTE.format(source=os.path.basename(facts["blz"])),
        "// The German bank directory's edition: its validity and its source.\n",
        '#include "Edition.h"\n\n',
        "const Edition_DE edition_DE = {%d, %d, %s, %s, %d, %d};\n" % (
            ymd(valid_from), ymd(valid_to), c_string(facts["blz"].encode("ascii")),
            c_string(sha256.encode("ascii")), rows, codes),
    ])


# The German edition of a build's second slot (tools/update-data --slot next)
# defines its tables under the names of data/'s inside this namespace.
NEXT_NAMESPACE = "edition_next"


def in_namespace(text: str, namespace: str = NEXT_NAMESPACE) -> str:
    """A generated German unit with its definitions inside `namespace`,
    declared there first (PLUVAR_GERMAN_DECLARATIONS in src/Edition.h) so
    that the constants keep external linkage."""
    lines = text.splitlines(keepends=True)
    last_include = max(i for i, line in enumerate(lines) if line.startswith("#include"))
    head, body = "".join(lines[:last_include + 1]), "".join(lines[last_include + 1:])
    return (head + '#include "Edition.h"\n\nnamespace %s {\nPLUVAR_GERMAN_DECLARATIONS\n' % namespace
            + body + "\n}  // namespace %s\n" % namespace)


def render_edition(entries: list) -> str:
    out = [GENERATED_NOTE.format(source="data/" + MANIFEST_NAME),
           "// Every table unit with its source files and their edition.\n",
           '#include "Edition.h"\n\n',
           "const Edition_Source edition_sources[] = {\n"]
    for unit, tables, source, edition, sha in entries:
        out.append("    {%s, %s, %s, %s, %s},\n" % tuple(
            c_string(x.encode("ascii")) for x in (unit, tables, source, edition, sha)))
    out.append("};\n\n")
    out.append("const uint32_t edition_sources_size = "
               "sizeof edition_sources / sizeof edition_sources[0];\n")
    return "".join(out)


def edition_entries(source_dir: str, facts: dict) -> list:
    valid_from, valid_to = german_edition(facts)
    blz = source_path(source_dir, facts["blz"])
    scl = source_path(source_dir, facts["scl"])
    entries = [
        ("BLZ_Liste, BLZ_Liste_DE", "l, Sprung, head_DE", facts["blz"],
         "Bundesbank bank-code file, valid %s - %s" % (german_text(valid_from),
                                                        german_text(valid_to)),
         sha256_of([blz])),
        ("SCL_Liste", "list_SCL", facts["scl"],
         "Bundesbank SCL directory, valid from %s" % german_text(scl_valid_from(scl)),
         sha256_of([scl])),
    ]
    for unit, tables, patterns, edition in OTHER_TABLES:
        files = [p for pattern in patterns for p in expand(source_dir, pattern)]
        entries.append((unit, tables, ", ".join(patterns), edition, sha256_of(files)))
    return entries


def generate(source_dir: str, facts: dict, rows: int, codes: int, out_dir: str, write) -> None:
    """Writes both edition units; rows and codes are the German directory's
    row and bank-code counts."""
    entries = edition_entries(source_dir, facts)
    write(os.path.join(out_dir, "Edition_DE.cpp"),
          render_edition_de(facts, entries[0][4], rows, codes))
    write(os.path.join(out_dir, "Edition.cpp"), render_edition(entries))
