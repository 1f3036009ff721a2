#!/usr/bin/env python3
"""Browser test of the page of `pluvar serve`: headless Chromium driven over
the DevTools protocol.  It searches "bundesbank", checks an account and an
IBAN, reads the rendered results from the page, checks that a bank name
holding markup is shown as text, and saves a screenshot.

    page_test.py --pluvar build/pluvar [--screenshot FILE]

Exit status 0 passed, 1 failed, 77 skipped (no chromium or no websocket
module)."""
import argparse
import base64
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.request

SKIP = 77


def skip(why):
    print("SKIP:", why)
    sys.exit(SKIP)


try:
    import websocket  # Debian python3-websocket
except ImportError:
    # An interpreter beside Debian's (a virtual environment) still finds
    # the Debian package.
    sys.path.append("/usr/lib/python3/dist-packages")
    try:
        import websocket
    except ImportError:
        websocket = None


class DevTools:
    """One page of the browser, commands sent and answers awaited in order."""

    def __init__(self, ws_url):
        self.ws = websocket.create_connection(ws_url, timeout=30, suppress_origin=True)
        self.next_id = 0
        self.events = []
        self.paused_handler = None

    def call(self, method, **params):
        self.next_id += 1
        my_id = self.next_id
        self.ws.send(json.dumps({"id": my_id, "method": method, "params": params}))
        while True:
            msg = json.loads(self.ws.recv())
            if msg.get("id") == my_id:
                if "error" in msg:
                    raise RuntimeError(f"{method}: {msg['error']}")
                return msg.get("result", {})
            self.on_event(msg)

    def on_event(self, msg):
        if msg.get("method") == "Fetch.requestPaused" and self.paused_handler:
            self.paused_handler(msg["params"])
        else:
            self.events.append(msg)

    def evaluate(self, expression):
        r = self.call("Runtime.evaluate", expression=expression, returnByValue=True, awaitPromise=True)
        if "exceptionDetails" in r:
            raise RuntimeError(f"script failed: {r['exceptionDetails']}")
        return r["result"].get("value")

    def wait_for(self, expression, timeout=15.0):
        until = time.time() + timeout
        while time.time() < until:
            value = self.evaluate(expression)
            if value:
                return value
            time.sleep(0.1)
        raise AssertionError(f"timed out waiting for: {expression}")


def start_server(pluvar):
    server = subprocess.Popen([pluvar, "serve", "--listen", "127.0.0.1:0"], stdout=subprocess.PIPE)
    line = server.stdout.readline().decode()
    if "listening on" not in line:
        server.kill()
        raise SystemExit(f"server did not start: {line!r}")
    return server, line.split("listening on ")[1].strip()


def start_browser(profile):
    chromium = shutil.which("chromium") or shutil.which("chromium-browser")
    if not chromium:
        skip("chromium not installed")
    browser = subprocess.Popen(
        [chromium, "--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
         "--disable-extensions", "--disable-background-networking", "--remote-debugging-address=127.0.0.1",
         "--remote-debugging-port=0", f"--user-data-dir={profile}", "--window-size=1100,1300",
         "about:blank"],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    port_file = os.path.join(profile, "DevToolsActivePort")
    until = time.time() + 30
    while not os.path.exists(port_file) or os.path.getsize(port_file) == 0:
        if time.time() > until or browser.poll() is not None:
            browser.kill()
            raise SystemExit("chromium did not open its DevTools port")
        time.sleep(0.1)
    port = open(port_file).read().split()[0]
    with urllib.request.urlopen(f"http://127.0.0.1:{port}/json/list") as r:
        pages = [t for t in json.load(r) if t["type"] == "page"]
    return browser, pages[0]["webSocketDebuggerUrl"]


def fill_and_submit(dt, form, fields):
    script = "".join(f"document.getElementById({json.dumps(k)}).value = {json.dumps(v)};" for k, v in fields.items())
    dt.evaluate(script + f"document.getElementById({json.dumps(form)}).requestSubmit(); true")


def facts(dt, dl_id):
    return dt.evaluate(f"""Object.fromEntries([...document.querySelectorAll('#{dl_id} dd')]
        .map(dd => [dd.dataset.field, dd.textContent]))""")


def check(condition, what, failures):
    print(("ok   " if condition else "FAIL ") + what)
    if not condition:
        failures.append(what)


def run(dt, base, screenshot, failures):
    dt.call("Page.enable")
    dt.call("Runtime.enable")
    dt.call("Page.navigate", url=base)
    dt.wait_for("document.readyState === 'complete' && document.getElementById('version').textContent !== ''")
    check(dt.evaluate("document.getElementById('version').textContent").startswith("Pluvar"),
          "the version line is shown", failures)

    # Bank search.
    fill_and_submit(dt, "search-form", {"search-nam": "bundesbank"})
    dt.wait_for("document.getElementById('search-status').textContent !== ''")
    rows = dt.evaluate("""[...document.querySelectorAll('#search-results tbody tr')]
        .map(tr => [...tr.cells].map(td => td.textContent))""")
    print("     search status:", dt.evaluate("document.getElementById('search-status').textContent"))
    check(len(rows) == 30, f"search 'bundesbank' lists 30 banks (got {len(rows)})", failures)
    check(bool(rows) and rows[0][:4] == ["10000000", "Bundesbank", "10591", "Berlin"],
          f"first hit is the Bundesbank in Berlin ({rows[:1]})", failures)
    check(bool(rows) and rows[0][4] == "MARKDEF1100", "the hit shows its BIC", failures)

    # Account check.
    fill_and_submit(dt, "account-form", {"account-blz": "37040044", "account-knr": "0532013000"})
    dt.wait_for("document.getElementById('account-status').textContent !== ''")
    account = facts(dt, "account-result")
    print("     account:", dt.evaluate("document.getElementById('account-status').textContent"), account)
    check(account.get("Bank") == "Commerzbank", "account check shows the bank", failures)
    check(account.get("IBAN") == "DE89370400440532013000", "account check shows the IBAN", failures)
    check(account.get("Place") == "Köln", "the place is shown in proper letters", failures)

    # IBAN check, in the printed form people type.
    fill_and_submit(dt, "iban-form", {"iban-ibn": "DE89 3704 0044 0532 0130 00", "iban-bic": "COBADEFF"})
    dt.wait_for("document.getElementById('iban-status').textContent !== ''")
    iban = facts(dt, "iban-result")
    print("     iban:", dt.evaluate("document.getElementById('iban-status').textContent"), iban)
    check(iban.get("Bank") == "Commerzbank", "IBAN check shows the bank", failures)
    check((iban.get("Country") or "").upper() == "GERMANY", "IBAN check shows the country", failures)
    check(iban.get("BIC") == "COBADEFFXXX", "IBAN check shows the BIC", failures)
    check(iban.get("SEPA credit transfer") == "reachable", "IBAN check shows the reachability", failures)

    if screenshot:
        shot = dt.call("Page.captureScreenshot", format="png", captureBeyondViewport=True)
        with open(screenshot, "wb") as f:
            f.write(base64.b64decode(shot["data"]))
        print("     screenshot:", screenshot)

    # A bank name holding markup: the search answer is replaced on its way
    # into the browser, and the page must show the name as text.
    evil = "<script>window.pwned=1</script><img src=x onerror=\"window.pwned=2\">Bank & Co"
    body = json.dumps({"code": 1, "reason": "ok",
                       "hits": [{"blz": "99999999", "name": evil, "zip": "12345", "location": "<b>Ort</b>"}]})

    def fulfil(params):
        dt.ws.send(json.dumps({"id": 0, "method": "Fetch.fulfillRequest", "params": {
            "requestId": params["requestId"], "responseCode": 200,
            "responseHeaders": [{"name": "Content-Type", "value": "application/json"}],
            "body": base64.b64encode(body.encode()).decode()}}))

    dt.paused_handler = fulfil
    dt.call("Fetch.enable", patterns=[{"urlPattern": "*/v1/search*", "requestStage": "Request"}])
    fill_and_submit(dt, "search-form", {"search-nam": "markup"})
    dt.wait_for("document.querySelector('#search-results tbody td:nth-child(2)')?.textContent.includes('Bank & Co')")
    cell = dt.evaluate("document.querySelector('#search-results tbody td:nth-child(2)').textContent")
    check(cell == evil, "a bank name with <script> is shown as text", failures)
    check(dt.evaluate("document.querySelectorAll('#search-results script, #search-results img, #search-results b').length") == 0,
          "no element was made from the answer", failures)
    check(dt.evaluate("window.pwned === undefined"), "no script from the answer ran", failures)
    dt.call("Fetch.disable")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--pluvar", required=True)
    ap.add_argument("--screenshot")
    args = ap.parse_args()
    if websocket is None:
        skip("python3-websocket not installed")
    if not (shutil.which("chromium") or shutil.which("chromium-browser")):
        skip("chromium not installed")
    failures = []
    server, base = start_server(args.pluvar)
    profile = tempfile.mkdtemp(prefix="pluvar-chromium-")
    browser = None
    try:
        browser, ws_url = start_browser(profile)
        dt = DevTools(ws_url)
        run(dt, base, args.screenshot, failures)
    finally:
        if browser:
            browser.terminate()
            try:
                browser.wait(10)
            except subprocess.TimeoutExpired:
                browser.kill()
        server.terminate()
        server.wait(15)
        shutil.rmtree(profile, ignore_errors=True)
    check(server.returncode == 0, "the server stopped cleanly on SIGTERM", failures)
    print(f"{len(failures)} failed" if failures else "all passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
