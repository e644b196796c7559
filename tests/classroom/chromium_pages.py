#!/usr/bin/env python3
"""The classroom server's pages in headless Chromium, as a student opens them:
the start page, a list, a problem, two adds and the worksheet editor, each in a
new tab of one profile, whose cookies carry the worksheet. Checks each page's
DOM once its scripts have run, and that no picture failed, no script failed
and Chromium reported no Content-Security-Policy violation; a first page whose
own policy forbids its inline style proves that such a report is seen.
Chromium is driven over --remote-debugging-pipe: JSON commands and answers,
each ended by a NUL byte, on its descriptors 3 and 4."""
import fcntl
import json
import os
import re
import select
import shutil
import subprocess
import sys
import time

sys.dont_write_bytecode = True
from classroom_http import Failure, Server, Skip, check, run  # noqa: E402

PROBE = """data:text/html,<meta http-equiv="Content-Security-Policy" content="style-src 'none'"><p style="x">"""
ADDED = {r'<p id="message">Problem added to Worksheet\.</p>': 1, r"^dialog: Problem added to Worksheet\.$": 1}
PAGES = [  # target, {regular expression: how often it matches the DOM and what Chromium said}
    ("/index.html", {r'<a href="topics/[A-Z]\d\d\.htm" target="content" data-topic="': 16,
                     r'<iframe class="counter" name="counter" src="worksheet\.stmp"': 1}),
    ("/topics/A01.htm", {r'<h1[^>]*>[^<]*Order of operations': 1}),
    ("/mathlist.stmp?main=A01", {r'<a class="button" href="solution\.stmp\?id=0000\d\d">': 25,
                                 r'<h1 id="list-title">Topic A01</h1>': 1}),
    ("/solution.stmp?id=5", {r'<h1>Problem <span class="num"><img src="images/szamok_problem/n6\.jpg"': 1,
                             r'<img src="mathgfx\.stmp\?ID=5&amp;gfx=M_image[12]\.png"': 2}),
    ("/wadd.stmp?id=5", ADDED),
    ("/wadd.stmp?id=9", ADDED),
    ("/edit1.stmp", {r'<article class="row" id="w\d{6}">': 2, r'id="w000005">[\s\S]*id="w000009">': 1}),
]
FORBIDDEN = r"^(?:violation|exception|broken picture): .*"
BROKEN = "Array.from(document.images).filter(i => !i.complete || !i.naturalWidth).map(i => i.src)"


class Chromium:
    def __init__(self, binary, work):
        # Pipe ends from 10 up, so that the child's moves to 3 and 4 cannot collide.
        originals = os.pipe() + os.pipe()
        theirs_in, self.commands, self.answers, theirs_out = [fcntl.fcntl(end, fcntl.F_DUPFD_CLOEXEC, 10)
                                                              for end in originals]
        for end in originals:
            os.close(end)
        self.output = f"{work}/chromium.log"
        with open(self.output, "w") as output:
            self.process = subprocess.Popen(
                [binary, "--headless", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--remote-debugging-pipe", f"--user-data-dir={work}/profile", "about:blank"],
                preexec_fn=lambda: (os.dup2(theirs_in, 3), os.dup2(theirs_out, 4)), pass_fds=(3, 4),
                stdin=subprocess.DEVNULL, stdout=output, stderr=output, start_new_session=True)
        os.close(theirs_in)
        os.close(theirs_out)
        self.buffer, self.events, self.last = b"", [], 0

    def message(self, deadline):
        """The next message from Chromium; None when the deadline comes first."""
        while b"\0" not in self.buffer:
            if not select.select([self.answers], [], [], max(0, deadline - time.monotonic()))[0]:
                return None
            chunk = os.read(self.answers, 1 << 16)
            if not chunk:
                with open(self.output) as output:
                    raise Failure(f"Chromium ended:\n{output.read()[-2000:]}")
            self.buffer += chunk
        message, self.buffer = self.buffer.split(b"\0", 1)
        return json.loads(message)

    def send(self, method, session=None, **params):
        """The result of a command; events that come meanwhile are kept for event()."""
        self.last += 1
        command = {"id": self.last, "method": method, "params": params}
        if session:
            command["sessionId"] = session
        os.write(self.commands, json.dumps(command).encode() + b"\0")
        deadline = time.monotonic() + 30
        while (message := self.message(deadline)) is not None:
            if message.get("id") == self.last:
                check("error" not in message, f"{method}: {message.get('error')}")
                return message["result"]
            self.events.append(message)
        raise Failure(f"Chromium did not answer {method} within 30 s")

    def event(self, deadline):
        return self.events.pop(0) if self.events else self.message(deadline)

    def evaluate(self, session, expression):
        result = self.send("Runtime.evaluate", session, expression=expression, returnByValue=True)["result"]
        return result.get("value")

    def close(self):
        try:
            self.send("Browser.close")
            self.process.wait(10)
        except (Failure, subprocess.TimeoutExpired):
            self.process.kill()
            self.process.wait()


def open_page(browser, url):
    """url in a new tab: its DOM, then what Chromium said while it loaded, a line each."""
    target = browser.send("Target.createTarget", url="about:blank")["targetId"]
    session = browser.send("Target.attachToTarget", targetId=target, flatten=True)["sessionId"]
    for domain in ("Page", "Runtime", "Log"):
        browser.send(domain + ".enable", session)
    # Opened by the blank page's script, the page replaces it in the tab's history: the
    # history.back() of a page that adds to the worksheet has nowhere to go. Only Chromium
    # itself may open a data: address.
    if url.startswith("http:"):
        browser.evaluate(session, f"location.replace({json.dumps(url)})")
    else:
        browser.send("Page.navigate", session, url=url)
    said, arrived, loaded, deadline = [], False, None, time.monotonic() + 30
    while (event := browser.event(deadline if loaded is None else min(deadline, loaded + 0.5))) is not None:
        method, params = event.get("method"), event.get("params", {})
        if event.get("sessionId") != session:
            continue
        if method == "Log.entryAdded":
            text = params["entry"]["text"]
            said.append(("violation: " if "Content Security Policy" in text else "log: ") + text)
        elif method == "Runtime.exceptionThrown":
            said.append("exception: " + params["exceptionDetails"].get("exception", {}).get("description", "?"))
        elif method == "Page.javascriptDialogOpening":
            said.append("dialog: " + params["message"])
            browser.send("Page.handleJavaScriptDialog", session, accept=True)
        elif method == "Page.frameNavigated" and "parentId" not in params["frame"]:
            arrived = params["frame"]["url"] != "about:blank"
        elif method == "Page.loadEventFired" and arrived and loaded is None:
            loaded = time.monotonic()  # then half a second more for late messages
    check(loaded, f"{url} did not load within 30 s")
    said += ["broken picture: " + source for source in browser.evaluate(session, BROKEN)]
    dom = browser.evaluate(session, "document.documentElement.outerHTML")
    browser.send("Target.closeTarget", targetId=target)
    return dom + "\n" + "\n".join(said)


def test(serve, qilcd, disc, work):
    binary = shutil.which("chromium")
    if not binary:
        raise Skip("chromium is not installed (scripts/install-deps.sh installs it)")
    server = Server(serve, disc, work, "pages")
    browser = Chromium(binary, work)
    try:
        seen = open_page(browser, PROBE)
        check(re.search(r"^violation: ", seen, re.M), f"Chromium did not report the probe's violation:\n{seen}")
        for target, expected in PAGES:
            seen = open_page(browser, f"http://127.0.0.1:{server.port}{target}")
            check(not re.search(FORBIDDEN, seen, re.M), f"{target}: {re.findall(FORBIDDEN, seen, re.M)}")
            for pattern, count in expected.items():
                found = len(re.findall(pattern, seen, re.M))
                check(found == count, f"{target}: {found} matches of {pattern}, not {count}")
        print(f"ok: {len(PAGES)} pages in Chromium, without violations of the Content-Security-Policy")
    finally:
        browser.close()
        server.stop()


if __name__ == "__main__":
    run(test)
