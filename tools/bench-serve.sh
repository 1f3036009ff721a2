#!/usr/bin/env bash
# Load benchmark of `pluvar serve` against nginx, in one run, on loopback:
# wrk with 64 connections for 20 s each (PLUVAR_BENCH_SECONDS to change),
# a mix of account checks (-allinfo) and SEPA validations against pluvar, and
# nginx serving a static file of the mix's mean answer size under the same
# wrk settings.  Prints requests/s and p99 latency of both and the ratios.
#   tools/bench-serve.sh [build/pluvar]
# Installs wrk and nginx-light with apt-get when they are missing.  Stops by
# itself; leaves nothing running.
set -euo pipefail
cd "$(dirname "$0")/.."
pluvar=$(realpath "${1:-build/pluvar}")
seconds=${PLUVAR_BENCH_SECONDS:-20}
connections=64
threads=2

missing=()
command -v wrk >/dev/null || missing+=(wrk)
[ -x /usr/sbin/nginx ] || missing+=(nginx-light)
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""; [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi

work=$(mktemp -d)
chmod 755 "$work"  # nginx workers run as another user
pluvar_pid=""; nginx_pid=""
cleanup() {
  [ -n "$pluvar_pid" ] && kill "$pluvar_pid" 2>/dev/null && wait "$pluvar_pid" 2>/dev/null
  [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

# The request mix: real bank codes (from the program's own search), random
# accounts, and German IBANs built from them with their MOD 97-10 digits.
for p in 1 2 3 4 5 6 7 8; do "$pluvar" search "zip=${p}0&max=60" || true; echo; done | grep -o 'blz=[0-9]*' | cut -d= -f2 | sort -u > "$work/blz"
python3 - "$work" <<'PY'
import random, sys
work = sys.argv[1]
random.seed(17)
codes = open(f"{work}/blz").read().split()
paths = []
for i in range(2000):
    blz = random.choice(codes)
    knr = f"{random.randrange(10**10):010d}"
    if i % 2 == 0:
        paths.append(f"/v1/account?knr={knr}&blz={blz}&allinfo=1")
    else:
        check = 98 - int(blz + knr + "131400") % 97
        paths.append(f"/v1/sepa?IBN=DE{check:02d}{blz}{knr}&allinfo=1")
with open(f"{work}/paths.lua", "w") as f:
    f.write("paths = {\n" + "".join(f'  "{p}",\n' for p in paths) + "}\n")
    f.write("i = 0\nrequest = function()\n  i = i % #paths + 1\n  return wrk.format(\"GET\", paths[i])\nend\n")
with open(f"{work}/paths.txt", "w") as f:
    f.write("\n".join(paths) + "\n")
PY

port=$(free_port)
"$pluvar" serve --listen "127.0.0.1:$port" > "$work/pluvar.out" &
pluvar_pid=$!
for _ in $(seq 50); do grep -q listening "$work/pluvar.out" 2>/dev/null && break; sleep 0.1; done

# Mean body size of the mix, for the static file.
size=$(head -200 "$work/paths.txt" | while read -r p; do curl -s "http://127.0.0.1:$port$p" | wc -c; done |
       awk '{s+=$1} END {printf "%d", s/NR}')
head -c "$size" /dev/urandom | base64 -w0 | head -c "$size" > "$work/static.txt"
chmod 644 "$work/static.txt"

nport=$(free_port)
mkdir -p "$work/nginx"
cat > "$work/nginx.conf" <<NGX
worker_processes $threads;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
daemon off;
events { worker_connections 1024; }
http {
  access_log off;
  keepalive_requests 100000000;
  client_body_temp_path $work/nginx; proxy_temp_path $work/nginx; fastcgi_temp_path $work/nginx;
  uwsgi_temp_path $work/nginx; scgi_temp_path $work/nginx;
  types { text/plain txt; }
  server { listen 127.0.0.1:$nport; root $work; location / { } }
}
NGX
/usr/sbin/nginx -c "$work/nginx.conf" -p "$work/nginx" &
nginx_pid=$!
for _ in $(seq 50); do curl -sf "http://127.0.0.1:$nport/static.txt" >/dev/null && break; sleep 0.1; done

run_wrk() {  # URL [SCRIPT] -> "requests/s p99_ms"
  local out
  if [ -n "${2:-}" ]; then
    out=$(wrk -t$threads -c$connections -d"${seconds}s" --latency -s "$2" "$1")
  else
    out=$(wrk -t$threads -c$connections -d"${seconds}s" --latency "$1")
  fi
  echo "$out" >&2
  local rps p99
  rps=$(echo "$out" | awk '/Requests\/sec/ {print $2}')
  p99=$(echo "$out" | awk '$1 == "99%" {v=$2; if (v ~ /us$/) {sub(/us/,"",v); v/=1000} else if (v ~ /ms$/) {sub(/ms/,"",v)} else if (v ~ /s$/) {sub(/s/,"",v); v*=1000}; print v}')
  echo "$rps $p99"
}

echo "== pluvar serve: mix of account checks and SEPA validations (${seconds}s, $connections connections)" >&2
read -r p_rps p_p99 < <(run_wrk "http://127.0.0.1:$port/" "$work/paths.lua")
echo "== nginx: static file of $size bytes (same wrk settings)" >&2
read -r n_rps n_p99 < <(run_wrk "http://127.0.0.1:$nport/static.txt")

python3 - "$p_rps" "$p_p99" "$n_rps" "$n_p99" "$size" <<'PY'
import sys
p_rps, p_p99, n_rps, n_p99 = map(float, sys.argv[1:5])
size = sys.argv[5]
print(f"{'':28}{'requests/s':>12}{'p99 ms':>10}")
print(f"{'pluvar serve (mix)':28}{p_rps:12.0f}{p_p99:10.2f}")
print(f"{'nginx static ' + size + ' B':28}{n_rps:12.0f}{n_p99:10.2f}")
ratio = p_rps / n_rps if n_rps else 0
print(f"rate ratio pluvar/nginx: {ratio:.2f}x (goal >= 0.5x); pluvar p99 {p_p99:.2f} ms (goal < 10 ms)")
PY
