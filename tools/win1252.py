"""Texts of the foreign tables as Windows-1252 bytes.

The program writes table texts into the response line as stored, and its
callers read Windows-1252.  A letter that code page lacks (Czech, Slovak,
Polish, Lithuanian, Hungarian names) is stored as its base letter: "Komerční"
becomes "Komercní" (í exists in Windows-1252, č does not).  Anything else
that has no Windows-1252 form, and control characters, become "?"; the
encoder counts both kinds so the generator can report them."""

import unicodedata

# Letters whose stroke or dot is part of the letter, not a combining mark, so
# Unicode decomposition does not reveal the base letter.
BASE_LETTERS = {
    "ł": "l", "Ł": "L", "đ": "d", "Đ": "D", "ħ": "h", "Ħ": "H", "ı": "i",
    "ŀ": "l", "Ŀ": "L", "ŧ": "t", "Ŧ": "T", "ƀ": "b", "ɨ": "i",
}

_CONTROLS = frozenset(chr(c) for c in list(range(0x20)) + [0x7F])


def _encodable(ch: str) -> bool:
    try:
        ch.encode("cp1252")
        return True
    except UnicodeEncodeError:
        return False


def base_letter(ch: str) -> str:
    """The letter without its diacritics when that letter is in Windows-1252,
    else the empty text."""
    if ch in BASE_LETTERS:
        return BASE_LETTERS[ch]
    if not unicodedata.category(ch).startswith("L"):
        return ""
    stripped = "".join(d for d in unicodedata.normalize("NFD", ch)
                       if not unicodedata.combining(d))
    if len(stripped) == 1 and stripped != ch and _encodable(stripped):
        return stripped
    return ""


class Encoder:
    """Encodes texts and keeps count of what it had to change."""

    def __init__(self):
        self.transliterated = 0  # characters stored as their base letter
        self.unmappable = 0      # characters stored as "?"
        self.unmappable_samples = []

    def encode(self, text: str) -> bytes:
        try:
            data = text.encode("cp1252")
            if _CONTROLS.isdisjoint(text):
                return data
        except UnicodeEncodeError:
            pass
        out = bytearray()
        for ch in text:
            if ch in _CONTROLS:
                self._unmappable(ch)
                out += b"?"
            elif _encodable(ch):
                out += ch.encode("cp1252")
            else:
                base = base_letter(ch)
                if base:
                    self.transliterated += 1
                    out += base.encode("cp1252")
                else:
                    self._unmappable(ch)
                    out += b"?"
        return bytes(out)

    def _unmappable(self, ch: str) -> None:
        self.unmappable += 1
        if len(self.unmappable_samples) < 5:
            self.unmappable_samples.append("U+%04X" % ord(ch))
