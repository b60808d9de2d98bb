"""A small WebDriver client for three engines, with screenshots as numpy
arrays: Chromium (chromedriver, headless, WebGL on SwiftShader), WebKit
(WebKitGTK's WebKitWebDriver and MiniBrowser) and Firefox (its own Marionette
protocol, as Debian has no geckodriver); the last two on a private Xvfb,
WebGL on Mesa."""
import base64
import glob
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


# Firefox's preferences besides its driver's port: nothing fetched from
# outside (a proxy that is not there); the page's console on its stdout, and
# not the complaint of Firefox's own experiments that they cannot be fetched.
FIREFOX_PREFS = {"network.proxy.type": 1, "network.proxy.http": "127.0.0.1", "network.proxy.http_port": 9,
                 "network.proxy.ssl": "127.0.0.1", "network.proxy.ssl_port": 9,
                 "network.captive-portal-service.enabled": False, "app.update.disabledForTesting": True,
                 "datareporting.policy.dataSubmissionEnabled": False, "browser.shell.checkDefaultBrowser": False,
                 "browser.startup.page": 0, "browser.startup.homepage_override.mstone": "ignore",
                 "messaging-system.log": "off",
                 "devtools.console.stdout.content": True}
# The W3C WebDriver commands this client sends, as Marionette names them.
MARIONETTE = {("POST", "/session"): "NewSession", ("DELETE", ""): "DeleteSession", ("POST", "/url"): "Navigate",
              ("POST", "/execute/sync"): "ExecuteScript", ("GET", "/screenshot"): "TakeScreenshot",
              ("POST", "/actions"): "PerformActions", ("DELETE", "/actions"): "ReleaseActions",
              ("POST", "/window/rect"): "SetWindowRect", ("GET", "/window/rect"): "GetWindowRect"}
MINIBROWSER = "/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser"
XVFB_DESKTOP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "xvfb-desktop.sh")


class Browser:
    """One driver with one session in an engine, its pages width x height CSS
    pixels, WebGL 2 turned off in the engine unless webgl2; close() ends
    them. Each engine's class says how it starts and where it differs."""

    def __init__(self, width, height, webgl2):
        self.hooks, self.services, self.desktop, self.session, self.serial = [], [], None, "", 0
        self.profile = tempfile.TemporaryDirectory(prefix=f"zarv-{self.engine}-")
        self.console = os.path.join(self.profile.name, "console.txt")
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            self.port = s.getsockname()[1]
        self.start(dict(os.environ), webgl2)
        for _ in range(400):
            try:
                self.connect()
                break
            except (urllib.error.URLError, ConnectionError):
                time.sleep(0.05)
        self.session = "/session/" + self.command("POST", "/session", {"capabilities": {
            "alwaysMatch": self.capabilities(webgl2)}})["sessionId"]
        self.viewport(width, height)

    def start(self, env, webgl2):
        """The driver's process, and the engine's where it is not the driver's."""
        raise NotImplementedError

    def connect(self):
        self.command("GET", "/status")

    def capabilities(self, webgl2):
        return {}

    def on_desktop(self, env):
        """env pointed at a private Xvfb with room for a window of full HD
        and its frame."""
        self.desktop = subprocess.Popen(["sh", XVFB_DESKTOP, "2120x1280"], stdout=subprocess.PIPE, text=True)
        self.services.append(self.desktop)
        env["DISPLAY"] = ":" + self.desktop.stdout.readline().strip()
        return env

    def resize(self, width, height):
        """The window width x height, as near as the window manager allows;
        its page's size then. WebKit resizes the page after the command has
        returned, so wait for that unless the window kept its size."""
        before = self.run("return [innerWidth, innerHeight]")
        size = [self.command("GET", "/window/rect")[k] for k in ("width", "height")]
        if size == [self.command("POST", "/window/rect", {"width": width, "height": height})[k]
                    for k in ("width", "height")]:
            return before
        deadline = time.monotonic() + 2
        while (page := self.run("return [innerWidth, innerHeight]")) == before and time.monotonic() < deadline:
            time.sleep(0.02)
        return page

    def viewport(self, width, height, scale=1, mobile=False, exact=True):
        """Pages of width x height CSS pixels: the window resized to fit, as
        near as the window manager allows, and exactly, if exact, to the
        title bar's and toolbars' size too. Only Chromium emulates scale, or
        a phone's touch if mobile."""
        if (page := self.resize(width, height)) != [width, height] and exact:
            self.resize(2 * width - page[0], 2 * height - page[1])

    def command(self, method, path, body=None):
        request = urllib.request.Request(f"http://127.0.0.1:{self.port}{self.session}{path}", method=method,
                                         data=None if body is None else json.dumps(body).encode(),
                                         headers={"Content-Type": "application/json"})
        try:
            with urllib.request.urlopen(request, timeout=120) as response:
                return json.load(response)["value"]
        except urllib.error.HTTPError as error:
            raise RuntimeError(f"{method} {path}: {error.read().decode(errors='replace')}") from None

    def errors(self):
        """The page's errors in the console so far, where the engine reports
        them to its driver or on its output; None where it does not."""
        return None

    def heap(self):
        """The page's JavaScript heap in bytes after a garbage collection,
        where the driver reports it; None elsewhere."""
        return None

    def resident(self):
        """The resident memory of all the engine's processes, in KiB (not
        its X server's)."""
        children = {}
        for stat in glob.glob("/proc/[0-9]*/stat"):
            try:
                with open(stat, encoding="utf-8") as f:
                    fields = f.read().rsplit(")", 1)[1].split()
            except OSError:
                continue
            children.setdefault(int(fields[1]), []).append(int(stat.split("/")[2]))
        pids, total = [service.pid for service in self.services if service is not self.desktop], 0
        while pids:
            pid = pids.pop()
            pids += children.get(pid, [])
            try:
                with open(f"/proc/{pid}/status", encoding="utf-8") as status:
                    total += sum(int(line.split()[1]) for line in status if line.startswith("VmRSS:"))
            except OSError:
                pass
        return total

    def before_each_page(self, script):
        """script runs before each page's own, at the top of a copy of the
        page that open() writes."""
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

    def run(self, script, *args):
        """script's result, args its arguments[0], [1] and so on."""
        return self.command("POST", "/execute/sync", {"script": script, "args": list(args)})

    def screen(self):
        """What the browser shows, height x width x RGB."""
        png = base64.b64decode(self.command("GET", "/screenshot"))
        return numpy.asarray(Image.open(io.BytesIO(png)).convert("RGB"))

    def press(self, x, y, pointer="mouse", button=0):
        """A press and release at (x, y) by a mouse button or a finger."""
        self.act({"type": "pointer", "id": pointer, "parameters": {"pointerType": pointer},
                  "actions": [{"type": "pointerMove", "x": x, "y": y}, {"type": "pointerDown", "button": button},
                              {"type": "pointerUp", "button": button}]})

    def wheel(self, x, y, steps):
        """The mouse wheel turned by steps at (x, y), down if positive."""
        self.act({"type": "wheel", "id": "wheel",
                  "actions": [{"type": "scroll", "x": x, "y": y, "deltaX": 0, "deltaY": 100 * steps}]})

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


class Chromium(Browser):
    """Headless Chromium through chromedriver, which emulates devices and
    passes the console on. Scripts and presses go in through DevTools:
    chromedriver's own leave about 100 bytes each in the page's heap for
    good, more than the page's own in a storm."""
    engine = "chromium"

    def start(self, env, webgl2):
        self.services.append(subprocess.Popen(["chromedriver", f"--port={self.port}"], env=env,
                                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))

    def capabilities(self, webgl2):
        flags = FLAGS + [f"--user-data-dir={self.profile.name}"] + ([] if webgl2 else ["--disable-webgl2"])
        return {"browserName": "chrome", "goog:chromeOptions": {"binary": "/usr/bin/chromium", "args": flags},
                "goog:loggingPrefs": {"browser": "SEVERE"}}

    def viewport(self, width, height, scale=1, mobile=False, exact=True):
        self.devtools("Emulation.setDeviceMetricsOverride",
                      {"width": width, "height": height, "deviceScaleFactor": scale, "mobile": mobile})
        self.devtools("Emulation.setTouchEmulationEnabled", {"enabled": mobile, "maxTouchPoints": 5})

    def run(self, script, *args):
        reply = self.devtools("Runtime.evaluate", {
            "expression": f"(function () {{ {script} }}).apply(null, {json.dumps(list(args))})",
            "returnByValue": True, "awaitPromise": True})
        if "exceptionDetails" in reply:
            raise RuntimeError(f"{script}: {reply['exceptionDetails']['exception']['description']}")
        return reply["result"].get("value")

    def press(self, x, y, pointer="mouse", button=0):
        if pointer == "touch":
            for kind, points in (("touchStart", [{"x": x, "y": y}]), ("touchEnd", [])):
                self.devtools("Input.dispatchTouchEvent", {"type": kind, "touchPoints": points})
            return
        name = ("left", "middle", "right")[button]
        self.devtools("Input.dispatchMouseEvent", {"type": "mouseMoved", "x": x, "y": y})
        for kind, buttons in (("mousePressed", 1 << (0, 2, 1)[button]), ("mouseReleased", 0)):
            self.devtools("Input.dispatchMouseEvent", {"type": kind, "x": x, "y": y, "button": name,
                                                       "buttons": buttons, "clickCount": 1})

    def wheel(self, x, y, steps):
        self.devtools("Input.dispatchMouseEvent", {"type": "mouseWheel", "x": x, "y": y, "deltaX": 0,
                                                   "deltaY": 100 * steps})

    def errors(self):
        return [entry["message"] for entry in self.command("POST", "/se/log", {"type": "browser"})]

    def heap(self):
        self.devtools("HeapProfiler.collectGarbage", {})
        return self.devtools("Runtime.getHeapUsage", {})["usedSize"]

    def devtools(self, command, params):
        return self.command("POST", "/goog/cdp/execute", {"cmd": command, "params": params})

    def before_each_page(self, script):
        self.devtools("Page.addScriptToEvaluateOnNewDocument", {"source": script})


class WebKit(Browser):
    """WebKitGTK's MiniBrowser through WebKitWebDriver, on a private Xvfb;
    its console does not reach the driver."""
    engine = "webkit"

    def start(self, env, webgl2):
        # WebKit's pages unsandboxed, as Chromium's here: run as root, in make
        # fresh-test in a chroot, on this test's own page alone.
        env = dict(self.on_desktop(env), WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS="1")
        self.services.append(subprocess.Popen(["WebKitWebDriver", f"--port={self.port}"], env=env,
                                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))

    def capabilities(self, webgl2):
        # MiniBrowser turns WebGL off only as a whole.
        args = ["--automation"] + ([] if webgl2 else ["--enable-webgl=false"])
        return {"browserName": "MiniBrowser", "webkitgtk:browserOptions": {"binary": MINIBROWSER, "args": args}}


class Firefox(Browser):
    """Firefox ESR through its own Marionette protocol, as Debian has no
    geckodriver, on a private Xvfb; its console goes to its output."""
    engine = "firefox"

    def start(self, env, webgl2):
        prefs = dict(FIREFOX_PREFS, **{"marionette.port": self.port, "webgl.enable-webgl2": webgl2})
        with open(os.path.join(self.profile.name, "user.js"), "w", encoding="utf-8") as out:
            out.writelines(f"user_pref({json.dumps(k)}, {json.dumps(v)});\n" for k, v in prefs.items())
        with open(self.console, "w", encoding="utf-8") as console:
            self.services.append(subprocess.Popen(
                ["firefox-esr", "--marionette", "--no-remote", "--profile", self.profile.name],
                env=self.on_desktop(env), stdout=console, stderr=subprocess.STDOUT))

    def connect(self):
        self.marionette = socket.create_connection(("127.0.0.1", self.port))
        self.replies = self.marionette.makefile("rb")
        self.reply()  # its greeting

    def command(self, method, path, body=None):
        self.serial += 1
        message = json.dumps([0, self.serial, "WebDriver:" + MARIONETTE[method, path], body or {}]).encode()
        self.marionette.sendall(b"%d:%s" % (len(message), message))
        _, _, error, result = self.reply()
        if error:
            raise RuntimeError(f"{method} {path}: {error}")
        return result.get("value", result)

    def reply(self):
        """One Marionette message: its length, a colon, then JSON."""
        length = b""
        while (c := self.replies.read(1)) != b":":
            if not c:
                raise ConnectionError("Marionette closed")
            length += c
        return json.loads(self.replies.read(int(length)))

    def errors(self):
        with open(self.console, encoding="utf-8", errors="replace") as console:
            # Scripts' errors from pages on disk, not from Firefox's own.
            return [line.strip() for line in console
                    if line.startswith(("console.error", "JavaScript error: file:"))]


def start(engine, width, height, webgl2=True):
    """A Browser of engine "chromium", "webkit" or "firefox"."""
    return {"chromium": Chromium, "webkit": WebKit, "firefox": Firefox}[engine](width, height, webgl2)
