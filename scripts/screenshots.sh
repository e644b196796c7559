#!/usr/bin/env bash
# Takes screenshots of the demo disc's main pages, as a student sees them.
#
#   scripts/screenshots.sh [BUILD_DIR [OUT_DIR]]
#
# BUILD_DIR (default: build) holds src/app/qilcd and math.dat; OUT_DIR
# (default: BUILD_DIR/screenshots) receives NAME.html (the page as the engine
# answers it) and NAME.png (the page drawn by headless Chromium) for each page.
#
# The pages are served unchanged by a small HTTP server on the loopback
# interface that answers every path through one `qilcd session`, so relative
# links, pictures, frames and the worksheet kept in the session all work as in
# the program's window. Before the pictures are taken, five problems are put on
# the worksheet.
#
# Installs Chromium with apt-get when it is missing (a developer's tool; CI
# does not need it).
set -euo pipefail

build=${1:-build}
out=${2:-$build/screenshots}
qilcd=$build/src/app/qilcd
disc=$build/math.dat
for f in "$qilcd" "$disc"; do
  if [ ! -f "$f" ]; then
    echo "missing $f: build the targets qilcd and demo_disc first" >&2
    exit 2
  fi
done

if ! command -v chromium >/dev/null 2>&1; then
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  echo "Installing: chromium" >&2
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends chromium
fi

mkdir -p "$out"
out=$(cd "$out" && pwd)
work=$(mktemp -d)
server_pid=""
cleanup() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# The server: GET /PATH?QUERY is asked of the session as PATH?QUERY; the
# answer keeps the engine's status and MIME type. One request at a time, as
# the engine serves them. Writes its port to the file named by argument 4.
cat > "$work/serve.py" <<'PY'
import http.server, subprocess, sys

qilcd, disc, clipboard, port_file = sys.argv[1:5]
session = subprocess.Popen([qilcd, "session", "--archive", disc, "--clipboard", clipboard],
                           stdin=subprocess.PIPE, stdout=subprocess.PIPE)

def ask(address):
    session.stdin.write(address.encode("latin-1") + b"\n")
    session.stdin.flush()
    status, mime, size = session.stdout.readline().decode("latin-1").split()
    body = session.stdout.read(int(size))
    session.stdout.read(1)
    return int(status), mime, body

class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        status, mime, body = ask(self.path.lstrip("/"))
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream" if mime == "-" else mime)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        try:
            self.wfile.write(body)
        except BrokenPipeError:
            pass  # the client had what it wanted

    def log_message(self, *args):
        pass

server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
with open(port_file, "w") as f:
    f.write(str(server.server_address[1]))
server.serve_forever()
PY

python3 "$work/serve.py" "$qilcd" "$disc" "$work/clipboard.rtf" "$work/port" &
server_pid=$!
for _ in $(seq 50); do [ -s "$work/port" ] && break; sleep 0.1; done
if [ ! -s "$work/port" ]; then
  echo "the page server did not start" >&2
  exit 1
fi
base="http://127.0.0.1:$(cat "$work/port")"

fetch() { curl -sf "$base/$1"; }

# A problem whose solution picture is a metafile, which web views cannot draw.
metafile_id=""
for position in $(seq 0 1263); do
  id=$(printf '%06d' "$position")
  page=$(fetch "solution.stmp?id=$id")
  if [[ $page =~ gfx=M_image[0-9]+\.wm[fz] ]]; then
    metafile_id=$id
    break
  fi
done

# Five problems on the worksheet: from three topics and three levels.
for id in 000004 000030 000400 000760 001100; do fetch "wadd.stmp?id=$id" >/dev/null; done

# draw NAME URL [WIDTH,HEIGHT]: the address drawn into NAME.png.
draw() {
  local name=$1 url=$2 size=${3:-1280,900}
  chromium --headless --no-sandbox --disable-gpu --disable-background-networking \
    --disable-component-update --disable-sync --no-first-run \
    --user-data-dir="$work/profile-$name" --hide-scrollbars \
    --window-size="$size" --virtual-time-budget=4000 \
    --screenshot="$out/$name.png" "$url" >"$work/chromium-$name.log" 2>&1 || {
    cat "$work/chromium-$name.log" >&2
    return 1
  }
  echo "$out/$name.png"
}

# shoot NAME ADDRESS [WIDTH,HEIGHT]: the page saved as the engine answers it
# and drawn on its own.
shoot() {
  fetch "${2%%#*}" > "$out/$1.html"
  draw "$1" "$base/$2" "${3:-1280,900}"
}

# framed NAME ADDRESS: a page of the content frame, saved, and drawn inside
# the program's window (index.html?show=ADDRESS).
framed() {
  local quoted
  quoted=$(python3 -c 'import sys, urllib.parse; print(urllib.parse.quote(sys.argv[1], safe=""))' "$2")
  fetch "${2%%#*}" > "$out/$1.html"
  draw "$1" "$base/index.html?show=$quoted"
}

shoot readme readme.htm 699,315
shoot start index.html
framed index main.stmp
framed topic topics/B01.htm
framed list 'mathlist.stmp?main=B&sub=01&packet=2'
framed list-at-problem 'mathlist.stmp?start=124#p000123'
framed problem 'solution.stmp?id=000400#solution'
if [ -n "$metafile_id" ]; then
  framed problem-metafile "solution.stmp?id=$metafile_id#solution"
fi
framed goto 'mathgoto.stmp?goto=124'
framed goto-error 'mathgoto.stmp?goto=99999'
framed worksheet edit1.stmp
framed creator creator.stmp
framed random-worksheet 'edit1.stmp?action=gensheet_main&TA011=2&TB013=3&TG041=1&rnd=shot1'
framed statistics statistic.stmp
framed copied 'clipbo.stmp?type=cl_w_sol'
cp "$work/clipboard.rtf" "$out/worksheet.rtf"
echo "$out/worksheet.rtf"
