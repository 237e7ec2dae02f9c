#!/usr/bin/env python3
"""The page of `modpublish-check --page` in a real browser: headless
Chromium loads the page written for a small mod and the test asks the
browser, over the DevTools protocol, what it made of it:

  - every language is there, in upload order, behind a switch that works
    with scripts disabled (clicking a language's label shows its title and
    description and hides the others), and the skipped section is listed;
  - headings, lists, links (also an address without a scheme and a bare
    one), the quote's author, the video placeholder are rendered;
  - a description's <script> shows as text and never runs, and neither does
    a javascript: address;
  - the preview is shown from the page itself;
  - no network request is made: a listener on this machine, named by the
    description's pictures and links, sees none;
  - with --load-pictures, the page's policy lets the https: picture load
    (the browser asks the listener for it) and still forbids every script.

    browser_test.py --tool build/default/bin/modpublish-check [--chromium PATH]
    browser_test.py --tool build/default/bin/modpublish-check \
        --screenshot examples/example_page.png [--mod examples/example_mod] [--language en]

With --screenshot it tests nothing: it writes the page of the mod (by
default the example mod, checked from examples/) and saves a picture of the
whole page, showing the language given (default en), as the README's
screenshot is made.

The protocol runs over --remote-debugging-pipe (file descriptors 3 and 4 of
the browser, JSON messages ended by a NUL byte), so no port is opened.
Exits 77 (skipped) with a one-line reason when there is no Chromium;
scripts/install-deps.sh installs Debian's `chromium` package.
"""

import argparse
import base64
import fcntl
import json
import os
import select
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import programs  # noqa: E402

TIMEOUT = 60  # seconds for the whole browser session

# {web} and {secure} stand for the listener's http:// and https:// origins.
DESCRIPTIONS = {
    "en": ("Lanterns at Night",
           "[h1]Lanterns at Night[/h1]\nOil lanterns [b]along village roads[/b].\n"
           "[previewyoutube=dQw4w9WgXcQ;full][/previewyoutube]\n"
           "[list]\n[*]Refill at any store\n[*]Works with existing saves\n[/list]\n"
           "[olist][*]First[*]Second[/olist]"
           "[url=https://example.com/lanterns]Forum thread[/url] "
           "[url=store.steampowered.com/app/480]Store page[/url] "
           "Bugs: {web}/bugs here.\n"
           "[quote=Mira Halden;1234567890]Lovely at night[/quote]\n"
           "<script>window.ranScript = 1; fetch('{web}/script')</script> "
           "[img]{secure}/remote.png[/img] [img]{web}/plain.png[/img] "
           "[url=javascript:window.ranScript=2]Click me[/url] "
           "[url=https://example.com/\"onmouseover=\"window.ranScript=3]Quoted[/url] "
           "[quote=<img src=x onerror=window.ranScript=4>]Lovely[/quote]"),
    "de": ("Laternen bei Nacht",
           "[h2]Laternen[/h2][list][*]Öllaternen an den Dorfstraßen[/list]"),
    "ru": ("Фонари в ночи", "[h3]Фонари[/h3][b]Масляные фонари[/b]"),
}
UPLOAD_ORDER = ["de", "en", "ru"]
LANGUAGES = {"de": "german", "en": "english", "ru": "russian"}


def skip(reason):
    print("SKIPPED: " + reason)
    sys.exit(77)


def make_mod(folder, web, secure):
    os.makedirs(os.path.join(folder, "data"))
    with open(os.path.join(folder, "data", "lanterns.cfg"), "w", encoding="utf-8") as out:
        out.write("fuel = oil\n")
    with open(os.path.join(folder, "steam_logo.png"), "wb") as out:
        out.write(programs.png(32, 32))
    lines = []
    for code, (title, description) in DESCRIPTIONS.items():
        # A value is one line of descript.ion: the line ends are the page's to
        # show, so they are joined here and the test of breaks is the unit tests'.
        text = description.replace("\n", "").replace("{web}", web).replace("{secure}", secure)
        lines += ["[%s]" % code, "title = " + title, "description = " + text]
    # Skipped, and listed so on the page; it holds no text, so it is no error.
    lines += ["[pt-BR]", "lanterns = 12"]
    with open(os.path.join(folder, "descript.ion"), "w", encoding="utf-8") as out:
        out.write("\n".join(lines) + "\n")


class Listener:
    """A TCP listener on the loopback address that counts the connections
    made to it (a plain or a TLS request alike) and answers none."""

    def __init__(self):
        self.socket = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.socket.bind(("127.0.0.1", 0))
        self.socket.listen(16)
        self.socket.settimeout(0.2)
        self.port = self.socket.getsockname()[1]
        self.connections = 0
        self.running = True
        self.thread = threading.Thread(target=self._serve, daemon=True)
        self.thread.start()

    def _serve(self):
        end = time.monotonic() + TIMEOUT
        while self.running and time.monotonic() < end:
            try:
                connection, _ = self.socket.accept()
            except socket.timeout:
                continue
            except OSError:
                return
            self.connections += 1
            connection.close()

    def close(self):
        self.running = False
        self.thread.join()
        self.socket.close()


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
  const shown = (element) => getComputedStyle(element).display !== 'none';
  const descriptions = [...document.querySelectorAll('.description[data-language]')];
  return {
    labels: [...document.querySelectorAll('nav.languages label')].map((label) => label.textContent),
    titles: [...document.querySelectorAll('h1.item_title')].map((h) => ({
      text: h.textContent, shown: shown(h)})),
    descriptions: descriptions.map((description) => ({
      language: description.dataset.language,
      shown: shown(description),
      headings: [...description.querySelectorAll('.bb_h1, .bb_h2, .bb_h3')].map((h) => ({
        text: h.textContent, larger: size(h) > size(description)})),
      items: [...description.querySelectorAll('ul > li')].map((li) => li.textContent),
      numbered: [...description.querySelectorAll('ol > li')].map((li) => li.textContent),
      links: [...description.querySelectorAll('a')].map((a) => ({
        href: a.getAttribute('href'), text: a.textContent})),
      videos: [...description.querySelectorAll('.bb_video a')].map((a) => a.getAttribute('href')),
      authors: [...description.querySelectorAll('blockquote cite')].map((cite) => cite.textContent),
      bold: [...description.querySelectorAll('b')].map((b) => b.textContent),
      text: description.textContent,
    })),
    facts: document.querySelectorAll('aside dt').length,
    policy: document.querySelector('meta[http-equiv="Content-Security-Policy"]').content,
    skipped: [...document.querySelectorAll('section.skipped li')].map((li) => li.textContent),
    scripts: document.scripts.length,
    images: [...document.images].map((image) => image.getAttribute('src')),
    ran: typeof window.ranScript === 'undefined' ? null : window.ranScript,
    handlers: [...document.querySelectorAll('*')].filter((element) =>
        [...element.attributes].some((attribute) => attribute.name.startsWith('on'))).length,
    preview: getComputedStyle(document.querySelector('.preview')).backgroundImage.slice(0, 32),
  };
})()"""

# The middle of the label of the language whose code ends its text ("[en]").
LABEL_AT = r"""((code) => {
  const label = [...document.querySelectorAll('nav.languages label')]
      .find((label) => label.textContent.endsWith('[' + code + ']'));
  if (!label) return null;
  label.scrollIntoView();
  const box = label.getBoundingClientRect();
  return {x: box.left + box.width / 2, y: box.top + box.height / 2};
})"""


class Page:
    """One tab of the browser, scripts disabled, with the page at `url`."""

    def __init__(self, browser, url):
        self.browser = browser
        target = browser.send("Target.createTarget", {"url": "about:blank"})["targetId"]
        self.session = browser.send("Target.attachToTarget",
                                    {"targetId": target, "flatten": True})["sessionId"]
        for domain in ("Network", "Page", "Runtime"):
            self.send(domain + ".enable")
        # The page's own policy forbids scripts; the switch must work without
        # them in any case.
        self.send("Emulation.setScriptExecutionDisabled", {"value": True})
        self.send("Emulation.setDeviceMetricsOverride",
                  {"width": 1100, "height": 900, "deviceScaleFactor": 1, "mobile": False})
        browser.events.clear()
        self.send("Page.navigate", {"url": url})
        browser.wait_for("Page.loadEventFired")

    def send(self, method, params=None):
        return self.browser.send(method, params, session=self.session)

    def evaluate(self, expression):
        return self.send("Runtime.evaluate",
                         {"expression": expression, "returnByValue": True})["result"].get("value")

    def click_language(self, code):
        point = self.evaluate(LABEL_AT + "(%s)" % json.dumps(code))
        if point is None:
            return False
        for kind in ("mousePressed", "mouseReleased"):
            self.send("Input.dispatchMouseEvent", {"type": kind, "x": point["x"], "y": point["y"],
                                                   "button": "left", "clickCount": 1})
        return True

    def requests(self):
        return [event["params"]["request"]["url"] for event in self.browser.events
                if event.get("method") == "Network.requestWillBeSent"
                and event.get("sessionId") == self.session]

    def screenshot(self, path):
        size = self.send("Page.getLayoutMetrics")["cssContentSize"]
        shot = self.send("Page.captureScreenshot",
                         {"format": "png", "captureBeyondViewport": True,
                          "clip": {"x": 0, "y": 0, "width": size["width"],
                                   "height": size["height"], "scale": 1}})
        with open(path, "wb") as out:
            out.write(base64.b64decode(shot["data"]))


def check_offline(facts, switched, page_url, requests, listener):
    problems = []

    def expect(condition, what):
        if not condition:
            problems.append(what)

    order = [LANGUAGES[code] for code in UPLOAD_ORDER]
    expect(facts["labels"] == ["%s [%s]" % (LANGUAGES[code], code) for code in UPLOAD_ORDER],
           "language labels %s, expected %s in upload order" % (facts["labels"], order))
    expect([d["language"] for d in facts["descriptions"]] == order,
           "descriptions %s" % [d["language"] for d in facts["descriptions"]])
    expect([t["text"] for t in facts["titles"]] ==
           [DESCRIPTIONS[code][0] for code in UPLOAD_ORDER], "titles %s" % facts["titles"])
    # The first language shows at first; after a click on english's label,
    # english alone, with scripts disabled.
    expect([d["shown"] for d in facts["descriptions"]] == [True, False, False],
           "descriptions shown at first: %s" % [d["shown"] for d in facts["descriptions"]])
    expect([d["shown"] for d in switched["descriptions"]] == [False, True, False] and
           [t["shown"] for t in switched["titles"]] == [False, True, False],
           "after a click on english, shown: descriptions %s, titles %s" %
           ([d["shown"] for d in switched["descriptions"]],
            [t["shown"] for t in switched["titles"]]))
    expect(facts["facts"] == 4, "%d facts, expected 4 once for the item" % facts["facts"])
    descriptions = {d["language"]: d for d in facts["descriptions"]}
    for code in UPLOAD_ORDER:
        description = descriptions.get(LANGUAGES[code])
        if description:
            expect(description["headings"] and all(h["larger"] for h in description["headings"]),
                   "[%s] headings not rendered larger: %s" % (code, description["headings"]))
    en = descriptions.get("english")
    if en:
        web = "http://127.0.0.1:%d" % listener.port
        expect([h["text"] for h in en["headings"]] == ["Lanterns at Night"],
               "headings %s" % en["headings"])
        expect(en["items"] == ["Refill at any store", "Works with existing saves"],
               "list items %s" % en["items"])
        expect(en["numbered"] == ["First", "Second"], "numbered items %s" % en["numbered"])
        for link in ({"href": "https://example.com/lanterns", "text": "Forum thread"},
                     {"href": "http://store.steampowered.com/app/480", "text": "Store page"},
                     {"href": web + "/bugs", "text": web + "/bugs"}):
            expect(link in en["links"], "no link %s among %s" % (link, en["links"]))
        expect(en["videos"] == ["https://www.youtube.com/watch?v=dQw4w9WgXcQ"],
               "video placeholders %s" % en["videos"])
        expect(en["authors"] == ["Mira Halden", "<img src=x onerror=window.ranScript=4>"],
               "quote authors %s" % en["authors"])
        expect(all(link["href"].startswith(("https://", "http://")) for link in en["links"]),
               "a link that is no web address: %s" % en["links"])
        expect(en["bold"][:1] == ["along village roads"], "bold %s" % en["bold"])
        expect("<script>window.ranScript = 1;" in en["text"], "the <script> is not shown as text")
        expect("Picture not loaded: https://127.0.0.1:%d/remote.png" % listener.port in en["text"],
               "the remote picture's placeholder is missing")
        expect("Click me" in en["text"], "the javascript: link's text is missing")
    de = descriptions.get("german")
    if de:
        expect(de["items"] == ["Öllaternen an den Dorfstraßen"], "German list %s" % de["items"])
    expect(any(line.startswith("[pt-BR]") and "not a known language code" in line
               for line in facts["skipped"]), "skipped sections %s" % facts["skipped"])
    expect("img-src data:;" in facts["policy"], "policy %r" % facts["policy"])
    expect(facts["scripts"] == 0, "%d script elements" % facts["scripts"])
    expect(not facts["images"], "img elements %s" % facts["images"])
    expect(facts["handlers"] == 0, "%d elements with event attributes" % facts["handlers"])
    expect(facts["ran"] is None, "a script ran (window.ranScript = %r)" % facts["ran"])
    expect(facts["preview"].startswith('url("data:image/png;base64,'),
           "preview %r" % facts["preview"])
    network = [url for url in requests if url != page_url and not url.startswith("data:")]
    expect(not network, "network requests: %s" % network)
    expect(listener.connections == 0,
           "the local listener saw %d connections" % listener.connections)
    return problems


def check_pictures(facts, requests, listener):
    problems = []

    def expect(condition, what):
        if not condition:
            problems.append(what)

    secure = "https://127.0.0.1:%d/remote.png" % listener.port
    expect("img-src data: https:;" in facts["policy"] and "script-src 'none'" in facts["policy"]
           and "default-src 'none'" in facts["policy"], "policy %r" % facts["policy"])
    expect(facts["images"] == [secure], "img elements %s" % facts["images"])
    expect(secure in requests, "the https: picture was not asked for: %s" % requests)
    expect(not [url for url in requests if url.startswith("http://")],
           "requests other than the https: picture: %s" % requests)
    expect(listener.connections >= 1, "the local listener saw no connection for the picture")
    expect(facts["scripts"] == 0 and facts["ran"] is None and facts["handlers"] == 0,
           "a script could run: %d scripts, ranScript %r, %d handlers" %
           (facts["scripts"], facts["ran"], facts["handlers"]))
    return problems


def run_checker(tool, arguments, cwd):
    run = programs.run([tool] + arguments, cwd=cwd, timeout=60)
    if run.returncode != 0:
        print("modpublish-check %s failed (status %d):\n%s" %
              (" ".join(arguments), run.returncode, run.stdout.decode("utf-8", "replace")))
        return False
    return True


def screenshot(browser, tool, work, args):
    mod = os.path.abspath(args.mod or os.path.join(programs.ROOT, "examples", "example_mod"))
    page = os.path.join(work, "page.html")
    # From the mod's parent folder, where the example's steam_appid.txt is.
    if not run_checker(tool, ["--page", page, os.path.basename(mod)], os.path.dirname(mod)):
        return 1
    tab = Page(browser, "file://" + page)
    tab.click_language(args.language)
    time.sleep(0.3)
    tab.screenshot(args.screenshot)
    print("wrote %s" % args.screenshot)
    return 0


def test(browser, tool, work):
    listener = Listener()
    try:
        web = "http://127.0.0.1:%d" % listener.port
        secure = "https://127.0.0.1:%d" % listener.port
        mod = os.path.join(work, "mod")
        make_mod(mod, web, secure)
        with open(os.path.join(work, "steam_appid.txt"), "w") as out:
            out.write("480\n")  # a publish could start: the checker finds no error
        offline = os.path.join(work, "offline.html")
        pictures = os.path.join(work, "pictures.html")
        if not (run_checker(tool, ["--page", offline, mod], work) and
                run_checker(tool, ["--page", pictures, "--load-pictures", mod], work)):
            return 1

        tab = Page(browser, "file://" + offline)
        # Hover the links, where an injected handler would sit, and let
        # anything the page might still start (it should start nothing) show up.
        tab.send("Input.dispatchMouseEvent", {"type": "mouseMoved", "x": 200, "y": 600})
        facts = tab.evaluate(FACTS)
        problems = [] if tab.click_language("en") else ["no label for english"]
        browser.drain(0.5)
        switched = tab.evaluate(FACTS)
        problems += check_offline(facts, switched, "file://" + offline, tab.requests(), listener)

        tab = Page(browser, "file://" + pictures)
        browser.drain(1.0)
        problems += check_pictures(tab.evaluate(FACTS), tab.requests(), listener)
        for problem in problems:
            print("FAIL: " + problem)
        if problems:
            return 1
        print("%d languages behind a switch that needs no script, no script ran, no network "
              "request; with --load-pictures the https: picture was asked for" %
              len(facts["descriptions"]))
        return 0
    finally:
        listener.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--tool", required=True)
    parser.add_argument("--chromium")
    parser.add_argument("--screenshot", help="write a picture of the mod's page to this file")
    parser.add_argument("--mod", help="with --screenshot: the mod folder (the example mod)")
    parser.add_argument("--language", default="en",
                        help="with --screenshot: the section shown (en)")
    args = parser.parse_args()
    tool = os.path.abspath(args.tool)  # it runs in a folder of its own
    chromium = args.chromium or shutil.which("chromium") or shutil.which("chromium-browser")
    if not chromium:
        skip("no Chromium to load the page in (scripts/install-deps.sh installs Debian's chromium)")

    with tempfile.TemporaryDirectory(prefix="modpublish-page-",
                                     ignore_cleanup_errors=True) as work:
        browser = Browser(chromium, os.path.join(work, "profile"))
        try:
            if args.screenshot:
                return screenshot(browser, tool, work, args)
            return test(browser, tool, work)
        finally:
            browser.close()


if __name__ == "__main__":
    sys.exit(main())
