"""Pluvar in-process from Python: the C library libpluvar.so through ctypes.

No build step: the module needs only the standard library and libpluvar.so.1
(found through the environment variable PLUVAR_LIBRARY, a path, else the
system's library search).  Every function is safe to call from several
threads at once; the library keeps no state.

    import pluvar
    pluvar.account("37040044", "532013000", allinfo=True)
    # {'code': 1, 'reason': 'valid', 'name': 'Commerzbank', 'zip': '50447',
    #  'location': 'Köln', 'ibn': 'DE89370400440532013000', 'bic': 'COBADEFFXXX'}

Texts of the answers are decoded from Windows-1252 (the default answers) or
UTF-8 (with utf8=True or json=True).  Each mode function returns a dict whose
keys are those of the answer line; `code` is an int.  The typed calls behind
account(), iban(blz, knr) and sepa() also give `reason`, the token that tells
the cases of a code apart (as in the --json answer).
"""

import ctypes
import ctypes.util
import os
import threading

__all__ = [
    "account", "iban", "sepa", "search", "version",
    "answer", "command", "PluvarError",
]

MODE_ACCOUNT, MODE_IBAN, MODE_SEPA, MODE_SEARCH, MODE_VERSION = range(5)
ALLINFO, UTF8, JSON, LENIENT, STRICT = 0x01, 0x02, 0x04, 0x08, 0x10
EARGUMENT, ESPACE, EWRITE = -1, -2, -3
ANSWER_SIZE = 2048

# Keys an answer line can hold; a piece of a line that begins with none of
# them belongs to the value before it (bank names may hold "&").
_KEYS = ("code", "name", "zip", "location", "bic", "ibn", "knr", "blz", "country",
         "mode", "sct", "sdd", "b2b", "scc")


class PluvarError(Exception):
    """A call the library refused (a missing argument) or could not finish."""


_TEXT = ctypes.c_char * 300  # PLUVAR_TEXT_SIZE


class _Bank(ctypes.Structure):
    _fields_ = [("name", _TEXT), ("zip", _TEXT), ("location", _TEXT),
                ("bic", ctypes.c_char * 12)]


class _Account(ctypes.Structure):
    _fields_ = [("code", ctypes.c_int), ("reason", ctypes.c_char_p),
                ("iban", ctypes.c_char * 23), ("bank", _Bank)]


class _IbanDE(ctypes.Structure):
    _fields_ = [("code", ctypes.c_int), ("reason", ctypes.c_char_p),
                ("iban", ctypes.c_char * 35), ("bank", _Bank)]


class _IbanCheck(ctypes.Structure):
    _fields_ = [("code", ctypes.c_int), ("reason", ctypes.c_char_p),
                ("country", ctypes.c_char * 51), ("bank_found", ctypes.c_int),
                ("bank", _Bank), ("sct", ctypes.c_char), ("sdd", ctypes.c_char),
                ("b2b", ctypes.c_char), ("scc", ctypes.c_char)]


class _AccountText(ctypes.Structure):
    _fields_ = [("blz", ctypes.c_char_p), ("knr", ctypes.c_char_p)]


class _Request(ctypes.Structure):
    _fields_ = [("mode", ctypes.c_int), ("flags", ctypes.c_uint),
                ("query", ctypes.c_char_p), ("date", ctypes.c_char_p)]


_lib = None
_lib_lock = threading.Lock()


def _library():
    global _lib
    with _lib_lock:
        if _lib is None:
            path = (os.environ.get("PLUVAR_LIBRARY") or ctypes.util.find_library("pluvar")
                    or "libpluvar.so.1")
            lib = ctypes.CDLL(path)
            size_p = ctypes.POINTER(ctypes.c_size_t)
            lib.pluvar_answer.argtypes = [ctypes.POINTER(_Request), ctypes.c_char_p,
                                          ctypes.c_size_t, size_p]
            lib.pluvar_command.argtypes = [ctypes.c_int, ctypes.POINTER(ctypes.c_char_p),
                                           ctypes.c_char_p, ctypes.c_size_t, size_p]
            lib.pluvar_check_account.argtypes = [ctypes.c_char_p, ctypes.c_char_p,
                                                 ctypes.c_uint, ctypes.POINTER(_Account)]
            lib.pluvar_check_accounts.argtypes = [ctypes.POINTER(_AccountText), ctypes.c_size_t,
                                                  ctypes.POINTER(ctypes.c_int)]
            lib.pluvar_build_iban_de.argtypes = [ctypes.c_char_p, ctypes.c_char_p,
                                                 ctypes.c_uint, ctypes.POINTER(_IbanDE)]
            lib.pluvar_validate_iban.argtypes = [ctypes.c_char_p, ctypes.c_char_p,
                                                 ctypes.c_uint, ctypes.POINTER(_IbanCheck)]
            lib.pluvar_version.restype = ctypes.c_char_p
            lib.pluvar_data_edition.argtypes = [ctypes.POINTER(ctypes.c_ulong)] * 2
            _lib = lib
        return _lib


def _bytes(value):
    if isinstance(value, bytes):
        return value
    return str(value).encode("cp1252", errors="strict")


def _text(raw, encoding="cp1252"):
    return raw.decode(encoding, errors="replace")


def _fill(call):
    """Runs call(buf, size, length) with a buffer that grows to the answer."""
    size = ANSWER_SIZE
    while True:
        buf = ctypes.create_string_buffer(size)
        length = ctypes.c_size_t(0)
        code = call(buf, size, ctypes.byref(length))
        if code == ESPACE:
            size = length.value + 1
            continue
        if code < 0:
            raise PluvarError("the library refused the request (%d)" % code)
        return code, buf.raw[:length.value]


def answer(mode, query=None, allinfo=False, utf8=False, json=False, lenient=False,
           strict=False, date=None):
    """The command line's answer to a request: (code, bytes), exactly what
    `pluvar [OPTIONS] [MODE] [-allinfo] QUERY` prints and its exit status."""
    flags = ((ALLINFO if allinfo else 0) | (UTF8 if utf8 else 0) | (JSON if json else 0)
             | (LENIENT if lenient else 0) | (STRICT if strict else 0))
    request = _Request(mode, flags, None if query is None else _bytes(query),
                       None if date is None else _bytes(date))
    lib = _library()
    return _fill(lambda buf, size, length: lib.pluvar_answer(ctypes.byref(request), buf,
                                                             size, length))


def command(*args):
    """The program's answer to a command line given as its arguments:
    command("sepa", "IBN=...") is `pluvar sepa IBN=...`; (code, bytes)."""
    words = [b"pluvar"] + [_bytes(a) for a in args]
    argv = (ctypes.c_char_p * len(words))(*words)
    lib = _library()
    return _fill(lambda buf, size, length: lib.pluvar_command(len(words), argv, buf, size,
                                                              length))


def parse_line(line, encoding="cp1252"):
    """An answer line (bytes) as a dict: {'code': 1, 'name': ..., ...}."""
    fields = []
    for piece in line.split(b"&"):
        key, sep, value = piece.partition(b"=")
        if sep and key.decode("ascii", errors="replace") in _KEYS:
            fields.append([key.decode("ascii"), value])
        elif fields:
            fields[-1][1] += b"&" + piece
    result = {key: _text(value, encoding) for key, value in fields}
    if "code" in result and result["code"].isdigit():
        result["code"] = int(result["code"])
    return result


def _bank(bank, *keys):
    return {key: _text(getattr(bank, key)) for key in keys}


def account(blz, knr, allinfo=False):
    """Account check of a German account (`pluvar [-allinfo] knr=..&blz=..`)."""
    out = _Account()
    code = _library().pluvar_check_account(_bytes(blz), _bytes(knr),
                                           ALLINFO if allinfo else 0, ctypes.byref(out))
    if code < 0:
        raise PluvarError("the library refused the request (%d)" % code)
    result = {"code": code, "reason": out.reason.decode("ascii")}
    if code in (0, 1, 8, 9):
        result.update(_bank(out.bank, "name", "zip", "location"))
    if allinfo and code in (0, 1, 9):
        if out.iban:
            result["ibn"] = _text(out.iban)
        result["bic"] = _text(out.bank.bic)
    return result


def check_accounts(pairs):
    """Codes of many account checks in one call: for each (blz, knr) of
    pairs, the code account(blz, knr) would give.  Faster per account than
    account() for files of accounts; no bank texts."""
    texts = [(_bytes(blz), _bytes(knr)) for blz, knr in pairs]
    n = len(texts)
    array = (_AccountText * n)(*texts)
    codes = (ctypes.c_int * n)()
    if _library().pluvar_check_accounts(array, n, codes) < 0:
        raise PluvarError("the library refused the request")
    return list(codes)


def iban(blz=None, knr=None, allinfo=False, query=None):
    """The IBAN mode.  iban(blz, knr) builds a German IBAN (typed call);
    iban(query="ccd=at&blz=..&knr=..") answers any IBAN-mode query."""
    if query is not None:
        code, line = answer(MODE_IBAN, query, allinfo=allinfo)
        return parse_line(line)
    out = _IbanDE()
    code = _library().pluvar_build_iban_de(_bytes(blz), _bytes(knr),
                                           ALLINFO if allinfo else 0, ctypes.byref(out))
    if code < 0:
        raise PluvarError("the library refused the request (%d)" % code)
    result = {"code": code, "reason": out.reason.decode("ascii")}
    if out.iban:
        result["ibn"] = _text(out.iban)
        if allinfo:
            if out.bank.name:
                result.update(_bank(out.bank, "name", "zip", "location"))
            result["bic"] = _text(out.bank.bic)
    result["mode"] = "IBAN"
    return result


def sepa(iban_text, bic=None, allinfo=False):
    """IBAN validation as the SEPA mode (`pluvar sepa IBN=..[&BIC=..]`)."""
    out = _IbanCheck()
    code = _library().pluvar_validate_iban(_bytes(iban_text), None if bic is None else _bytes(bic),
                                           ALLINFO if allinfo else 0, ctypes.byref(out))
    if code < 0:
        raise PluvarError("the library refused the request (%d)" % code)
    result = {"code": code, "reason": out.reason.decode("ascii")}
    if code in (0, 1, 9):
        if out.bank_found:
            result.update(_bank(out.bank, "name", "zip", "location"))
            if allinfo:
                result["bic"] = _text(out.bank.bic)
                for key in ("sct", "sdd", "b2b", "scc"):
                    result[key] = _text(getattr(out, key))
        result["country"] = _text(out.country)
    result["mode"] = "SEPA"
    return result


def search(query, allinfo=False):
    """The search mode: {'code': 1, 'mode': 'SEARCH', 'hits': [{'blz': ..}, ..]}."""
    code, text = answer(MODE_SEARCH, query, allinfo=allinfo)
    lines = text.split(b"\r\n")
    result = parse_line(lines[-1])
    result["hits"] = [parse_line(line) for line in lines[:-1]]
    return result


def version():
    """Program version and the German directory's validity (YYYYMMDD)."""
    lib = _library()
    valid_from, valid_to = ctypes.c_ulong(0), ctypes.c_ulong(0)
    lib.pluvar_data_edition(ctypes.byref(valid_from), ctypes.byref(valid_to))
    code, banner = answer(MODE_VERSION)
    return {"version": lib.pluvar_version().decode("ascii"), "valid_from": valid_from.value,
            "valid_to": valid_to.value, "banner": _text(banner)}
