#!/usr/bin/python3
"""Loads a report page in Debian's headless Chromium over the DevTools protocol
and checks what a person opening it would get: no script error and no
console error, no request for anything but the file itself, every chart
drawn, the texts expected shown as text, and (with --tip) an outlier's
tooltip that shows a card's move name as text.

Usage: report_page_check.py PAGE --charts N [--text TEXT]... [--tip TEXT]
Exits 1 with one line per fault. Needs chromium and python3-websocket
(tools/setup.sh suite)."""

import argparse
import json
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.request

import websocket

LIMIT = 120  # seconds for any one wait: a busy 2-core machine starts Chromium slowly


class Browser:
    def __init__(self, profile):
        self.process = subprocess.Popen(
            ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
             "--disable-component-update", "--disable-sync", "--no-first-run", "--user-data-dir=" + profile,
             # The browser's own background calls resolve no name, so nothing leaves the machine.
             "--host-resolver-rules=MAP * ~NOTFOUND", "--remote-debugging-port=0", "--window-size=1280,900",
             "about:blank"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        port_file = pathlib.Path(profile, "DevToolsActivePort")
        deadline = time.monotonic() + LIMIT
        while not (port_file.exists() and port_file.read_text().strip()):
            if time.monotonic() > deadline or self.process.poll() is not None:
                raise RuntimeError("Chromium did not start")
            time.sleep(0.1)
        port = port_file.read_text().split()[0]
        with urllib.request.urlopen("http://127.0.0.1:%s/json/list" % port, timeout=LIMIT) as answer:
            page = next(t for t in json.load(answer) if t["type"] == "page")
        self.socket = websocket.create_connection(page["webSocketDebuggerUrl"], timeout=LIMIT, suppress_origin=True)
        self.next_id = 0
        self.events = []

    def call(self, method, **params):
        self.next_id += 1
        self.socket.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while True:
            message = json.loads(self.socket.recv())
            if message.get("id") == self.next_id:
                if "error" in message:
                    raise RuntimeError("%s: %s" % (method, message["error"]))
                return message.get("result", {})
            self.events.append(message)

    def wait_for(self, method):
        deadline = time.monotonic() + LIMIT
        while not any(e.get("method") == method for e in self.events):
            if time.monotonic() > deadline:
                raise RuntimeError("no " + method)
            self.events.append(json.loads(self.socket.recv()))

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", expression=expression, returnByValue=True)
        if "exceptionDetails" in result:
            raise RuntimeError("evaluate: %s" % result["exceptionDetails"])
        return result["result"].get("value")

    def close(self):
        self.process.kill()
        self.process.wait()


PAGE_STATE = """JSON.stringify((() => {
  const charts = [...document.querySelectorAll(".chart")];
  return {
    charts: charts.length,
    drawn: charts.filter(c => c.dataset.drawn === "yes" && c.querySelector("canvas")).length,
    text: document.body.innerText,
    scripts: document.scripts.length,
    injected: window.pwned !== undefined || document.querySelector("img, iframe") !== null,
  };
})())"""

# Shows the tooltip of the first outlier of the first chart that has one.
SHOW_OUTLIER_TIP = """(() => {
  for (const box of document.querySelectorAll(".chart")) {
    const chart = echarts.getInstanceByDom(box);
    const index = chart.getOption().series.findIndex(s => s.name === "外れ値" && s.data.length > 0);
    if (index < 0) continue;
    chart.dispatchAction({ type: "showTip", seriesIndex: index, dataIndex: 0 });
    box.dataset.tipShown = "yes";
    return true;
  }
  return false;
})()"""

TIP_TEXT = """(() => { const box = document.querySelector("[data-tip-shown]"); return box ? box.innerText : ""; })()"""


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("page")
    parser.add_argument("--charts", type=int, required=True)
    parser.add_argument("--text", action="append", default=[])
    parser.add_argument("--tip")
    args = parser.parse_args()
    url = pathlib.Path(args.page).resolve().as_uri()

    faults = []
    profile = tempfile.mkdtemp(prefix="velmar-chromium-")
    browser = None
    try:
        browser = Browser(profile)
        for domain in ("Page", "Runtime", "Log", "Network"):
            browser.call(domain + ".enable")
        browser.call("Page.navigate", url=url)
        browser.wait_for("Page.loadEventFired")
        state = json.loads(browser.evaluate(PAGE_STATE))
        if state["charts"] != args.charts:
            faults.append("%d charts, not %d" % (state["charts"], args.charts))
        if state["drawn"] != state["charts"]:
            faults.append("%d of %d charts drawn" % (state["drawn"], state["charts"]))
        for text in args.text:
            if text not in state["text"]:
                faults.append("the page does not show %r" % text)
        if args.tip is not None:
            if not browser.evaluate(SHOW_OUTLIER_TIP):
                faults.append("no outlier to show a tooltip of")
            deadline = time.monotonic() + LIMIT
            while args.tip not in browser.evaluate(TIP_TEXT) and time.monotonic() < deadline:
                time.sleep(0.2)
            if args.tip not in browser.evaluate(TIP_TEXT):
                faults.append("the outlier's tooltip does not show %r: %r" % (args.tip, browser.evaluate(TIP_TEXT)))
        after = json.loads(browser.evaluate(PAGE_STATE))
        if after["injected"] or after["scripts"] != state["scripts"]:
            faults.append("card text made elements or ran as script")
        # Whatever was logged meanwhile: requests, errors, console messages.
        browser.call("Runtime.evaluate", expression="0")
        for event in browser.events:
            method, params = event.get("method"), event.get("params", {})
            if method == "Network.requestWillBeSent" and not params["request"]["url"].startswith("file://"):
                faults.append("request outside the file: " + params["request"]["url"])
            elif method == "Runtime.exceptionThrown":
                faults.append("script error: %s" % params["exceptionDetails"])
            elif method == "Runtime.consoleAPICalled":
                faults.append("console %s: %s" % (params["type"], params["args"]))
            elif method == "Log.entryAdded" and params["entry"]["level"] in ("error", "warning"):
                faults.append("browser log %s: %s" % (params["entry"]["level"], params["entry"]["text"]))
    except (RuntimeError, OSError, websocket.WebSocketException) as error:
        faults.append(str(error))
    finally:
        if browser:
            browser.close()
        shutil.rmtree(profile, ignore_errors=True)
    for fault in faults:
        print("FAIL: %s: %s" % (os.path.basename(args.page), fault))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
