#!/usr/bin/env bash
# Makes seed corpora for the fuzz targets from a normal build's demo disc.
#
#   fuzz/make-seeds.sh BUILD_DIR OUT_DIR [FUZZ_BUILD_DIR]
#
# BUILD_DIR is a normal build (its src/app/qilcd, math.dat and the disc's
# source tree disc/). OUT_DIR gets one folder per target, named after it
# without "_fuzz" (OUT_DIR/picture, OUT_DIR/rtf, ...); the folders fuzz/*_seed
# kept with the sources stay as they are and are passed to the fuzzers
# beside these. What each folder gets:
#   template  every .stmp of the disc (qilcd ls, qilcd cat)
#   picture   the smallest pictures of the disc in each format (png, jpg, bmp,
#             wmf, wmz) and its small jpg entries, each behind the byte that
#             picks the extension
#   metafile  the disc's wmf and wmz pictures of those, and metafiles written
#             here: text, shapes and bitmaps, and the text one gzipped
#   rtf       clipboard documents (qilcd session --clipboard) of single
#             problems and of worksheets, alone and joined by the fragment
#             separator 0x01
#   url       addresses found by a crawl of the disc from its start page
#   request   walks of the disc: the crawl in pieces, and one walk through
#             every page module, the worksheet generator and the clipboard
# With FUZZ_BUILD_DIR (a fuzz tree holding fuzz/qil_fuzz_seeds) also:
#   archive   the plain view of a small archive packed from part of the disc
#   bundle    bundles of the disc, one per picture format
#   mathdb    small databases packed from a few of the disc's problems
#   picture   small pictures of every BMP layout and a metafile, plain and gzipped
# Needs python3 (also used by the build).
set -euo pipefail

if [ $# -lt 2 ] || [ $# -gt 3 ]; then
  echo "usage: $0 BUILD_DIR OUT_DIR [FUZZ_BUILD_DIR]" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
fuzz_build=${3:+$(cd "$3" && pwd)}
qilcd=$build/src/app/qilcd
disc=$build/math.dat
if [ ! -x "$qilcd" ] || [ ! -f "$disc" ]; then
  echo "$0: $build has no src/app/qilcd and math.dat (build the targets qilcd and demo_disc)" >&2
  exit 1
fi

for target in template picture metafile rtf url request archive bundle mathdb; do
  rm -rf "${out:?}/$target"
  mkdir -p "$out/$target"
done

# Templates: every .stmp entry as it stands.
"$qilcd" ls "$disc" | cut -f2 | grep '\.stmp$' | while read -r name; do
  "$qilcd" cat "$disc" "$name" > "$out/template/${name//\//_}"
done

# Pictures, documents, addresses and walks: through one qilcd session each.
python3 - "$qilcd" "$disc" "$out" <<'PYTHON'
import os, re, shutil, subprocess, sys, tempfile, urllib.parse

qilcd, disc, out = sys.argv[1:4]
base = "qilproto://qilproto_local/"
work = tempfile.mkdtemp(prefix="qil-seeds-")
clipboard = os.path.join(work, "clipboard.rtf")


class Session:
    """One qilcd session over the disc, asked one address at a time."""

    def __init__(self):
        env = dict(os.environ, QILCD_UTC_TIME_OF_DAY_MS="43200000")
        self.proc = subprocess.Popen(
            [qilcd, "session", "--archive", disc, "--clipboard", clipboard],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, env=env)

    def ask(self, address):
        self.proc.stdin.write(address.encode() + b"\n")
        self.proc.stdin.flush()
        status, mime, size = self.proc.stdout.readline().split()
        body = self.proc.stdout.read(int(size))
        self.proc.stdout.read(1)
        return status == b"200", body

    def close(self):
        self.proc.stdin.close()
        self.proc.wait()


def write(folder, name, data):
    with open(os.path.join(out, folder, name), "wb") as f:
        f.write(data)


session = Session()

# The crawl: every address the pages link to, breadth first from the start page.
link = re.compile(rb'\s(?:href|src|action)\s*=\s*(?:"([^"]*)"|\'([^\']*)\')', re.I)
seen, queue, crawl = {"index.html"}, ["index.html"], []
while queue and len(crawl) < 400:
    address = queue.pop(0)
    found, body = session.ask(address)
    if not found:
        continue
    crawl.append(address)
    if not re.search(r"\.(html?|stmp)($|\?)", address):
        continue
    for match in link.finditer(body):
        target = (match.group(1) or match.group(2)).decode("latin-1").replace("&amp;", "&")
        # urljoin resolves relative links for http only: borrow its scheme.
        joined = urllib.parse.urljoin("http://qilproto_local/" + address, target)
        if not joined.startswith("http://qilproto_local/"):
            continue
        path = joined[len("http://qilproto_local/"):].split("#")[0]
        if path and path not in seen:
            seen.add(path)
            queue.append(path)
for i, address in enumerate(crawl[:200]):
    write("url", "crawl%03d" % i, (base + address).encode())
for i in range(0, min(len(crawl), 240), 16):
    write("request", "crawl%03d" % (i // 16), "\n".join(crawl[i:i + 16]).encode())

# Every problem's pictures, from its solution page.
summary = subprocess.run([qilcd, "db", disc], capture_output=True).stdout.decode()
records = int(re.search(r"(\d+) records", summary).group(1))
pictures = {}
for position in range(records):
    pid = "%06d" % position
    found, body = session.ask("solution.stmp?id=" + pid)
    for name in sorted(set(re.findall(rb"gfx=([^\"&'\s>]+)", body))):
        ext = os.path.splitext(name.decode())[1].lower()
        pictures.setdefault(ext, []).append((pid, name.decode()))

# The smallest pictures of each format (the first 40 of a format are weighed).
choice = {".bmp": 0, ".png": 1, ".jpg": 2, ".wmf": 3, ".wmz": 4}
chosen = {}
for ext, where in pictures.items():
    if ext not in choice:
        continue
    sized = []
    for pid, name in where[:40]:
        found, data = session.ask("mathgfx.stmp?ID=%s&gfx=%s" % (pid, name))
        if found and data:
            sized.append((len(data), pid, name, data))
    sized.sort()
    # Large formats: the smallest one only, as big seeds slow every run.
    chosen[ext] = sized[:1] if sized and sized[0][0] > 16384 else sized[:3]
    for size, pid, name, data in chosen[ext]:
        write("picture", "%s_%s" % (pid, name), bytes([choice[ext]]) + data)
listing = subprocess.run([qilcd, "ls", disc], check=True, capture_output=True).stdout.decode()
small_jpgs = [line.split("\t")[1] for line in listing.splitlines()
              if line.split("\t")[1].endswith(".jpg") and int(line.split("\t")[0]) < 4096]
for name in small_jpgs[:4]:
    data = subprocess.run([qilcd, "cat", disc, name], check=True, capture_output=True).stdout
    write("picture", name.replace("/", "_"), bytes([choice[".jpg"]]) + data)

# Clipboard documents: one problem in each copy form, for problems with
# pictures of each format, and worksheets of them. A document carries its
# pictures as long runs of hex digits: they are cut to a few bytes, which
# keeps every group and control word but makes the seeds small.
def copy(address):
    if os.path.exists(clipboard):
        os.remove(clipboard)
    found, body = session.ask(address)
    if not found or not os.path.exists(clipboard):
        return b""
    with open(clipboard, "rb") as f:
        return re.sub(rb"[0-9a-fA-F\r\n]{256,}", lambda m: m.group(0)[:64], f.read())

firsts = {ext: sized[0][1] for ext, sized in chosen.items() if sized}
problems = sorted(set(firsts.values()))
documents = []
for pid in problems:
    for kind in ("p", "s", "b"):
        document = copy("clipbo.stmp?type=%s&id=%s" % (kind, pid))
        if document:
            documents.append(document)
            write("rtf", "copy_%s_%s.rtf" % (kind, pid), document)
session.ask("edit1.stmp?action=clearall")  # the crawl added problems
for kind in ("cl_pr", "cl_sol"):
    document = copy("clipbo.stmp?type=" + kind)
    if document:
        write("rtf", "empty_worksheet_%s.rtf" % kind, document)
for pid in problems[:3]:
    session.ask("wadd.stmp?id=" + pid)
for kind in ("cl_pr", "cl_pr_num", "cl_w_sol", "cl_sol"):
    document = copy("clipbo.stmp?type=" + kind)
    if document:
        documents.append(document)
        write("rtf", "worksheet_%s.rtf" % kind, document)
documents.sort(key=len)
for i in range(0, min(len(documents), 6), 2):
    write("rtf", "joined%d.rtf" % i, b"\x01".join(documents[i:i + 3]))

# Walks through every page module: the pages, the clipboard with small
# pictures, and a copy of a problem with each picture format.
small = [pid for pid in (firsts.get(".png"), firsts.get(".jpg"), firsts.get(".wmz")) if pid]
write("request", "walk_pages", "\n".join([
    "index.html", "main.stmp", "mathlist.stmp?main=A&sub=01", "mathlist.stmp?start=30",
    "mathlist.stmp?main=B&sub=02&packet=2", "problem_lent.stmp?main=B&sub=02",
    "alsonaviga.stmp?main=B&sub=02&start=200", "mathgoto.stmp?goto=42", "mathgoto.stmp?goto=0",
    "solution.stmp?id=000007", "wadd.stmp?id=000007", "wadd.stmp?id=000100",
    "wadd.stmp?id=000100", "worksheet.stmp", "edit1.stmp?action=movedn&id=000007",
    "edit1.stmp?action=top&id=000100", "statistic.stmp", "creator.stmp",
    "edit1.stmp?action=gensheet_main&TA011=2&TB023=1&rnd=seed",
    "edit1.stmp?action=gensheet&TA011=2&TB023=1&rnd=seed", "statistic.stmp",
    "edit1.stmp?action=remove&id=000007", "edit1.stmp?action=clearall", "worksheet.stmp"]).encode())
write("request", "walk_clipboard", "\n".join(
    ["clipbo.stmp?type=p&id=" + small[0]] +
    ["wadd.stmp?id=" + pid for pid in small] +
    ["clipbo.stmp?type=cl_pr_num", "clipbo.stmp?type=cl_w_sol", "edit1.stmp?action=clearall",
     "clipbo.stmp?type=cl_sol"]).encode())
write("request", "walk_formats", "\n".join(
    "clipbo.stmp?type=b&id=" + pid for pid in problems).encode())

session.close()
shutil.rmtree(work)
PYTHON

# Metafiles: those of the picture seeds, and one per group of records drawn.
python3 - "$out" <<'PYTHON'
import gzip, os, struct, sys

out = sys.argv[1]
for name in sorted(os.listdir(os.path.join(out, "picture"))):
    with open(os.path.join(out, "picture", name), "rb") as f:
        data = f.read()
    if data[:1] in (b"\x03", b"\x04"):  # the choice bytes of .wmf and .wmz
        with open(os.path.join(out, "metafile", name), "wb") as f:
            f.write(data[1:])


def metafile(records):
    body = b""
    for function, words, tail in records:
        params = struct.pack("<%dH" % len(words), *(w & 0xFFFF for w in words)) + tail + b"\0" * (len(tail) % 2)
        body += struct.pack("<IH", 3 + len(params) // 2, function) + params
    body += struct.pack("<IH", 3, 0)
    header = struct.pack("<HHHIHIH", 1, 9, 0x300, 9 + len(body) // 2, 16, 64, 0)
    placeable = struct.pack("<IHhhhhHI", 0x9AC6CDD7, 0, 0, 0, 2880, 1440, 1440, 0)
    checksum = 0
    for (word,) in struct.iter_unpack("<H", placeable):
        checksum ^= word
    return placeable + struct.pack("<H", checksum) + header + body


def font(height, escapement, charset, face):
    return (0x02FB, [height, 0, escapement, escapement, 700], bytes([1, 1, 0, charset, 0, 0, 0, 0x12]) + face.ljust(32, b"\0"))


def text(x, y, s):
    return (0x0521, [len(s)], s + b"\0" * (len(s) % 2) + struct.pack("<hh", y, x))


mapping = [(0x0103, [8], b""), (0x020B, [0, 0], b""), (0x020C, [1440, 2880], b"")]
texts = mapping + [
    font(-300, 0, 0, b"Times New Roman"), (0x012D, [0], b""), (0x0102, [1], b""), (0x012E, [24], b""),
    text(100, 500, b"f(x) ="), font(-300, 0, 2, b"Symbol"), (0x012D, [1], b""),
    (0x0A32, [500, 1000, 3, 6, 1000, 200, 1600, 700], b"a\xe5\xd6\0" + struct.pack("<3h", 150, 150, 150)),
    font(250, 900, 0, b"Arial"), (0x012D, [2], b""), (0x012E, [7], b""), (0x0102, [2], b""),
    (0x0209, [0xFF, 0], b""), (0x0201, [0xFF00, 0], b""), text(2600, 1300, b"Up"), text(0, 0, b"+")]
shapes = [(0x0103, [7], b""), (0x020B, [100, 0], b""), (0x020C, [-100, 200], b""), (0x020E, [100, 200], b""),
          (0x02FA, [1, 0, 0, 0xFF, 0], b""), (0x02FC, [2, 0, 0x80, 5], b""), (0x012D, [0], b""),
          (0x012D, [1], b""), (0x001E, [], b""), (0x0416, [90, 190, 10, 10], b""), (0x0106, [2], b""),
          (0x0324, [5, 100, 5, 127, 90, 55, 35, 145, 35, 73, 90], b""),
          (0x0538, [2, 3, 3, 0, 0, 50, 0, 0, 50, 60, 60, 90, 60, 60, 90], b""), (0x0127, [-1], b""),
          (0x061C, [20, 20, 90, 180, 10, 20], b""), (0x0418, [90, 180, 10, 20], b""),
          (0x0817, [10, 100, 50, 180, 90, 180, 10, 20], b""), (0x0830, [50, 20, 50, 180, 90, 180, 10, 20], b""),
          (0x081A, [10, 100, 50, 180, 90, 180, 10, 20], b""), (0x0104, [7], b""), (0x0214, [0, 0], b""),
          (0x0213, [100, 200], b""), (0x041B, [90, 190, 10, 10], b"")]
dib = struct.pack("<IiiHHIIiiII", 40, 2, 2, 1, 24, 0, 16, 0, 0, 0, 0) + bytes(
    [255, 0, 0, 255, 255, 255, 0, 0] + [0, 0, 255, 0, 255, 0, 0, 0])
bitmaps = mapping + [(0x0F43, [0x20, 0xCC, 0, 2, 2, 0, 0, 1440, 1440, 0, 0], dib),
                     (0x0940, [0xC6, 0x88, 0, 0, 720, 720, 100, 1500], dib),
                     (0x061D, [0x21, 0xF0, 300, 300, 1000, 2000], b"")]
for name, records in (("text.wmf", texts), ("shapes.wmf", shapes), ("bitmaps.wmf", bitmaps)):
    with open(os.path.join(out, "metafile", name), "wb") as f:
        f.write(metafile(records))
with open(os.path.join(out, "metafile", "text.wmz"), "wb") as f:
    f.write(gzip.compress(metafile(texts), mtime=0))
PYTHON

if [ -n "$fuzz_build" ]; then
  tool=$fuzz_build/fuzz/qil_fuzz_seeds
  "$tool" bundles "$disc" "$out/bundle"
  "$tool" mathdb "$disc" "$out/mathdb"
  "$tool" pictures "$out/picture"
  # A small archive: a few pages, the database lists and two problems.
  small=$(mktemp -d)
  trap 'rm -rf "$small"' EXIT
  mkdir -p "$small/src/problems"
  cp "$build/disc/main.stmp" "$build/disc/solution.stmp" "$build/disc/index.html" "$small/src/"
  cp -r "$build/disc/db" "$small/src/"
  codes=("$build"/disc/problems/*)
  numbers=("${codes[0]}"/*)
  mkdir -p "$small/src/problems/${codes[0]##*/}"
  cp -r "${numbers[@]:0:2}" "$small/src/problems/${codes[0]##*/}/"
  "$qilcd" pack "$small/src" "$small/small.dat" >/dev/null
  "$tool" plain-archive "$small/small.dat" "$out/archive/small_plain.bin"
fi

for target in template picture metafile rtf url request archive bundle mathdb; do
  printf '%-9s %4d seeds\n' "$target" "$(ls "$out/$target" | wc -l)"
done
