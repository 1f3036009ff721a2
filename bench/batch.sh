#!/usr/bin/env bash
# Batch throughput: a million account-check lines through `pluvar --batch`,
# against the same bank-code/account pairs through the peer tool
# `ktoblzcheck --infile` (a black-box baseline, Debian package; never linked)
# and against `cat` of the same file (the floor: reading the requests and
# writing as many bytes).  Also SEPA -allinfo lines and German IBAN lines.
#   bench/batch.sh [LINES] [ROUNDS] [PLUVAR]     (1000000, 3, build/pluvar)
# Each round runs every program once, in turn, so that a drift of the
# machine's speed hits all alike; the figures are medians and the ratios come
# from the same run.  Not part of CI: it installs ktoblzcheck when missing.
set -euo pipefail
cd "$(dirname "$0")/.."
lines=${1:-1000000}
rounds=${2:-3}
pluvar=${3:-build/pluvar}
[ -x "$pluvar" ] || { echo "no program at $pluvar (build first)"; exit 1; }

# Setup: the peer tool, installed here only.
if ! command -v ktoblzcheck >/dev/null; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq ktoblzcheck >/dev/null
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$lines" "$work" "$pluvar" "$rounds" <<'PY'
import os, random, re, statistics, subprocess, sys, time

lines, work, pluvar = int(sys.argv[1]), sys.argv[2], sys.argv[3]

# Real bank codes: every code of the compiled-in German directory.
codes = sorted(set(re.findall(r'"(\d{8})"', open("data/BLZ_Liste_DE.cpp").read())))
rng = random.Random(20261208)

def iban_de(blz, knr):
    check = 98 - int(blz + knr + "131400") % 97
    return "DE%02d%s%s" % (check, blz, knr)

pairs = [(rng.choice(codes), "%010d" % rng.randrange(10**10)) for _ in range(lines)]
files = {
    "account": "".join("knr=%s&blz=%s\n" % (k, b) for b, k in pairs),
    "account_peer": "".join("%s\t%s\n" % (b, k) for b, k in pairs),
    "sepa_allinfo": "".join("sepa\t-allinfo\tIBN=%s\n" % iban_de(b, k) for b, k in pairs),
    "iban_de": "".join("IBN=%s\n" % iban_de(b, k) for b, k in pairs),
}
for name, text in files.items():
    with open("%s/%s.txt" % (work, name), "w") as f:
        f.write(text)
print("%d codes, %d lines per file, account file %.1f MB" %
      (len(codes), lines, len(files["account"]) / 1e6))

def run(cmd, infile):
    # Wall time and CPU time (user + system) of one run.  The CPU time is
    # the steadier figure when other work shares the machine.  The peer's
    # exit status is that of its last line, and it warns on standard error
    # about methods it lacks: neither is a failure here.
    peer = cmd[0] == "ktoblzcheck"
    with open(infile, "rb") as src, open("/dev/null", "wb") as dst:
        t0 = time.perf_counter()
        p = subprocess.Popen(cmd, stdin=src, stdout=dst,
                             stderr=subprocess.DEVNULL if peer else None)
        _, status, usage = os.wait4(p.pid, 0)
        wall = time.perf_counter() - t0
        if not peer and status != 0:
            sys.exit("%s failed" % cmd)
        return wall, usage.ru_utime + usage.ru_stime

f = lambda name: "%s/%s.txt" % (work, name)
programs = {
    "pluvar account": ([pluvar, "--batch"], f("account")),
    "pluvar account x2": ([pluvar, "--threads", "2", "--batch"], f("account")),
    "ktoblzcheck": (["ktoblzcheck", "--outformat=oneline", "--infile=" + f("account_peer"),
                     "0", "0"], f("account_peer")),
    "cat account": (["cat"], f("account")),
    "pluvar sepa -allinfo": ([pluvar, "--batch"], f("sepa_allinfo")),
    "cat sepa": (["cat"], f("sepa_allinfo")),
    "pluvar iban_de": ([pluvar, "--batch"], f("iban_de")),
    "cat iban_de": (["cat"], f("iban_de")),
}
times = {name: [] for name in programs}
for _ in range(int(sys.argv[4]) if len(sys.argv) > 4 else 3):
    for name, (cmd, infile) in programs.items():
        times[name].append(run(cmd, infile))
for kind, k in (("wall", 0), ("cpu", 1)):
    med = {name: statistics.median(t[k] for t in ts) for name, ts in times.items()}
    print("-- %s time (medians) --" % kind)
    for name in programs:
        print("%-22s %8.3f s  %12.0f lines/s" % (name, med[name], lines / med[name]))
    print("account: pluvar/ktoblzcheck rate %.2fx (goal >= 3), pluvar/cat time %.2fx (goal <= 5)" %
          (med["ktoblzcheck"] / med["pluvar account"], med["pluvar account"] / med["cat account"]))
    print("account, --threads 2: pluvar/ktoblzcheck rate %.2fx, pluvar/cat time %.2fx" %
          (med["ktoblzcheck"] / med["pluvar account x2"], med["pluvar account x2"] / med["cat account"]))
    print("sepa -allinfo: pluvar/cat time %.2fx; iban_de: pluvar/cat time %.2fx" %
          (med["pluvar sepa -allinfo"] / med["cat sepa"], med["pluvar iban_de"] / med["cat iban_de"]))
PY
