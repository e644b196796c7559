#!/usr/bin/env bash
# Builds the benchmarks in release mode (build-bench/, or BUILD_DIR), runs
# every benchmark program (build-bench/bench/*/*_bench), the desktop
# start-up benchmark when the desktop program is built (it starts its own
# virtual display), the classroom server against kiwix-serve
# (bench/serve-bench.sh, with and without keep-alive), and with --big the 1 GB disc (bench/disc/bigdisc.sh,
# some minutes and about 3 GB of temporary disk space), then prints one
# table: each figure next to its limit measured in the same run, their
# ratio and the goal. A goal shown as "—" is not set; the row is there to be
# watched. The table is Markdown, ready for README.md.
#
#   scripts/bench.sh [--big]
#
# Environment: BUILD_DIR (default build-bench), JOBS (default 2),
# REPETITIONS (default 3: each Google Benchmark figure is the median of
# that many repetitions), ROUNDS (desktop start-up rounds, default 5).
# Installs what it needs first, as scripts/test.sh does.
set -euo pipefail
cd "$(dirname "$0")/.."

big=0
for arg in "$@"; do
  case "$arg" in
    --big) big=1 ;;
    *) echo "usage: scripts/bench.sh [--big]" >&2; exit 2 ;;
  esac
done

scripts/install-deps.sh
build=${BUILD_DIR:-build-bench}
jobs=${JOBS:-2}
repetitions=${REPETITIONS:-3}
results=$build/bench-results
desktop=ON
pkg-config --exists gtk+-3.0 webkit2gtk-4.1 2>/dev/null || desktop=OFF

echo "== release build in $build (desktop program: $desktop)" >&2
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQIL_BUILD_TESTS=OFF -DQIL_BUILD_BENCH=ON \
  -DQIL_BUILD_DESKTOP="$desktop" >/dev/null
cmake --build "$build" -j "$jobs" >"$build/bench-build.log" 2>&1 ||
  { tail -40 "$build/bench-build.log" >&2; echo "bench: the build failed ($build/bench-build.log)" >&2; exit 1; }
rm -rf "$results"
mkdir -p "$results"

export QIL_DEMO_DISC=$build/math.dat  # the metafile benchmark draws the demo disc's pictures
for program in "$build"/bench/*/*_bench; do
  name=$(basename "$program")
  echo "== $name" >&2
  "$program" --benchmark_repetitions="$repetitions" --benchmark_report_aggregates_only=true \
    --benchmark_format=console --benchmark_out_format=json --benchmark_out="$results/$name.json" \
    >"$results/$name.txt" 2>&1 ||
    { cat "$results/$name.txt" >&2; echo "bench: $name failed" >&2; exit 1; }
done

notes=()
if [ -x "$build/src/app/orvella" ]; then
  echo "== desktop start-up" >&2
  if ROUNDS=${ROUNDS:-5} bench/desktop/startup.sh "$build" >"$results/desktop-startup.txt" 2>&1; then
    :
  else
    notes+=("desktop start-up: startup.sh failed, see $results/desktop-startup.txt")
    rm -f "$results/desktop-startup.txt"
  fi
elif [ "$desktop" = OFF ]; then
  notes+=("desktop start-up: not measured, the desktop program is not built (no GTK 3 and WebKitGTK development files)")
else
  notes+=("desktop start-up: not measured, $build/src/app/orvella is missing")
fi

if [ "$big" -eq 1 ]; then
  echo "== 1 GB disc" >&2
  bench/disc/bigdisc.sh "$build" >"$results/bigdisc.txt" 2>&1 ||
    { cat "$results/bigdisc.txt" >&2; echo "bench: bigdisc.sh failed" >&2; exit 1; }
else
  notes+=("1 GB disc: not measured (scripts/bench.sh --big)")
fi

echo "== classroom server against kiwix-serve" >&2
for mode in keep-alive close; do
  flag=()
  [ "$mode" = close ] && flag=(--close)
  bench/serve-bench.sh "${flag[@]+"${flag[@]}"}" "$build" >"$results/serve-$mode.txt" 2>&1 ||
    notes+=("classroom server ($mode): serve-bench.sh failed, see $results/serve-$mode.txt")
done

cpu=$(sed -nE 's/^model name\s*:\s*//p' /proc/cpuinfo | head -1)
notes_text=$(printf '%s\n' "${notes[@]+"${notes[@]}"}")
python3 - "$results" "$(date -u +%Y-%m-%d)" "$(nproc)" "${cpu:-unknown CPU}" "$repetitions" "$notes_text" <<'EOF'
import glob
import json
import os
import re
import sys

results, date, cores, cpu, repetitions, notes = sys.argv[1:7]
rows = []


def load(program):
    """The medians of one program's benchmarks, by name (aggregate suffix removed)."""
    path = os.path.join(results, program + ".json")
    if not os.path.exists(path):
        return None
    with open(path) as f:
        data = json.load(f)
    found = {}
    for b in data["benchmarks"]:
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        name = re.sub(r"_median$", "", b["name"])
        found[name] = b
    return found


def ms(b):
    """A benchmark's real time per iteration in ms."""
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b["time_unit"]]
    return b["real_time"] * scale


def time_text(value_ms):
    if value_ms >= 100:
        return f"{value_ms:.0f} ms"
    if value_ms >= 1:
        return f"{value_ms:.2f} ms"
    return f"{value_ms * 1000:.1f} µs"


def rate_text(b):
    return f"{b['bytes_per_second'] / 1e6:.0f} MB/s"


def row(name, figure, limit, ratio, goal, met):
    rows.append((name, figure, limit, "—" if ratio is None else f"{ratio:.2f}", goal,
                 "—" if met is None else ("yes" if met else "**no**")))


def pair_time(name, b, limit_name, limit, goal=None):
    """Time against a time: ratio figure / limit, goal an upper bound."""
    ratio = ms(b) / ms(limit)
    row(name, time_text(ms(b)), f"{limit_name} {time_text(ms(limit))}", ratio,
        "—" if goal is None else f"≤ {goal:g}", None if goal is None else ratio <= goal)


# --- archive
a = load("archive_bench")
if a:
    read = a["BM_ArchiveReadFile16MiB"]
    keyed = a["BM_PlainTBlowFishDecipher16MiB"]
    ecb = a["BM_PlainLibcryptoEcb16MiB"]
    unkeyed = a["BM_PlainUnkeyedDecipher16MiB"]
    r = read["bytes_per_second"] / keyed["bytes_per_second"]
    row("archive ReadFile, 16 MiB entry", rate_text(read), f"Blowfish decipher {rate_text(keyed)}", r, "≥ 0.9", r >= 0.9)
    r = keyed["bytes_per_second"] / ecb["bytes_per_second"]
    row("Blowfish decipher, 16 MiB", rate_text(keyed), f"libcrypto ECB {rate_text(ecb)}", r, "—", None)
    r = unkeyed["bytes_per_second"] / keyed["bytes_per_second"]
    row("unkeyed decipher, 16 MiB", rate_text(unkeyed), f"keyed Blowfish {rate_text(keyed)}", r, "—", None)

# --- content server and templates
f = load("framework_bench")
if f:
    pair_time("server GetContent, 1 MiB entry", f["BM_GetContent1MiB"], "archive ReadFile", f["BM_ReadFile1MiB"], 1.1)
    row("page of 25 rows (parse and render)", time_text(ms(f["BM_RenderPage25Rows"])), "—", None, "—", None)
    size = lambda b: int(b["name"].split("/")[1].split("_")[0])
    mib = lambda b: f"{size(b) / 2**20:g} MiB" if size(b) >= 2**20 else f"{size(b) // 1024} KiB"
    parses = sorted((b for n, b in f.items() if re.fullmatch(r"BM_ParseLargeTemplate/\d+", n)), key=size)
    copies = [b for n, b in f.items() if re.fullmatch(r"BM_CopyLargeTemplate/\d+", n)]
    for copy in copies:
        same = [b for b in parses if size(b) == size(copy)]
        if same:
            pair_time(f"parse a {mib(copy)} template", same[0], "copy of its bytes", copy)
    if len(parses) >= 2:
        per_byte = lambda b: ms(b) / size(b)
        first, last = parses[0], parses[-1]
        r = per_byte(last) / per_byte(first)
        row(f"template parsing, time per byte at {mib(last)}", f"{per_byte(last) * 1e6:.2f} ns/B",
            f"at {mib(first)} {per_byte(first) * 1e6:.2f} ns/B", r, "linear: ≤ 1.5", r <= 1.5)

# --- math database
m = load("mathdb_bench")
if m:
    load_b = m["BM_LoadAgainstRawIndexRead/iterations:20/manual_time"]
    r = load_b["load_per_raw"]
    row("math DB Load, 100,000 problems (thread CPU)", f"{load_b['load_ms']:.2f} ms",
        f"raw ReadBlock of the index {load_b['raw_read_ms']:.2f} ms", r, "≤ 2", r <= 2)
    index_kb = 100000 * 12 / 1024
    r = load_b["heap_added_KB"] / index_kb
    row("heap added by that Load", f"{load_b['heap_added_KB']:.0f} KB", f"index bytes {index_kb:.0f} KB", r, "—", None)
    pair_time("GetPageText, cold cache", m["BM_GetPageTextCold"], "warm cache", m["BM_GetPageTextWarm"])
    pack = m["BM_PackBank/iterations:2"]
    row("pack 100,000 problems", time_text(ms(pack)), f"archive {pack['archive_MB']:.0f} MB", None, "—", None)

# --- pictures
p = load("modules_picture_bench")
if p:
    both = p["BM_PictureToRTFAgainstDecode/manual_time"]
    r = both["convert_per_decode"]
    row("PictureToRTF, 1000 x 1000 PNG (interleaved)", f"{both['convert_ms']:.2f} ms",
        f"PNG decode {both['decode_ms']:.2f} ms", r, "≤ 2", r <= 2)
    conv = p["BM_PictureToRTF_Png1000"]
    dec = p["BM_DecodePNGOnly_Png1000"]
    r = ms(conv) / ms(dec)
    row("PictureToRTF, 1000 x 1000 PNG (separate loops)", time_text(ms(conv)), f"PNG decode {time_text(ms(dec))}", r,
        "≤ 2", r <= 2)

# --- metafiles drawn for display
mf = load("metafile_bench")
if mf:
    disc = mf.get("BM_DiscMetafilesAgainstDecode/manual_time")
    if disc:
        r = disc["render_per_decode"]
        row(f"the demo disc's {disc['pictures']:.0f} metafiles drawn as SVG, per picture",
            f"{disc['render_ms_per_picture']:.2f} ms", f"PNG decode, same size {disc['decode_ms_per_picture']:.2f} ms",
            r, "≤ 2", r <= 2)
        r = disc["worst_render_per_decode"]
        row("the slowest of those pictures", "—", "its PNG decode", r, "≤ 2", r <= 2)
    for which in ("formula", "dib"):
        arg = 0 if which == "formula" else 1
        b = mf.get(f"BM_SvgAgainstDecode/{arg}/manual_time")
        if b:
            r = b["render_per_decode"]
            row(f"a 384 x 96 {which} metafile drawn as SVG", time_text(ms(b)), "PNG decode, same size", r, "—", None)

# --- worksheets and list pages
w = load("modules_worksheet_bench")
if w:
    for n in (2000, 200):
        gen = w[f"BM_GenerateWholeGroup/{n}"]
        pair_time(f"random worksheet taking a whole group of {n:,}", gen, "bare draws", w[f"BM_DrawsOnly/{n}"])
        pair_time(f"the same worksheet of {n:,}", gen, "draws with a linear duplicate search",
                  w[f"BM_DrawsWithLinearSearch/{n}"])
l = load("modules_browse_bench")
if l:
    limit = l["BM_ReadBlockOf25Bundles"]
    pair_time("list page of 25, cold cache", l["BM_ListPageColdCache"], "ReadBlock of its 25 bundles", limit)
    pair_time("list page of 25, warm cache", l["BM_ListPageWarmCache"], "ReadBlock of its 25 bundles", limit)

# --- worksheet PDF
sp = load("sheetpdf_bench")
if sp:
    b = sp["BM_SheetWithKeyAgainstDecode/manual_time"]
    r = b["pdf_per_decode"]
    row("worksheet PDF, 25 problems with answer key", f"{b['pdf_ms']:.1f} ms",
        f"decoding its {b['pictures']:.0f} pictures {b['decode_ms']:.1f} ms", r, "≤ 3", r <= 3)

# --- the classroom server: its script prints finished rows
for mode in ("keep-alive", "close"):
    path = os.path.join(results, f"serve-{mode}.txt")
    if os.path.exists(path):
        for line in open(path):
            if line.startswith("| classroom server"):
                rows.append(tuple(cell.strip() for cell in line.strip().strip("|").split("|")))

# --- desktop start-up
path = os.path.join(results, "desktop-startup.txt")
if os.path.exists(path):
    text = open(path).read()
    bare = re.search(r"bare web view, file:// \(median\)\s+([\d.]+) ms", text)
    own = re.search(r"orvella, R \+ \(S - A\) \(median\)\s+([\d.]+) ms", text)
    if bare and own:
        b, o = float(bare.group(1)), float(own.group(1))
        row("desktop start-up to the start page", f"{o:.0f} ms", f"bare web view {b:.0f} ms", o / b, "≤ 1.5", o / b <= 1.5)

# --- the 1 GB disc: its script prints finished rows
path = os.path.join(results, "bigdisc.txt")
if os.path.exists(path):
    for line in open(path):
        if line.startswith("ROW|"):
            _, name, figure, limit, ratio, goal = line.rstrip("\n").split("|")
            bound = float(re.sub(r"[^\d.]", "", goal))
            r = float(ratio)
            row(name, figure, limit, r, goal.replace("<=", "≤"), r <= bound)

print(f"Measured {date} on {cores} cores ({cpu}); Google Benchmark figures are medians of {repetitions} repetitions.")
print()
print("| Benchmark | Figure | Limit, same run | Ratio | Goal | Met |")
print("|---|---|---|---|---|---|")
for r in rows:
    print("| " + " | ".join(r) + " |")
for note in filter(None, notes.split("\n")):
    print()
    print(f"Not in the table: {note}.")
EOF
