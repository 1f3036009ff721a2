"""What the answers need beyond the Windows-1252 tables -> three units:

    Text_Spelling.cpp   the UTF-8 source spelling of every table text whose
                        Windows-1252 form differs from it (folded letters, "?")
    Text_Charset.cpp    Windows-1252 bytes 0x80-0x9F as Unicode, and the base
                        letter that the tables store for a letter Windows-1252
                        lacks (the folding of win1252.py, for search queries)
    BLZ_Deletion.cpp    German bank codes that the directory marks for
                        deletion, with the successor bank code it names

Kept apart from the table layouts in gen_de.py and gen_eu.py: it reads the
same sources through their readers and writes units of its own."""

import os
import sys
import unicodedata

import gen_de
import gen_eu
from tablegen import GENERATED_NOTE, GeneratorError, c_string
from win1252 import Encoder, base_letter

# Unicode planes whose letters a search query may hold: Latin, Greek,
# Cyrillic and the Latin additions.  Letters outside have no base letter in
# Windows-1252.
BASE_LETTER_RANGES = [(0x00C0, 0x02AF), (0x1E00, 0x1EFF)]


# ---------------------------------------------------------------------------
# Source spellings
# ---------------------------------------------------------------------------

def source_texts(national_dir: str, directory_path: str) -> list:
    """Every text of the foreign tables as the sources spell it.  The German
    directory is Latin-1 and so always spelled as stored."""
    texts = []
    for cc, _width in gen_eu.NATIONAL:
        for _line, fields in gen_eu.read_tsv(os.path.join(national_dir, cc + ".tsv"),
                                             ["code", "name", "zip", "location", "bic"]):
            texts.extend(fields[1:4])
    for _line, fields in gen_eu.read_tsv(directory_path, ["bic", "name", "zip", "location"]):
        texts.extend(fields[1:4])
    return texts


def spellings(texts: list) -> list:
    """(Windows-1252 bytes, UTF-8 bytes) of the texts that the tables store
    otherwise than spelled, sorted by the stored bytes.  A stored text that
    two spellings share could not be told apart: that stops generation."""
    enc = Encoder()
    pairs = {}
    for text in texts:
        stored = enc.encode(text)
        if stored.decode("cp1252") == text:
            continue
        utf8 = text.encode("utf-8")
        if pairs.setdefault(stored, utf8) != utf8:
            raise GeneratorError("texts %r and %r are both stored as %r"
                                 % (pairs[stored].decode(), text, stored))
    return sorted(pairs.items())


def render_spellings(pairs: list, source: str) -> str:
    out = [GENERATED_NOTE.format(source=source),
           "// Source spellings of the table texts whose Windows-1252 form differs:\n"
           "// text i is stored as spelling_pool + spelling_stored[i] and spelled\n"
           "// spelling_pool + spelling_utf8[i]; sorted by the stored bytes.\n",
           "#include <cstdint>\n\n",
           "extern const char spelling_pool[];\n",
           "extern const uint32_t spelling_stored[];\n",
           "extern const uint32_t spelling_utf8[];\n",
           "extern const uint32_t spelling_count;\n\n",
           "const char spelling_pool[] =\n"]
    offsets = []
    at = 0
    for stored, utf8 in pairs:
        offsets.append((at, at + len(stored) + 1))
        out.append("    %s \"\\0\"\n    %s \"\\0\"\n" % (c_string(stored), c_string(utf8)))
        at += len(stored) + len(utf8) + 2
    out.append("    \"\";\n\n")
    for name, column in (("spelling_stored", 0), ("spelling_utf8", 1)):
        out.append("const uint32_t %s[] = {\n" % name)
        for i in range(0, len(offsets), 12):
            out.append("    %s,\n" % ", ".join(str(o[column]) for o in offsets[i:i + 12]))
        out.append("    0};\n")
    out.append("const uint32_t spelling_count = %d;\n" % len(pairs))
    return "".join(out)


# ---------------------------------------------------------------------------
# Character set
# ---------------------------------------------------------------------------

def cp1252_high() -> list:
    """Code points of the bytes 0x80-0x9F; a byte the code page leaves
    undefined stands for the control character of the same number."""
    points = []
    for b in range(0x80, 0xA0):
        try:
            points.append(ord(bytes([b]).decode("cp1252")))
        except UnicodeDecodeError:
            points.append(b)
    return points


def base_letters() -> list:
    """(code point, Windows-1252 byte) for the letters the code page lacks."""
    pairs = []
    for lo, hi in BASE_LETTER_RANGES:
        for cp in range(lo, hi + 1):
            ch = chr(cp)
            try:
                ch.encode("cp1252")
                continue
            except UnicodeEncodeError:
                pass
            base = base_letter(ch)
            if base:
                pairs.append((cp, base.encode("cp1252")[0]))
    return pairs


def render_charset() -> str:
    out = [GENERATED_NOTE.format(source="Python's cp1252 codec and Unicode decompositions"
                                 " (unicodedata %s)" % unicodedata.unidata_version),
           "// Windows-1252 bytes 0x80-0x9F as code points, and the base letter stored\n"
           "// for a letter Windows-1252 lacks (sorted by code point).\n",
           "#include <cstdint>\n\n",
           "extern const uint16_t cp1252_high[32];\n",
           "extern const uint16_t base_letter_point[];\n",
           "extern const unsigned char base_letter_byte[];\n",
           "extern const uint32_t base_letter_count;\n\n",
           "const uint16_t cp1252_high[32] = {\n"]
    high = cp1252_high()
    for i in range(0, 32, 8):
        out.append("    %s,\n" % ", ".join("0x%04X" % p for p in high[i:i + 8]))
    out.append("};\n\n")
    pairs = base_letters()
    out.append("const uint16_t base_letter_point[] = {\n")
    for i in range(0, len(pairs), 10):
        out.append("    %s,\n" % ", ".join("0x%04X" % p for p, _ in pairs[i:i + 10]))
    out.append("};\n\nconst unsigned char base_letter_byte[] = {\n")
    for i in range(0, len(pairs), 16):
        out.append("    %s,\n" % ", ".join("0x%02X" % b for _, b in pairs[i:i + 16]))
    out.append("};\n\nconst uint32_t base_letter_count = %d;\n" % len(pairs))
    return "".join(out)


# ---------------------------------------------------------------------------
# Deletion marks of the German directory
# ---------------------------------------------------------------------------

def deletions(records: list) -> list:
    """(bank code, successor or 0) of the banks whose own row is marked for
    deletion, by bank code."""
    marked = []
    for rec in records:
        if rec["own"] and rec["deleted"]:
            marked.append((int(rec["blz"]), int(rec["successor"] or b"0")))
    return sorted(marked)


def render_deletions(marked: list, source: str) -> str:
    out = [GENERATED_NOTE.format(source=source),
           "// Bank codes whose own row the directory marks for deletion, ascending,\n"
           "// with the successor bank code it names (0 for none).\n",
           "#include <cstdint>\n\n",
           "extern const uint32_t deleted_blz[];\n",
           "extern const uint32_t deleted_successor[];\n",
           "extern const uint32_t deleted_count;\n\n"]
    for name, column in (("deleted_blz", 0), ("deleted_successor", 1)):
        out.append("const uint32_t %s[] = {\n" % name)
        for i in range(0, len(marked), 8):
            out.append("    %s,\n" % ", ".join(str(m[column]) for m in marked[i:i + 8]))
        out.append("    0};\n")
    out.append("const uint32_t deleted_count = %d;\n" % len(marked))
    return "".join(out)


def generate(blz_path: str, national_dir: str, directory_path: str, out_dir: str, write,
             report=None) -> None:
    pairs = spellings(source_texts(national_dir, directory_path))
    write(os.path.join(out_dir, "Text_Spelling.cpp"),
          render_spellings(pairs, "national/<CC>.tsv and bic/" + os.path.basename(directory_path)))
    write(os.path.join(out_dir, "Text_Charset.cpp"), render_charset())
    marked = deletions(gen_de.read_directory(blz_path))
    write(os.path.join(out_dir, "BLZ_Deletion.cpp"),
          render_deletions(marked, os.path.basename(blz_path)))
    if report is None:
        report = lambda line: print(line, file=sys.stderr)  # noqa: E731
    report("gen_text: %d source spellings, %d base letters, %d banks marked for deletion"
           % (len(pairs), len(base_letters()), len(marked)))
