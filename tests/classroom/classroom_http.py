"""What the classroom server's scripted tests share: orvella-serve on a free
loopback port, a client that keeps one connection and its cookies as a browser
does, and the frame that runs a test: TEST.py ORVELLA_SERVE QILCD DISC, exit 0
when it passes, 1 with a message when it fails, 77 when it is skipped."""
import gzip
import http.client
import re
import signal
import subprocess
import sys
import tempfile
import time


class Failure(Exception):
    pass


class Skip(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


class Server:
    def __init__(self, binary, disc, work, name, *options):
        self.name, self.log, self.stderr = name, f"{work}/{name}.log", f"{work}/{name}.err"
        with open(self.stderr, "w") as errors:
            self.process = subprocess.Popen([binary, "--archive", disc, "--address", "127.0.0.1", "--port", "0",
                                             "--log", self.log, *options], stdout=subprocess.DEVNULL, stderr=errors)
        for _ in range(300):  # 15 s
            found = re.search(r"^Listening on http://127\.0\.0\.1:(\d+)/$", self.errors(), re.M)
            if found or self.process.poll() is not None:
                break
            time.sleep(0.05)
        if not found:
            self.stop()
            raise Failure(f"{name} server did not start: {self.errors()}")
        self.port = int(found.group(1))

    def errors(self):
        with open(self.stderr) as errors:
            return errors.read()

    def requests(self):
        """The targets of the requests in its access log, once answered."""
        with open(self.log) as log:
            return [line.split('"')[1].split(" ")[1] for line in log]

    def stop(self):
        """Stops it with SIGTERM, or SIGKILL after 15 s; its exit status, None when killed."""
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(15)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
                return None
        return self.process.returncode


class Browser:
    def __init__(self, port, timeout=30):
        self.connection = http.client.HTTPConnection("127.0.0.1", port, timeout=timeout)
        self.cookies = {}

    def get(self, target, *expected):
        """The page at target and the seconds it took; fails unless 200 and holding every expected text."""
        headers = {"Accept-Encoding": "gzip"}
        if self.cookies:
            headers["Cookie"] = "; ".join(f"{name}={value}" for name, value in self.cookies.items())
        started = time.perf_counter()
        self.connection.request("GET", target, headers=headers)
        response = self.connection.getresponse()
        body = response.read()
        seconds = time.perf_counter() - started
        if response.getheader("Content-Encoding") == "gzip":
            body = gzip.decompress(body)
        for cookie in response.headers.get_all("Set-Cookie") or []:
            name, _, value = cookie.split(";")[0].partition("=")
            if "max-age=0" in cookie.lower():
                self.cookies.pop(name, None)
            else:
                self.cookies[name] = value
        page = body.decode("utf-8", "replace")
        check(response.status == 200, f"{target}: status {response.status}")
        for text in expected:
            check(text in page, f"{target}: the page does not say {text!r}")
        return page, seconds


ADDED, ALREADY_THERE = "Problem added to Worksheet.", "Problem already exists"


def worksheet_of(editor_page):
    """The positions of the problems the worksheet editor lists, in its order."""
    return [int(position) for position in re.findall(r'"edit1\.stmp\?action=remove&amp;id=(\d{6})"', editor_page)]


def moved_up(problems, position):
    place = problems.index(position)
    return problems[:place - 1] + [position, problems[place - 1]] + problems[place + 1:] if place else problems


def run(test):
    """Runs test(serve, qilcd, disc, work) on the command line's programs, in a temporary folder."""
    signal.signal(signal.SIGTERM, lambda number, frame: sys.exit(128 + number))  # unwinds, stopping what ran
    if len(sys.argv) != 4:
        sys.exit(f"usage: {sys.argv[0]} ORVELLA_SERVE QILCD DISC")
    with tempfile.TemporaryDirectory() as work:
        try:
            test(*sys.argv[1:], work)
        except Skip as reason:
            print(f"SKIPPED: {reason}")
            sys.exit(77)
        except (Failure, OSError, subprocess.SubprocessError, http.client.HTTPException) as failure:
            sys.exit(f"FAILED: {type(failure).__name__}: {failure}")
