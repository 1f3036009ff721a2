#!/usr/bin/env python3
"""--json and --utf8 answers against the line format, judged with Python's
own json module and codecs.

For generated requests of every mode (good and bad, with bytes of every
value), the fuzz seed corpus and every single byte value in each mode:
  - the --json answer is one line that the strict json parser takes, with
    "code" equal to the exit status and a documented "reason";
  - its fields, written back in the line format, give the --utf8 answer
    byte for byte (so both writers saw the same fields in the same order);
  - the --utf8 answer is valid UTF-8 and, folded to Windows-1252 the way the
    table generator folds, gives the default answer byte for byte.

    json_answers.py ANSWER_DUMP SOURCE_DIR [COUNT]

ANSWER_DUMP is the in-process driver (tests/answer_dump.cpp)."""

import json
import os
import random
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def answer_all(driver, requests):
    """(plain, --utf8, --json) answers with their exit statuses, in one run
    of the in-process driver."""
    data = b"".join(b"\t".join(args) + b"\n" for args in requests)
    out = subprocess.run([driver], input=data, stdout=subprocess.PIPE, check=True).stdout
    answers, pos = [], 0
    while pos < len(out):
        end = out.index(b"\n", pos)
        status, length = map(int, out[pos:end].split())
        answers.append((out[end + 1:end + 1 + length], status))
        pos = end + 1 + length
    assert len(answers) == 3 * len(requests), (len(answers), len(requests))
    return [answers[i:i + 3] for i in range(0, len(answers), 3)]


def reason_tokens(source_dir):
    """The tokens of the README's reason table."""
    tokens = set()
    with open(os.path.join(source_dir, "README.md"), encoding="utf-8") as f:
        inside = False
        for line in f:
            if line.startswith("<!-- section: reasons -->"):
                inside = True
            elif line.startswith("<!-- section:"):
                inside = False
            elif inside and line.startswith("| `"):
                tokens.add(line.split("`")[1])
    assert len(tokens) > 30, tokens
    return tokens


def line_from_json(obj):
    """The line format of a parsed --json answer."""
    out = []
    for hit in obj.get("hits", []):
        out.append("&".join("%s=%s" % (k, v) for k, v in hit.items()
                            if k not in ("deleted", "successor")) + "\r\n")
    if "banner" in obj:
        return obj["banner"]
    fields = ["code=%d" % obj["code"]]
    for k, v in obj.items():
        if k in ("hits", "code", "reason", "deleted", "successor"):
            continue
        fields.append("%s=%s" % (k, v))
    return "".join(out) + "&".join(fields)


def fold(text):
    """Windows-1252 bytes of a UTF-8 answer, folded as the generator folds."""
    sys.path.insert(0, os.path.join(HERE, "..", "tools"))
    from win1252 import Encoder
    enc = Encoder()
    out = bytearray()
    for ch in text:
        o = ord(ch)
        if o < 0x80:
            out.append(o)
        elif o < 0xA0 and ch.encode("cp1252", "ignore") == b"":
            out.append(o)  # a byte the code page leaves undefined travels as itself
        else:
            out += enc.encode(ch)
    return bytes(out)


def check(args, answers, tokens):
    (plain, s_plain), (utf8, s_utf8), (js, s_json) = answers
    where = repr(args)
    assert s_plain == s_utf8 == s_json, (where, s_plain, s_utf8, s_json)
    text = js.decode("utf-8")  # strict: raises on invalid UTF-8
    assert "\n" not in text and "\r" not in text, where
    obj = json.loads(text)  # strict: control characters must be escaped
    assert isinstance(obj, dict), where
    assert obj["code"] == s_json, (where, obj["code"], s_json)
    assert obj["reason"] in tokens and obj["reason"] != "unset", (where, obj["reason"])
    assert list(obj)[:1] in (["code"], ["hits"]), where
    utf8_text = utf8.decode("utf-8")
    assert line_from_json(obj) == utf8_text, (where, text, utf8_text)
    assert fold(utf8_text) == plain, (where, utf8, plain)
    return obj["reason"]


def generated(rng, count):
    banks = ["37040044", "10000000", "25050299", "12030000", "30150001", "10090300", "12345678",
             "1234567", "50040000", "10050000"]
    ibans = ["DE89370400440532013000", "DE88370400440532013000", "CZ6508000000192000145399",
             "AT611904300234573201", "BE88050123456766", "US12345", "XX1", "ES9121000418450200051332",
             "FR1420041010050500013M02606", "GB29NWBK60161331926819", "DE49250502990000000001"]
    words = ["münchen", "sparkasse", "bank", "köln", "Česká", "düsseldorf", "a&b", "x=y", "\x01\x1f",
             "\"q\\", "spor", "ł", "\xa0"]
    modes = [[], ["-allinfo"], ["search"], ["search", "-allinfo"], ["iban"], ["iban", "-allinfo"],
             ["sepa"], ["sepa", "-allinfo"]]
    for _ in range(count):
        mode = rng.choice(modes)
        pick = rng.random()
        if not mode or mode == ["-allinfo"]:
            q = ("knr=%d&blz=%s" % (rng.randrange(10 ** rng.randrange(1, 11)), rng.choice(banks))
                 if pick < 0.7 else "ibn=" + rng.choice(ibans))
        elif mode[0] == "search":
            parts = [rng.choice(["nam=", "loc=", "blz=", "zip=", "bic=", "max="])
                     + rng.choice(words + ["1001", "10", "coba", "2", "5"]) for _ in range(rng.randrange(1, 3))]
            q = "&".join(parts)
        elif mode[0] == "iban":
            cc = rng.choice(["de", "at", "ch", "be", "cz", "es", "sk", "xx"])
            q = "ccd=%s&blz=%s&knr=%d" % (cc, rng.choice(banks + ["11000", "050", "0800", "2100"]),
                                          rng.randrange(10 ** rng.randrange(1, 12)))
        else:
            q = "IBN=" + rng.choice(ibans) + (rng.choice(["", "&BIC=COBADEFFXXX", "&BIC=X"]))
        if rng.random() < 0.1:
            q = q[:rng.randrange(len(q) + 1)] + rng.choice(words) + q[rng.randrange(len(q) + 1):]
        yield mode + [q]


def corpus():
    """The fuzz seeds: the command-line seeds split at TAB, the handler seeds
    with their allinfo digit in front."""
    seeds = os.path.join(HERE, "fuzz", "seeds")
    modes = {"account.txt": [], "search.txt": ["search"], "iban.txt": ["iban"], "sepa.txt": ["sepa"]}
    for name in sorted(os.listdir(seeds)):
        with open(os.path.join(seeds, name), "rb") as f:
            for raw in f.read().split(b"\n"):
                text = raw.decode("latin-1")
                if not text:
                    continue
                if name == "cli.txt":
                    # Seeds with options of their own are judged by the fuzz
                    # targets; here each request gets the options in turn.
                    if not text.startswith("--"):
                        yield text.split("\t")
                elif name in modes:
                    mode = modes[name]
                    allinfo = ["-allinfo"] if text[0] == "1" else []
                    if not mode and allinfo:
                        yield allinfo + [text[1:]]
                    else:
                        yield mode + allinfo + [text[1:]]


def all_bytes():
    for b in range(1, 256):
        ch = bytes([b]).decode("latin-1")
        yield ["knr=1%s&blz=10000000" % ch]
        yield ["ibn=DE8937040044053201300" + ch]
        yield ["search", "nam=spar%s" % ch]
        yield ["iban", "ccd=de&blz=37040044&knr=5%s" % ch]
        yield ["sepa", "-allinfo", "IBN=DE89370400440532013000&BIC=%s" % ch]
        yield ["--lenient", "sepa", "IBN=DE89 3704 0044 0532 0130 0" + ch]


def main():
    driver, source_dir = sys.argv[1], sys.argv[2]
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 2000
    tokens = reason_tokens(source_dir)
    rng = random.Random(13)
    seen = set()
    n = 0
    requests = [(a, False) for a in list(generated(rng, count)) + list(corpus())]
    requests += [(a, True) for a in all_bytes()]
    batch = []
    for args, single_bytes in requests:
        # Texts beyond Latin-1 go as UTF-8; the others as UTF-8 or as
        # single bytes, by chance; the byte-value requests byte for byte.
        utf8 = not single_bytes and (rng.random() < 0.5 or any(ord(c) > 255 for c in "".join(args)))
        encoded = [a.encode("utf-8" if utf8 else "latin-1") for a in args]
        if any(b"\0" in a or b"\t" in a or b"\n" in a for a in encoded):
            continue
        batch.append(encoded)
    for args, answers in zip(batch, answer_all(driver, batch)):
        seen.add(check(args, answers, tokens))
    n = len(batch)
    print("%d requests, %d reasons seen" % (n, len(seen)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
