"""A small W3C WebDriver client for two engines, with screenshots as numpy
arrays: Chromium (chromedriver, headless, WebGL on SwiftShader) and WebKit
(WebKitGTK's WebKitWebDriver and MiniBrowser, on a private Xvfb, WebGL on
Mesa)."""
import base64
import io
import json
import os
import socket
import subprocess
import tempfile
import time
import urllib.error
import urllib.request

import numpy
from PIL import Image

# No connection out of the machine; WebGL in software.
FLAGS = ["--headless=new", "--no-sandbox", "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
         "--force-device-scale-factor=1", "--hide-scrollbars", "--no-first-run", "--disable-sync",
         "--disable-background-networking", "--disable-component-update", "--disable-quic"]


MINIBROWSER = "/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser"
XVFB_DESKTOP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "xvfb-desktop.sh")


class Browser:
    """One driver with one session in engine "chromium" or "webkit", its
    window width x height (WebKit's viewport is that less its title bar);
    close() ends them."""

    def __init__(self, width, height, engine="chromium"):
        self.engine, self.hooks, self.services = engine, [], []
        self.profile = tempfile.TemporaryDirectory(prefix=f"zarv-{engine}-")
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            self.port = s.getsockname()[1]
        env = dict(os.environ)
        if engine == "webkit":
            desktop = subprocess.Popen(["sh", XVFB_DESKTOP, f"{width + 200}x{height + 200}"],
                                       stdout=subprocess.PIPE, text=True)
            self.services.append(desktop)
            env["DISPLAY"] = ":" + desktop.stdout.readline().strip()
            # Its pages unsandboxed, as Chromium's here: run as root, in make
            # fresh-test in a chroot, on this test's own page alone.
            env["WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS"] = "1"
        driver = "chromedriver" if engine == "chromium" else "WebKitWebDriver"
        self.services.append(subprocess.Popen([driver, f"--port={self.port}"], env=env,
                                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        self.session = ""
        for _ in range(400):
            try:
                self.command("GET", "/status")
                break
            except (urllib.error.URLError, ConnectionError):
                time.sleep(0.05)
        if engine == "chromium":
            options = {"binary": "/usr/bin/chromium", "args": FLAGS + [f"--user-data-dir={self.profile.name}"]}
            capabilities = {"browserName": "chrome", "goog:chromeOptions": options}
        else:
            capabilities = {"browserName": "MiniBrowser",
                            "webkitgtk:browserOptions": {"binary": MINIBROWSER, "args": ["--automation"]}}
        self.session = "/session/" + self.command("POST", "/session", {"capabilities": {
            "alwaysMatch": capabilities}})["sessionId"]
        if engine == "chromium":
            self.emulate(width, height)
        else:
            self.command("POST", "/window/rect", {"width": width, "height": height})

    def emulate(self, width, height, scale=1, mobile=False):
        """A viewport of width x height CSS pixels at scale device pixels
        each; a phone's, with touch, if mobile. For the next page opened."""
        self.devtools("Emulation.setDeviceMetricsOverride",
                      {"width": width, "height": height, "deviceScaleFactor": scale, "mobile": mobile})
        self.devtools("Emulation.setTouchEmulationEnabled", {"enabled": mobile, "maxTouchPoints": 5})

    def command(self, method, path, body=None):
        request = urllib.request.Request(f"http://127.0.0.1:{self.port}{self.session}{path}", method=method,
                                         data=None if body is None else json.dumps(body).encode(),
                                         headers={"Content-Type": "application/json"})
        try:
            with urllib.request.urlopen(request, timeout=120) as response:
                return json.load(response)["value"]
        except urllib.error.HTTPError as error:
            raise RuntimeError(f"{method} {path}: {error.read().decode(errors='replace')}") from None

    def devtools(self, command, params):
        return self.command("POST", "/goog/cdp/execute", {"cmd": command, "params": params})

    def before_each_page(self, script):
        """script runs before each page's own: through DevTools in Chromium,
        elsewhere at the top of a copy of the page that open() writes."""
        if self.engine == "chromium":
            self.devtools("Page.addScriptToEvaluateOnNewDocument", {"source": script})
        else:
            self.hooks.append(script)

    def open(self, path):
        """path, with a query after it if it has one, from disk."""
        path, query = (path.split("?", 1) + [""])[:2]
        path = os.path.abspath(path)
        if self.hooks:
            copy = os.path.join(self.profile.name, os.path.basename(path))
            with open(path, encoding="utf-8") as page, open(copy, "w", encoding="utf-8") as out:
                scripts = "".join(f"<script>{hook}</script>" for hook in self.hooks)
                out.write(page.read().replace("<head>", "<head>" + scripts, 1))
            path = copy
        self.command("POST", "/url", {"url": "file://" + path + ("?" + query if query else "")})

    def run(self, script):
        return self.command("POST", "/execute/sync", {"script": script, "args": []})

    def screen(self):
        """What the browser shows, height x width x RGB."""
        png = base64.b64decode(self.command("GET", "/screenshot"))
        return numpy.asarray(Image.open(io.BytesIO(png)).convert("RGB"))

    def press(self, x, y, pointer="mouse"):
        """A press and release at (x, y) by the first mouse button or a finger."""
        self.act({"type": "pointer", "id": pointer, "parameters": {"pointerType": pointer},
                  "actions": [{"type": "pointerMove", "x": x, "y": y}, {"type": "pointerDown", "button": 0},
                              {"type": "pointerUp", "button": 0}]})

    def key(self, key):
        self.act({"type": "key", "id": "keyboard",
                  "actions": [{"type": "keyDown", "value": key}, {"type": "keyUp", "value": key}]})

    def act(self, source):
        self.command("POST", "/actions", {"actions": [source]})
        self.command("DELETE", "/actions")

    def close(self):
        try:
            self.command("DELETE", "")
        finally:
            for service in reversed(self.services):
                service.terminate()
                service.wait()
            self.profile.cleanup()
