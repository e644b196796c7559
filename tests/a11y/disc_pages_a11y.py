#!/usr/bin/env python3
"""The disc's pages for students with screen readers, keyboards, zoom and
printers, in headless Chromium against orvella-serve on loopback: axe-core
(npm, installed once into a cache folder) runs inside every frame of each page
in the light and the dark theme with the WCAG 2.0/2.1 A and AA rules; at
800 x 600 zoomed to 200 % no page scrolls sideways and nothing of the
program's window is cut off; the worksheet printed from the program's window
(Page.printToPDF, read back with pdftotext and pdfimages) shows no button and
keeps each problem's number on the page of its pictures.

   disc_pages_a11y.py ORVELLA_SERVE QILCD DISC [AXE_CACHE_DIR]
Exit 0 passed, 1 failed, 77 skipped (no Chromium, npm or poppler)."""
import base64
import json
import os
import re
import shutil
import subprocess
import sys
import time

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "classroom"))
from classroom_http import Failure, Server, Skip, check, run  # noqa: E402
from chromium_pages import Chromium  # noqa: E402

AXE_VERSION = "4.14.1"
PAGES = ["/index.html", "/main.stmp", "/mathlist.stmp?main=A01", "/solution.stmp?id=5", "/edit1.stmp",
         "/creator.stmp", "/statistic.stmp", "/readme.htm", "/gotoerror_h.html", "/topics/A01.htm"]
PRINTED = [852, 853, 854, 855, 856, 857, 858, 859]  # geometry problems, each with a statement and a figure
BUTTONS = r"\b(Remove|Top|Up|Down|Bottom|Open|Clear all|Save as PDF|Add to worksheet)\b"
# In every frame, before the page's own scripts: what scrolls sideways or lies beyond the window.
HELPERS = """window.__reflow = function () {
  const faults = [], all = [window];
  for (let i = 0; i < all.length; ++i) for (let k = 0; k < all[i].frames.length; ++k) all.push(all[i].frames[k]);
  for (const win of all) if (win.document.documentElement.scrollWidth > win.innerWidth + 1)
    faults.push(win.location.pathname + " is " + win.document.documentElement.scrollWidth + " px wide in " + win.innerWidth);
  const fixed = /hidden|clip/.test(getComputedStyle(document.body).overflowY);
  const scrolls = (item) => item && item !== document.body && (/auto|scroll/.test(getComputedStyle(item).overflowY) ||
                                                              scrolls(item.parentElement));
  for (const item of document.querySelectorAll("a, button, input, iframe")) {
    const box = item.getBoundingClientRect(), below = fixed && box.bottom > innerHeight + 1 && !scrolls(item);
    if (box.width && (box.right > innerWidth + 1 || below || box.left < -1))
      faults.push("cut off: " + item.outerHTML.substring(0, 80));
  }
  return faults;
};"""
AXE_RUN = """axe.run(document, {runOnly: {type: "tag", values: ["wcag2a", "wcag2aa", "wcag21a", "wcag21aa"]},
                     iframes: true, resultTypes: ["violations"]})
  .then(r => r.violations.map(v => [v.id, v.help, v.nodes.map(n => JSON.stringify(n.target) + ": " + n.failureSummary)]))"""
# The editor's rows in the content frame: each problem's number, and how many raster pictures it shows.
ROWS = """Array.from(frames.content.document.querySelectorAll("article.row")).map(row => [
  row.querySelector(".num .numtext").textContent,
  Array.from(row.querySelectorAll(".problem img")).filter(i => !/\\.wm[fz]$/i.test(i.src)).length])"""


def axe_source(cache):
    """axe.min.js, installed into the cache folder with npm unless that version is there."""
    package = os.path.join(cache, "node_modules", "axe-core")
    if not (os.path.exists(f"{package}/package.json") and json.load(open(f"{package}/package.json"))["version"] == AXE_VERSION):
        if not shutil.which("npm"):
            raise Skip("npm is not installed (scripts/install-deps.sh installs it)")
        subprocess.run(["npm", "install", "--prefix", cache, "--no-audit", "--no-fund", "--no-save",
                        f"axe-core@{AXE_VERSION}"], check=True, timeout=300, stdout=subprocess.DEVNULL)
    with open(f"{package}/axe.min.js") as source:
        return source.read()


class Tab:
    """A tab whose every frame gets the scripts before its own."""

    def __init__(self, browser, scripts):
        self.browser = browser
        target = browser.send("Target.createTarget", url="about:blank")["targetId"]
        self.session = browser.send("Target.attachToTarget", targetId=target, flatten=True)["sessionId"]
        for domain in ("Page", "Runtime"):
            self.send(domain + ".enable")
        self.send("Page.addScriptToEvaluateOnNewDocument", source=scripts)

    def send(self, method, **params):
        return self.browser.send(method, self.session, **params)

    def open(self, url):
        """Loads url with its frames, accepting any dialog; then a moment for late scripts."""
        self.send("Page.navigate", url=url)
        deadline = time.monotonic() + 30
        while (event := self.browser.event(deadline)) is not None:
            if event.get("sessionId") == self.session and event.get("method") == "Page.javascriptDialogOpening":
                self.send("Page.handleJavaScriptDialog", accept=True)
            elif event.get("sessionId") == self.session and event.get("method") == "Page.loadEventFired":
                time.sleep(0.3)
                return
        raise Failure(f"{url} did not load within 30 s")

    def evaluate(self, expression):
        result = self.send("Runtime.evaluate", expression=expression, returnByValue=True, awaitPromise=True)
        check("exceptionDetails" not in result, f"{expression[:60]}: {result.get('exceptionDetails')}")
        return result["result"].get("value")


def accessibility(tab, base):
    """axe's violations on every page in both themes, and their number per rule and theme."""
    faults, counts = [], {}
    for page in PAGES:
        tab.open(base + page)
        for scheme in ("light", "dark"):
            tab.send("Emulation.setEmulatedMedia", features=[{"name": "prefers-color-scheme", "value": scheme}])
            for rule, text, nodes in tab.evaluate(AXE_RUN):
                counts[f"{rule} ({scheme})"] = counts.get(f"{rule} ({scheme})", 0) + len(nodes)
                faults += [f"{page} ({scheme}) {rule}: {text}"] + ["    " + node for node in nodes[:5]]
    tab.send("Emulation.setEmulatedMedia", features=[])
    return faults, counts


def reflow(tab, base):
    tab.send("Emulation.setDeviceMetricsOverride", width=400, height=300, deviceScaleFactor=2, mobile=False)
    faults = []
    for page in PAGES:
        tab.open(base + page)
        faults += [f"{page}: {fault}" for fault in tab.evaluate("window.__reflow()")]
    tab.send("Emulation.clearDeviceMetricsOverride")
    return faults


def printed(tab, base, pdf):
    """The worksheet of PRINTED printed from the program's window, and what is wrong with it."""
    tab.evaluate("(async () => { for (const id of %s) await fetch('/wadd.stmp?id=' + id); })()" % PRINTED)
    tab.open(base + "/index.html?show=edit1.stmp")
    rows = tab.evaluate(ROWS)
    check(len(rows) >= len(PRINTED), f"the worksheet shows {len(rows)} problems, not {len(PRINTED)} or more")
    with open(pdf, "wb") as out:
        out.write(base64.b64decode(tab.send("Page.printToPDF", paperWidth=8.27, paperHeight=11.69)["data"]))
    read = lambda *command: subprocess.run(command, capture_output=True, text=True, check=True, timeout=60).stdout
    pages = read("pdftotext", "-layout", pdf, "-").split("\f")
    pictures = [int(line.split()[0]) for line in read("pdfimages", "-list", pdf).splitlines()[2:]]
    faults = [f"page {n}: the button {button}" for n, text in enumerate(pages, 1) for button in re.findall(BUTTONS, text)]
    check(len([text for text in pages if text.strip()]) >= 2, "the worksheet printed on one page: nothing to part")
    for n, text in enumerate(pages, 1):
        numbers = [number for number, _ in rows if re.search(rf"Problem {re.escape(number)}(?![\d,])", text)]
        if pictures.count(n) != sum(count for number, count in rows if number in numbers):
            faults.append(f"page {n}: {pictures.count(n)} pictures, not those of its problems {numbers}")
    return faults


def test(serve, qilcd, disc, work):
    binary = shutil.which("chromium")
    for tool, package in ((binary, "chromium"), (shutil.which("pdfimages"), "poppler-utils")):
        if not tool:
            raise Skip(f"{package} is not installed (scripts/install-deps.sh installs it)")
    scripts = axe_source(CACHE or os.path.join(os.path.dirname(os.path.abspath(disc)), "a11y-cache")) + HELPERS
    server = Server(serve, disc, work, "a11y", "--per-ip-limit", "0")
    browser = Chromium(binary, work)
    try:
        tab = Tab(browser, scripts)
        base = f"http://127.0.0.1:{server.port}"
        tab.open(base + "/index.html")  # the session's cookie first, then two problems on the worksheet
        tab.evaluate("fetch('/wadd.stmp?id=5').then(() => fetch('/wadd.stmp?id=9'))")
        faults, counts = accessibility(tab, base)
        print(f"axe-core {AXE_VERSION}, {len(PAGES)} pages in 2 themes, violations per rule: {counts or 'none'}")
        layout = reflow(tab, base)
        paper = printed(tab, base, os.environ.get("QIL_A11Y_PDF", f"{work}/worksheet.pdf"))
        print(f"at 200 % in 800 x 600: {len(layout)} faults; printed worksheet: {len(paper)} faults")
        check(not faults + layout + paper, "\n".join(faults + layout + paper))
        print("ok: no violations, no sideways scrolling at 200 %, a printed worksheet without buttons or parted problems")
    finally:
        browser.close()
        server.stop()


if __name__ == "__main__":
    CACHE = sys.argv.pop(4) if len(sys.argv) == 5 else None
    run(test)
