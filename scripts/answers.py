#!/usr/bin/env python3
"""Record every answer of a disc's crawl through one `qilcd session`, or compare
a recording with the answers of another build.

    answers.py record QILCD ARCHIVE OUT       write the recording to OUT
    answers.py compare QILCD ARCHIVE RECORDING

The walk is fixed: a few worksheet actions, then a breadth-first crawl from the
start page and the readme along href, src and action values, stylesheet url()s
and redirect refreshes, up to a bound, then addresses with odd items (goto text,
out-of-range ids, escapes). The time of day is fixed, so generated worksheets
repeat. A recording is the session's own output: for each address the line
"ADDRESS", then the status line, the body and a line feed. A document the
worksheet actions put on the clipboard is recorded as the address "#clipboard". Compare stops at the
first address whose answer differs and prints both answers' starts.
"""
import os
import re
import subprocess
import sys
from collections import deque
from urllib.parse import urljoin

BASE = "qilproto://qilproto_local/"
BOUND = 4000

ATTRIBUTE = re.compile(r"""\s(?:href|src|action)\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s>"']+))""", re.I)
STYLE_URL = re.compile(r"""url\(\s*["']?([^"')]+)["']?\s*\)""")
REFRESH = re.compile(r'content="0;url=([^"]+)"')

FIRST = ["wadd.stmp?id=000003", "wadd.stmp?id=000400", "wadd.stmp?id=001200", "wadd.stmp?id=000003",
         "wadd.stmp?id=000077", "edit1.stmp?action=moveup&id=400", "edit1.stmp?action=bottom&id=3",
         "edit1.stmp?action=remove&id=1200", "statistic.stmp", "worksheet.stmp",
         "clipbo.stmp?id=000017&type=p", "clipbo.stmp?id=000984&type=s", "clipbo.stmp?id=001130&type=b",
         "clipbo.stmp?type=cl_pr", "clipbo.stmp?type=cl_pr_num", "clipbo.stmp?type=cl_sol",
         "clipbo.stmp?type=cl_w_sol", "edit1.stmp?action=gensheet_main&rnd=7&TA011=2&TB012=1&TC023=3",
         "edit1.stmp?action=gensheet&rnd=7&TA011=2&TB012=1&TC023=3", "edit1.stmp?action=gensheet&rnd=8&TA011=999",
         "clipbo.stmp?type=cl_w_sol", "statistic.stmp"]
LAST = ["mathgoto.stmp?goto=1", "mathgoto.stmp?goto=0", "mathgoto.stmp?goto=99999999999999999999",
        "mathgoto.stmp?goto=1%2C020", "mathgoto.stmp?goto=%20%2012", "mathgoto.stmp?goto=abc",
        "solution.stmp?id=-1", "solution.stmp?id=999999", "solution.stmp?id=%3Cb%3E",
        "mathlist.stmp?main=Z&sub=99", "mathlist.stmp?main=A&sub=01&page=-3", "mathgfx.stmp?gfx=..%2F..%2Fx",
        "nosuch.stmp", "nosuch.html", "wadd.stmp?id=abc", "edit1.stmp?action=movedn&id=-1",
        "edit1.stmp?action=remove&id=99999", "edit1.stmp?action=clearall", "worksheet.stmp"]


class Session:
    def __init__(self, qilcd, archive, clipboard):
        env = dict(os.environ, QILCD_UTC_TIME_OF_DAY_MS="43200000")
        self.clipboard = clipboard
        self.proc = subprocess.Popen([qilcd, "session", "--archive", archive, "--clipboard", clipboard],
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE, env=env)

    def copied(self):
        """The clipboard's document as a pseudo-answer, and the clipboard emptied."""
        with open(self.clipboard, "rb") as f:
            body = f.read()
        os.remove(self.clipboard)
        return b"200 clipboard %d\n" % len(body), body

    def get(self, address):
        self.proc.stdin.write(address.encode() + b"\n")
        self.proc.stdin.flush()
        head = self.proc.stdout.readline()
        size = int(head.split()[2])
        body = self.proc.stdout.read(size)
        self.proc.stdout.read(1)
        return head, body

    def close(self):
        self.proc.stdin.close()
        self.proc.wait()


def resolve(base, link):
    if not link or link.startswith("#"):
        return None
    joined = urljoin(base.replace(BASE, "http://qilproto_local/", 1), link.replace("&amp;", "&"))
    if not joined.startswith("http://qilproto_local/"):
        return None
    return BASE + joined[len("http://qilproto_local/"):].split("#")[0]


def targets(address, head, body):
    mime = head.split()[1]
    text = body.decode("latin-1")
    links = []
    if mime == b"text/html":
        links = [m.group(1) or m.group(2) or m.group(3) or "" for m in ATTRIBUTE.finditer(text)]
        links += REFRESH.findall(text)
    elif mime == b"text/css":
        links = STYLE_URL.findall(text)
    return [t for t in (resolve(address, link) for link in links) if t]


def walk(session):
    """Yields (address, head, body) along the fixed walk."""
    for item in FIRST:
        yield (BASE + item,) + session.get(BASE + item)
        if os.path.exists(session.clipboard):
            yield ("#clipboard",) + session.copied()
    queue = deque([BASE + "index.html", BASE + "readme.htm"])
    seen = set(queue)
    crawled = 0
    while queue and crawled < BOUND:
        address = queue.popleft()
        crawled += 1
        head, body = session.get(address)
        yield address, head, body
        for target in targets(address, head, body):
            if target not in seen:
                seen.add(target)
                queue.append(target)
    for item in LAST:
        yield (BASE + item,) + session.get(BASE + item)


def main():
    if len(sys.argv) != 5 or sys.argv[1] not in ("record", "compare"):
        sys.exit(__doc__)
    mode, qilcd, archive, path = sys.argv[1:]
    session = Session(qilcd, archive, f"/tmp/answers-clipboard-{os.getpid()}.rtf")
    count = 0
    if mode == "record":
        with open(path, "wb") as out:
            for address, head, body in walk(session):
                out.write(address.encode() + b"\n" + head + body + b"\n")
                count += 1
        session.close()
        print(f"recorded {count} answers in {path}")
        return
    with open(path, "rb") as recording:
        for address, head, body in walk(session):
            if recording.readline() != address.encode() + b"\n":
                sys.exit(f"the walk left the recording before {address}")
            old_head = recording.readline()
            old_body = recording.read(int(old_head.split()[2]))
            recording.read(1)
            if (old_head, old_body) != (head, body):
                sys.exit(f"answer differs for {address}\nrecorded: {old_head!r} {old_body[:400]!r}\n"
                         f"now:      {head!r} {body[:400]!r}")
            count += 1
        if recording.read(1):
            sys.exit("the recording holds more answers than the walk")
    session.close()
    print(f"{count} answers identical")


if __name__ == "__main__":
    main()
