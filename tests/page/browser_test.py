#!/usr/bin/env python3
"""The page of `modpublish-check --page` in a real browser: headless
Chromium loads the page written for a small mod and the test asks the
browser, over the DevTools protocol, what it made of it:

  - every language panel is there, in upload order, and the skipped
    section is listed;
  - headings, lists and links of the descriptions are rendered;
  - a description's <script> shows as text and never runs, and neither does
    a javascript: address;
  - the preview is shown from the page itself;
  - no network request is made (remote pictures stay placeholders).

    browser_test.py --tool build/default/bin/modpublish-check [--chromium PATH]

The protocol runs over --remote-debugging-pipe (file descriptors 3 and 4 of
the browser, JSON messages ended by a NUL byte), so no port is opened.
Exits 77 (skipped) with a one-line reason when there is no Chromium;
scripts/install-deps.sh installs Debian's `chromium` package.
"""

import argparse
import fcntl
import json
import os
import select
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zlib

TIMEOUT = 60  # seconds for the whole browser session

DESCRIPTIONS = {
    "en": ("Lanterns at Night",
           "[h1]Lanterns at Night[/h1]Oil lanterns [b]along village roads[/b]."
           "[list][*]Refill at any store[*]Works with existing saves[/list]"
           "[olist][*]First[*]Second[/olist]"
           "[url=https://example.com/lanterns]Forum thread[/url] "
           "<script>window.ranScript = 1; fetch('https://example.com/script')</script> "
           "[img]https://example.com/remote.png[/img] "
           "[url=javascript:window.ranScript=2]Click me[/url] "
           "[url=https://example.com/\"onmouseover=\"window.ranScript=3]Quoted[/url] "
           "[quote=<img src=x onerror=window.ranScript=4>]Lovely[/quote]"),
    "de": ("Laternen bei Nacht",
           "[h2]Laternen[/h2][list][*]Öllaternen an den Dorfstraßen[/list]"),
    "ru": ("Фонари в ночи", "[h3]Фонари[/h3][b]Масляные фонари[/b]"),
}
UPLOAD_ORDER = ["de", "en", "ru"]


def skip(reason):
    print("SKIPPED: " + reason)
    sys.exit(77)


def png(width, height):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    rows = b"".join(b"\0" + b"\x40\x80\xc0" * width for _ in range(height))
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def make_mod(folder):
    os.makedirs(os.path.join(folder, "data"))
    with open(os.path.join(folder, "data", "lanterns.cfg"), "w", encoding="utf-8") as out:
        out.write("fuel = oil\n")
    with open(os.path.join(folder, "steam_logo.png"), "wb") as out:
        out.write(png(32, 32))
    lines = []
    for code, (title, description) in DESCRIPTIONS.items():
        lines += ["[%s]" % code, "title = " + title, "description = " + description]
    # Skipped, and listed so on the page; it holds no text, so it is no error.
    lines += ["[pt-BR]", "lanterns = 12"]
    with open(os.path.join(folder, "descript.ion"), "w", encoding="utf-8") as out:
        out.write("\n".join(lines) + "\n")


class Browser:
    """Chromium driven over its DevTools pipe."""

    def __init__(self, chromium, profile):
        # The browser reads commands from its fd 3 and writes to its fd 4.
        commands_read, commands_write = os.pipe()
        events_read, events_write = os.pipe()
        # Out of the way of 3 and 4, so the child's dup2 can't clobber them.
        high_read = fcntl.fcntl(commands_read, fcntl.F_DUPFD, 100)
        high_write = fcntl.fcntl(events_write, fcntl.F_DUPFD, 100)
        for fd in (commands_read, events_write):
            os.close(fd)

        def child_fds():
            os.dup2(high_read, 3)
            os.dup2(high_write, 4)

        self.process = subprocess.Popen(
            [chromium, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
             "--no-first-run", "--disable-background-networking",
             "--disable-component-update", "--disable-sync", "--disable-dev-shm-usage",
             "--user-data-dir=" + profile, "--remote-debugging-pipe", "about:blank"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            close_fds=False, preexec_fn=child_fds)
        os.close(high_read)
        os.close(high_write)
        self.out = commands_write
        self.inp = events_read
        self.buffer = b""
        self.next_id = 0
        self.events = []
        self.deadline = time.monotonic() + TIMEOUT

    def close(self):
        for fd in (self.out, self.inp):
            try:
                os.close(fd)
            except OSError:
                pass
        self.process.terminate()
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()

    def _message(self, timeout):
        while b"\0" not in self.buffer:
            left = min(self.deadline, time.monotonic() + timeout) - time.monotonic()
            if left <= 0 or not select.select([self.inp], [], [], left)[0]:
                return None
            data = os.read(self.inp, 1 << 16)
            if not data:
                raise RuntimeError("the browser closed its DevTools pipe")
            self.buffer += data
        message, _, self.buffer = self.buffer.partition(b"\0")
        return json.loads(message)

    def send(self, method, params=None, session=None):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        os.write(self.out, json.dumps(message).encode() + b"\0")
        while True:
            reply = self._message(self.deadline - time.monotonic())
            if reply is None:
                raise RuntimeError("no answer to " + method)
            if reply.get("id") == self.next_id:
                if "error" in reply:
                    raise RuntimeError("%s: %s" % (method, reply["error"]))
                return reply.get("result", {})
            self.events.append(reply)

    def wait_for(self, method):
        for index, event in enumerate(self.events):
            if event.get("method") == method:
                return self.events.pop(index)
        while True:
            event = self._message(self.deadline - time.monotonic())
            if event is None:
                raise RuntimeError("no " + method)
            if event.get("method") == method:
                return event
            self.events.append(event)

    def drain(self, seconds):
        """Collects the events that come within `seconds`."""
        end = time.monotonic() + seconds
        while True:
            event = self._message(max(0.0, end - time.monotonic()))
            if event is None:
                return
            self.events.append(event)


# Everything the test wants to know of the loaded page, in one evaluation.
FACTS = r"""(() => {
  const size = (element) => parseFloat(getComputedStyle(element).fontSize);
  const panels = [...document.querySelectorAll('section.panel[id^="lang-"]')];
  return {
    panels: panels.map((panel) => ({
      id: panel.id,
      language: panel.dataset.language,
      title: panel.querySelector('h1.item_title').textContent,
      headings: [...panel.querySelectorAll('.description [role=heading]')].map((h) => ({
        level: h.getAttribute('aria-level'), text: h.textContent,
        larger: size(h) > size(panel.querySelector('.description'))})),
      items: [...panel.querySelectorAll('.description ul > li')].map((li) => li.textContent),
      numbered: [...panel.querySelectorAll('.description ol > li')].map((li) => li.textContent),
      links: [...panel.querySelectorAll('.description a')].map((a) => ({
        href: a.getAttribute('href'), text: a.textContent})),
      bold: [...panel.querySelectorAll('.description b')].map((b) => b.textContent),
      text: panel.querySelector('.description').textContent,
    })),
    skipped: [...document.querySelectorAll('section.skipped li')].map((li) => li.textContent),
    scripts: document.scripts.length,
    images: document.images.length,
    ran: typeof window.ranScript === 'undefined' ? null : window.ranScript,
    handlers: [...document.querySelectorAll('*')].filter((element) =>
        [...element.attributes].some((attribute) => attribute.name.startsWith('on'))).length,
    preview: getComputedStyle(document.querySelector('.preview')).backgroundImage.slice(0, 32),
    resources: performance.getEntriesByType('resource').map((entry) => entry.name),
  };
})()"""


def check(facts, page_url, requests):
    problems = []

    def expect(condition, what):
        if not condition:
            problems.append(what)

    ids = [panel["id"] for panel in facts["panels"]]
    expect(ids == ["lang-" + code for code in UPLOAD_ORDER],
           "language panels %s, expected %s in upload order" % (ids, UPLOAD_ORDER))
    panels = {panel["id"][5:]: panel for panel in facts["panels"]}
    for code, (title, _) in DESCRIPTIONS.items():
        panel = panels.get(code)
        if panel is None:
            continue
        expect(panel["title"] == title, "[%s] title %r" % (code, panel["title"]))
        expect(panel["headings"] and all(h["larger"] for h in panel["headings"]),
               "[%s] headings not rendered larger: %s" % (code, panel["headings"]))
    if "en" in panels and "de" in panels:
        en = panels["en"]
        expect([h["text"] for h in en["headings"]] == ["Lanterns at Night"],
               "headings %s" % en["headings"])
        expect(en["items"] == ["Refill at any store", "Works with existing saves"],
               "list items %s" % en["items"])
        expect(en["numbered"] == ["First", "Second"], "numbered items %s" % en["numbered"])
        expect({"href": "https://example.com/lanterns", "text": "Forum thread"} in en["links"],
               "links %s" % en["links"])
        expect(all(link["href"].startswith("https://") for link in en["links"]),
               "a link that is no web address: %s" % en["links"])
        expect(en["bold"][:1] == ["along village roads"], "bold %s" % en["bold"])
        expect("<script>window.ranScript = 1;" in en["text"], "the <script> is not shown as text")
        expect("Picture not loaded: https://example.com/remote.png" in en["text"],
               "the remote picture's placeholder is missing")
        expect("Click me" in en["text"], "the javascript: link's text is missing")
        expect(panels["de"]["items"] == ["Öllaternen an den Dorfstraßen"],
               "German list %s" % panels["de"]["items"])
    expect(any(line.startswith("[pt-BR]") and "not a known language code" in line
               for line in facts["skipped"]), "skipped sections %s" % facts["skipped"])
    expect(facts["scripts"] == 0, "%d script elements" % facts["scripts"])
    expect(facts["images"] == 0, "%d img elements" % facts["images"])
    expect(facts["handlers"] == 0, "%d elements with event attributes" % facts["handlers"])
    expect(facts["ran"] is None, "a script ran (window.ranScript = %r)" % facts["ran"])
    expect(facts["preview"].startswith('url("data:image/png;base64,'),
           "preview %r" % facts["preview"])
    expect(not facts["resources"], "resources fetched: %s" % facts["resources"])
    network = [url for url in requests if url != page_url and not url.startswith("data:")]
    expect(not network, "network requests: %s" % network)
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--tool", required=True)
    parser.add_argument("--chromium")
    args = parser.parse_args()
    tool = os.path.abspath(args.tool)  # it runs in a folder of its own
    chromium = args.chromium or shutil.which("chromium") or shutil.which("chromium-browser")
    if not chromium:
        skip("no Chromium to load the page in (scripts/install-deps.sh installs Debian's chromium)")

    work = tempfile.mkdtemp(prefix="modpublish-page-")
    browser = None
    try:
        mod = os.path.join(work, "mod")
        make_mod(mod)
        with open(os.path.join(work, "steam_appid.txt"), "w") as out:
            out.write("480\n")  # a publish could start: the checker finds no error
        page = os.path.join(work, "page.html")
        run = subprocess.run([tool, "--page", page, mod], cwd=work, capture_output=True,
                             stdin=subprocess.DEVNULL, timeout=60, check=False)
        if run.returncode != 0 or not os.path.isfile(page):
            print("modpublish-check --page failed (status %d):\n%s" %
                  (run.returncode, run.stdout.decode("utf-8", "replace")))
            return 1
        page_url = "file://" + page

        browser = Browser(chromium, os.path.join(work, "profile"))
        target = browser.send("Target.createTarget", {"url": "about:blank"})["targetId"]
        session = browser.send("Target.attachToTarget",
                               {"targetId": target, "flatten": True})["sessionId"]
        for domain in ("Network", "Page", "Runtime"):
            browser.send(domain + ".enable", session=session)
        browser.send("Page.navigate", {"url": page_url}, session=session)
        browser.wait_for("Page.loadEventFired")
        # Let anything the page might still start (it should start nothing) show up, and
        # hover the links, where an injected handler would sit.
        browser.send("Input.dispatchMouseEvent", {"type": "mouseMoved", "x": 200, "y": 400},
                     session=session)
        browser.drain(0.5)
        facts = browser.send("Runtime.evaluate", {"expression": FACTS, "returnByValue": True},
                             session=session)["result"]["value"]
        requests = [event["params"]["request"]["url"] for event in browser.events
                    if event.get("method") == "Network.requestWillBeSent"]
        problems = check(facts, page_url, requests)
        for problem in problems:
            print("FAIL: " + problem)
        if problems:
            return 1
        print("page %s: %d language panels, no script ran, no network request" %
              (page, len(facts["panels"])))
        return 0
    finally:
        if browser is not None:
            browser.close()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
