"""A small WebDriver client: chromedriver and headless Chromium, WebGL on
SwiftShader, with screenshots as numpy arrays."""
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


class Browser:
    """One chromedriver with one session, its viewport width x height; close() ends both."""

    def __init__(self, width, height):
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            self.port = s.getsockname()[1]
        self.profile = tempfile.TemporaryDirectory(prefix="zarv-chromium-")
        self.driver = subprocess.Popen(["chromedriver", f"--port={self.port}"], stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL)
        self.session = ""
        for _ in range(400):
            try:
                self.command("GET", "/status")
                break
            except (urllib.error.URLError, ConnectionError):
                time.sleep(0.05)
        options = {"binary": "/usr/bin/chromium", "args": FLAGS + [f"--user-data-dir={self.profile.name}"]}
        self.session = "/session/" + self.command("POST", "/session", {"capabilities": {"alwaysMatch": {
            "browserName": "chrome", "goog:chromeOptions": options}}})["sessionId"]
        self.emulate(width, height)

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
        self.devtools("Page.addScriptToEvaluateOnNewDocument", {"source": script})

    def open(self, path):
        self.command("POST", "/url", {"url": "file://" + os.path.abspath(path)})

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
            self.driver.terminate()
            self.driver.wait()
            self.profile.cleanup()
