#!/usr/bin/env bash
# Requests per second of the classroom server, orvella-serve, next to
# kiwix-serve serving the same pages from a ZIM archive, on this machine in
# the same run.
#
#   bench/serve-bench.sh [--duration SECONDS] [--rounds N] [--threads N]
#                        [--connections N] [--server-threads N] [--gzip] [--close] [BUILD_DIR]
#
# BUILD_DIR (default: the repository's build/) holds src/app/qilcd,
# src/app/orvella-serve and the demo disc math.dat. The script
#  1. writes the disc's static entries into a temporary folder with
#     `qilcd ls` and `qilcd cat`, leaving out the page templates (*.stmp),
#     which the engine fills in per request, and the Windows metafiles
#     (*.wmf, *.wmz), which orvella-serve answers drawn as SVG and
#     kiwix-serve would answer raw;
#  2. packs that folder into a ZIM archive with zimwriterfs;
#  3. starts kiwix-serve and orvella-serve on 127.0.0.1, on free ports;
#  4. checks with curl that both answer 200 for every address of the set,
#     with the disc's bytes (kiwix-serve adds one <link> line to HTML pages);
#  5. runs wrk with the same threads, connections and duration on
#       a) kiwix-serve, the static pages (HTML, CSS, JS, raster pictures);
#       b) orvella-serve, the same pages;
#       c) orvella-serve, list pages the engine makes per request
#          (/mathlist.stmp?main=CODE for every topic code in /index.html);
#     ROUNDS times in that order, and prints the median of each (requests
#     and bytes per second, latency at 50% and 99%; every round as it ends),
#     then the rows for the README's benchmark table.
# Goal: orvella-serve answers the static pages at least as fast as
# kiwix-serve. The list pages have no counterpart in kiwix-serve; their row
# is there to be watched.
#
# Both servers get the same number of worker threads (--server-threads,
# default 4, kiwix-serve's own default) and no per-address connection limit;
# --gzip makes wrk ask both for gzip; --close makes it ask for a new
# connection per request (kiwix-serve closes every connection by itself,
# orvella-serve keeps them open), which compares the two without the gain of
# keep-alive. wrk and the servers share the machine's
# cores, so the figures are for comparing with each other, not absolute.
# Only loopback addresses are used; every process and file the script makes
# goes at exit.
set -euo pipefail

readonly START_SECONDS=15   # for a server to answer after it starts
readonly STOP_SECONDS=10    # for a server to end after SIGTERM

die() { echo "serve-bench: $*" >&2; exit 1; }
usage() {
  echo "usage: bench/serve-bench.sh [--duration SECONDS] [--rounds N] [--threads N]" \
    "[--connections N] [--server-threads N] [--gzip] [--close] [BUILD_DIR]" >&2
  exit 2
}

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
duration=10 rounds=3 threads=2 connections=32 server_threads=4 gzip=0 close=0 build=""
while [ $# -gt 0 ]; do
  case "$1" in
    --duration) [ $# -ge 2 ] || usage; duration=$2; shift 2 ;;
    --rounds) [ $# -ge 2 ] || usage; rounds=$2; shift 2 ;;
    --threads) [ $# -ge 2 ] || usage; threads=$2; shift 2 ;;
    --connections) [ $# -ge 2 ] || usage; connections=$2; shift 2 ;;
    --server-threads) [ $# -ge 2 ] || usage; server_threads=$2; shift 2 ;;
    --gzip) gzip=1; shift ;;
    --close) close=1; shift ;;
    -*) usage ;;
    *) [ -z "$build" ] || usage; build=$1; shift ;;
  esac
done
for n in "$duration" "$rounds" "$threads" "$connections" "$server_threads"; do
  [[ "$n" =~ ^[1-9][0-9]*$ ]] || { echo "serve-bench: '$n' is not a positive number" >&2; usage; }
done
[ "$connections" -ge "$threads" ] || die "--connections must be at least --threads (wrk's rule)"

build=${build:-$here/../build}
build=$(cd "$build" 2>/dev/null && pwd) || die "no build folder ${build}"
qilcd=$build/src/app/qilcd
serve=$build/src/app/orvella-serve
disc=$build/math.dat
[ -e "$disc" ] || disc=$build/content/math.dat
for file in "$qilcd" "$serve" "$disc"; do [ -e "$file" ] || die "missing $file"; done
for tool in kiwix-serve zimwriterfs wrk curl python3 timeout; do
  command -v "$tool" >/dev/null || die "needs $tool (scripts/install-deps.sh installs it)"
done

work=$(mktemp -d "${TMPDIR:-/tmp}/serve-bench.XXXXXX") || die "no temporary folder"
kiwix_pid="" orvella_pid="" wrk_pid=""

# stop PID: SIGTERM, up to STOP_SECONDS for it to end, then SIGKILL.
stop() {
  local pid=$1 waited=0
  kill -TERM "$pid" 2>/dev/null || { wait "$pid" 2>/dev/null || true; return 0; }
  while kill -0 "$pid" 2>/dev/null && [ "$waited" -lt $((STOP_SECONDS * 10)) ]; do
    # A process that has ended but not been reaped still answers kill -0.
    [ "$(ps -o stat= -p "$pid" 2>/dev/null | cut -c1)" = Z ] && break
    sleep 0.1
    waited=$((waited + 1))
  done
  if kill -0 "$pid" 2>/dev/null && [ "$(ps -o stat= -p "$pid" 2>/dev/null | cut -c1)" != Z ]; then
    echo "serve-bench: process $pid did not end on SIGTERM, killing it" >&2
    kill -KILL "$pid" 2>/dev/null || true
  fi
  wait "$pid" 2>/dev/null || true
}

# shellcheck disable=SC2317  # runs from the trap
cleanup() {
  [ -z "$wrk_pid" ] || stop "$wrk_pid"
  [ -z "$kiwix_pid" ] || stop "$kiwix_pid"
  [ -z "$orvella_pid" ] || stop "$orvella_pid"
  if [ -n "${KEEP_WORK:-}" ]; then echo "serve-bench: kept $work" >&2; else rm -rf "$work"; fi
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

# --- 1. The disc's static entries as plain files.
pages=$work/pages
mkdir -p "$pages"
"$qilcd" ls "$disc" >"$work/entries.tsv" || die "qilcd ls $disc failed"
: >"$work/static.txt"
while IFS=$'\t' read -r _ name; do
  case "$name" in
    *.stmp | *.wmf | *.wmz | *.WMF | *.WMZ) continue ;;
  esac
  mkdir -p "$pages/$(dirname "$name")"
  "$qilcd" cat "$disc" "$name" >"$pages/$name" || die "qilcd cat $disc $name failed"
  echo "$name" >>"$work/static.txt"
done <"$work/entries.tsv"
# The addresses the load goes to: pages, stylesheets, scripts and raster
# pictures (the fonts and the database's lists stay in the ZIM but out of the
# load, so that a few large files do not decide the figures).
grep -iE '\.(html?|css|js|jpe?g|png|gif|bmp)$' "$work/static.txt" >"$work/load.txt" || true
[ -s "$work/load.txt" ] || die "the disc has no static pages"

# --- 2. The same files as a ZIM archive. zimwriterfs wants a 48 x 48 PNG
# illustration: a plain square, written here.
illustration=zim-illustration.png
[ ! -e "$pages/$illustration" ] || die "the disc has an entry named $illustration"
python3 - "$pages/$illustration" <<'EOF'
import struct
import sys
import zlib

side = 48
rows = b"".join(b"\0" + bytes((31, 78, 140)) * side for _ in range(side))


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


with open(sys.argv[1], "wb") as out:
    out.write(b"\x89PNG\r\n\x1a\n")
    out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", side, side, 8, 2, 0, 0, 0)))
    out.write(chunk(b"IDAT", zlib.compress(rows)))
    out.write(chunk(b"IEND", b""))
EOF
book="orvella-demo"
zimwriterfs --welcome=index.html --illustration="$illustration" --language=eng \
  --title="Orvella demo disc" --description="The static pages of the Orvella demo disc" \
  --creator=Brenlowe --publisher=Brenlowe --name="$book" \
  "$pages" "$work/$book.zim" >"$work/zimwriterfs.log" 2>&1 ||
  { cat "$work/zimwriterfs.log" >&2; die "zimwriterfs failed"; }

# --- 3. The servers.
free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# answers URL: 0 once the server answers anything at URL.
answers() { curl -s -o /dev/null --max-time 2 "$1"; }

# kiwix-serve takes no port 0: ask the system for a free port, and try again
# should another program take it before kiwix-serve binds it. -a ends it
# with this script, whatever happens; -n leaves its search bar out of the
# pages, so that it sends the pages as stored.
kiwix_port=""
for attempt in 1 2 3; do
  port=$(free_port)
  kiwix-serve --address=127.0.0.1 --port="$port" --threads="$server_threads" --nosearchbar \
    --attachToProcess=$$ "$work/$book.zim" >"$work/kiwix.log" 2>&1 &
  kiwix_pid=$!
  for _ in $(seq $((START_SECONDS * 10))); do
    kill -0 "$kiwix_pid" 2>/dev/null || break
    if answers "http://127.0.0.1:$port/"; then kiwix_port=$port; break; fi
    sleep 0.1
  done
  [ -n "$kiwix_port" ] && break
  stop "$kiwix_pid"
  kiwix_pid=""
  echo "serve-bench: kiwix-serve did not start on port $port (attempt $attempt)" >&2
done
[ -n "$kiwix_port" ] || { cat "$work/kiwix.log" >&2; die "kiwix-serve did not start"; }
kiwix=http://127.0.0.1:$kiwix_port

"$serve" --archive "$disc" --address 127.0.0.1 --port 0 --per-ip-limit 0 --threads "$server_threads" \
  --log /dev/null >"$work/orvella.out" 2>"$work/orvella.err" &
orvella_pid=$!
orvella=""
for _ in $(seq $((START_SECONDS * 10))); do
  port=$(sed -nE 's|^Listening on http://127\.0\.0\.1:([0-9]+)/$|\1|p' "$work/orvella.err" | head -1)
  [ -n "$port" ] && { orvella=http://127.0.0.1:$port; break; }
  kill -0 "$orvella_pid" 2>/dev/null || break
  sleep 0.1
done
[ -n "$orvella" ] || { cat "$work/orvella.err" >&2; die "orvella-serve printed no Listening line"; }
for _ in $(seq $((START_SECONDS * 10))); do
  answers "$orvella/" && break
  kill -0 "$orvella_pid" 2>/dev/null || break
  sleep 0.1
done
answers "$orvella/" || { cat "$work/orvella.err" >&2; die "orvella-serve does not answer at $orvella/"; }

# --- 4. Where kiwix-serve keeps the book (its catalogue names it), and the
# address sets.
curl -sf --max-time 5 "$kiwix/catalog/v2/entries" >"$work/catalog.xml" || die "kiwix-serve has no catalogue"
prefix=$(sed -nE 's|.*<link type="text/html" href="([^"]*)".*|\1|p' "$work/catalog.xml" | head -1)
[ -n "$prefix" ] || die "kiwix-serve's catalogue names no book page"
sed "s|^|$prefix/|" "$work/load.txt" >"$work/kiwix.paths"
sed "s|^|/|" "$work/load.txt" >"$work/orvella.paths"
codes=$(curl -sf --max-time 5 "$orvella/index.html" | grep -oE 'data-topic="[A-Za-z0-9]+"' |
  sed -E 's/.*="(.*)"/\1/' | sort -u) || die "orvella-serve does not answer /index.html"
[ -n "$codes" ] || die "/index.html names no topic codes"
for code in $codes; do echo "/mathlist.stmp?main=$code"; done >"$work/lists.paths"

headers=()
[ "$gzip" -eq 0 ] || headers+=(-H "Accept-Encoding: gzip, deflate")
[ "$close" -eq 0 ] || headers+=(-H "Connection: close")

# check NAME BASE PATHS [COMPARE]: every address answers 200, with the disc's
# bytes when COMPARE is given (HTML pages of kiwix-serve: up to its added
# <link type="root"> element). Fails at the first wrong status.
check() {
  local name=$1 base=$2 paths=$3 compare=${4:-} path status entry differ=0
  while IFS= read -r path; do
    status=$(curl -s -o "$work/body" -w '%{http_code}' --max-time 10 "$base$path") || status=000
    [ "$status" = 200 ] || die "$name answers $status for $base$path"
    [ -n "$compare" ] || continue
    entry=${path#"$compare"}
    entry=${entry#/}
    case "$entry" in
      *.htm | *.html) sed -i 's|<link type="root" href="[^"]*">||' "$work/body" ;;
    esac
    if ! cmp -s "$work/body" "$pages/$entry"; then
      echo "serve-bench: WARNING: $name answers other bytes than the disc for $path" >&2
      differ=$((differ + 1))
    fi
  done <"$paths"
  echo "$name: $(wc -l <"$paths") addresses answer 200${compare:+, $differ with other bytes than the disc}" >&2
}
check kiwix-serve "$kiwix" "$work/kiwix.paths" "$prefix"
check orvella-serve "$orvella" "$work/orvella.paths" /
check "orvella-serve (list pages)" "$orvella" "$work/lists.paths"

# --- 5. The load.
# The wrk script: each connection's requests cycle through the addresses of
# a file, each wrk thread starting at another place of it.
cat >"$work/cycle.lua" <<'EOF'
local threads = 0

function setup(thread)
  thread:set("first", threads)
  threads = threads + 1
end

local paths = {}
local index = 0

function init(args)
  for line in io.lines(args[1]) do
    if line ~= "" then paths[#paths + 1] = line end
  end
  if #paths == 0 then error("no addresses in " .. args[1]) end
  index = (first or 0) * 7 % #paths
end

function request()
  index = index % #paths + 1
  return wrk.format("GET", paths[index])
end
EOF

# bytes TEXT: wrk's "1.23MB" as bytes.
bytes() {
  awk -v t="$1" 'BEGIN {
    n = t + 0; u = t; sub(/^[0-9.]+/, "", u)
    f = (u == "KB") ? 1024 : (u == "MB") ? 1048576 : (u == "GB") ? 1073741824 : 1
    printf "%.0f", n * f
  }'
}

# ms TEXT: wrk's "850.00us", "1.20ms" or "2.01s" as milliseconds.
ms() {
  awk -v t="$1" 'BEGIN {
    n = t + 0; u = t; sub(/^[0-9.]+/, "", u)
    f = (u == "us") ? 0.001 : (u == "s") ? 1000 : (u == "m") ? 60000 : 1
    printf "%.2f", n * f
  }'
}

# load NAME BASE PATHS ROUND: one wrk run; appends "NAME RPS BYTES_PER_S
# REQUESTS NON2XX SOCKET_ERRORS P50_MS P99_MS" to results.txt.
load() {
  local name=$1 base=$2 paths=$3 round=$4 out rps transfer requests non2xx errors p50 p99
  out=$work/wrk.$name.$round
  # In the background, so that a signal reaches the trap at once.
  timeout $((duration + 60)) wrk -t "$threads" -c "$connections" -d "${duration}s" --timeout 5s --latency \
    ${headers[@]+"${headers[@]}"} -s "$work/cycle.lua" "$base/" -- "$paths" >"$out" 2>&1 &
  wrk_pid=$!
  wait "$wrk_pid" || { wrk_pid=""; cat "$out" >&2; die "wrk failed on $name"; }
  wrk_pid=""
  rps=$(sed -nE 's/^Requests\/sec:\s*([0-9.]+).*/\1/p' "$out")
  transfer=$(sed -nE 's/^Transfer\/sec:\s*([0-9.]+[KMG]?B).*/\1/p' "$out")
  requests=$(sed -nE 's/^\s*([0-9]+) requests in .*/\1/p' "$out")
  non2xx=$(sed -nE 's/^\s*Non-2xx or 3xx responses:\s*([0-9]+).*/\1/p' "$out")
  errors=$(sed -nE 's/^\s*Socket errors: connect ([0-9]+), read ([0-9]+), write ([0-9]+), timeout ([0-9]+).*/\1+\2+\3+\4/p' "$out")
  p50=$(sed -nE 's/^\s*50%\s+([0-9.]+[a-z]+).*/\1/p' "$out")
  p99=$(sed -nE 's/^\s*99%\s+([0-9.]+[a-z]+).*/\1/p' "$out")
  if [ -z "$rps" ] || [ -z "$transfer" ] || [ -z "$requests" ] || [ -z "$p50" ] || [ -z "$p99" ]; then
    cat "$out" >&2
    die "cannot read wrk's output"
  fi
  echo "$name $rps $(bytes "$transfer") $requests ${non2xx:-0} $((${errors:-0})) $(ms "$p50") $(ms "$p99")" \
    >>"$work/results.txt"
  printf '  round %d  %-8s %8.0f req/s %10s/s  latency 50%% %8s, 99%% %8s  %s 4xx/5xx, %s socket errors\n' \
    "$round" "$name" "$rps" "$transfer" "$p50" "$p99" "${non2xx:-0}" "$((${errors:-0}))" >&2
}

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
asked=""
[ "$gzip" -eq 0 ] || asked+=", gzip asked"
[ "$close" -eq 0 ] || asked+=", a connection per request"
echo "wrk -t$threads -c$connections -d${duration}s$asked, $rounds round(s)," \
  "$(wc -l <"$work/load.txt") static addresses, $(wc -l <"$work/lists.paths") list pages" >&2
: >"$work/results.txt"
for round in $(seq "$rounds"); do
  load kiwix "$kiwix$prefix" "$work/kiwix.paths" "$round"
  load orvella "$orvella" "$work/orvella.paths" "$round"
  load lists "$orvella" "$work/lists.paths" "$round"
done
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

# --- The report: medians over the rounds.
cpu=$(sed -nE 's/^model name\s*:\s*//p' /proc/cpuinfo | head -1)
python3 - "$work/results.txt" "$rounds" "$threads" "$connections" "$duration" "$server_threads" \
  "$gzip" "$close" "$(nproc)" "${cpu:-unknown CPU}" "$load_before" "$load_after" <<'EOF'
import statistics
import sys

path, rounds, threads, connections, duration, server_threads, gzip, close, cores, cpu, before, after = sys.argv[1:13]
runs = {}
for line in open(path):
    name, rps, rate, requests, non2xx, errors, p50, p99 = line.split()
    runs.setdefault(name, []).append((float(rps), float(rate), int(requests), int(non2xx), int(errors),
                                      float(p50), float(p99)))


def median(name, i):
    return statistics.median(r[i] for r in runs[name])


def total(name, i):
    return sum(r[i] for r in runs[name])


def rate_text(b):
    return f"{b / 1e6:.1f} MB/s" if b >= 1e6 else f"{b / 1e3:.0f} kB/s"


labels = {
    "kiwix": "kiwix-serve, static pages",
    "orvella": "orvella-serve, static pages",
    "lists": "orvella-serve, list pages",
}
kiwix_rps = median("kiwix", 0)
asked = (", gzip asked" if gzip == "1" else "") + (", a connection per request" if close == "1" else "")
print(f"wrk -t{threads} -c{connections} -d{duration}s{asked}, "
      f"median of {rounds} round(s); both servers with {server_threads} worker threads")
print(f"{cores} cores ({cpu}); load average before: {before}, after: {after}")
print()
print(f"{'':30} {'requests/s':>10} {'transfer/s':>11} {'vs kiwix':>8} {'50% ms':>7} {'99% ms':>7} "
      f"{'requests':>9} {'4xx/5xx':>7} {'sock err':>8}")
for name in ("kiwix", "orvella", "lists"):
    rps = median(name, 0)
    print(f"{labels[name]:30} {rps:10.0f} {rate_text(median(name, 1)):>11} {rps / kiwix_rps:7.2f}x "
          f"{median(name, 5):7.2f} {median(name, 6):7.2f} {total(name, 2):9d} {total(name, 3):7d} {total(name, 4):8d}")
ratio = median("orvella", 0) / kiwix_rps
bad = sum(total(n, 3) + total(n, 4) for n in runs)
print()
print("goal: at least kiwix-serve's figure (orvella-serve static pages / kiwix-serve >= 1.00)")
print(f"met: {'yes' if ratio >= 1 else 'NO'} ({ratio:.2f}x)")
if bad:
    print(f"WARNING: {bad} answers were 4xx/5xx or failed on the socket; the figures count them")
print()
print("Rows for the benchmark table:")
print()
print("| Benchmark | Figure | Limit, same run | Ratio | Goal | Met |")
print("|---|---|---|---|---|---|")
setup = f"wrk -t{threads} -c{connections}" + (", gzip" if gzip == "1" else "") + \
    (", a connection per request" if close == "1" else "")
print(f"| classroom server, static pages ({setup}) | {median('orvella', 0):,.0f} req/s | "
      f"kiwix-serve {kiwix_rps:,.0f} req/s | {ratio:.2f} | ≥ 1 | {'yes' if ratio >= 1 else '**no**'} |")
print(f"| classroom server, generated list pages ({setup}) | {median('lists', 0):,.0f} req/s | "
      f"kiwix-serve, static pages {kiwix_rps:,.0f} req/s | {median('lists', 0) / kiwix_rps:.2f} | — | — |")
EOF
