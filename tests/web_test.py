#!/usr/bin/python3
"""zarv.html in headless Chromium, opened from disk: its picture at rest and
exploding against the desktop renderer's, its pacing, a click and a tap, a
lost WebGL context, Esc.
Usage: web_test.py ZARV_HTML WEB_REFERENCE"""
import os
import subprocess
import sys
import tempfile
import time

import numpy
from PIL import Image

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "support"))
from webdriver import Browser  # noqa: E402

WIDTH, HEIGHT = 800, 600
# Frames at rest before the picture is compared and the grid clicked, and
# frames of the explosion after the click.
AT_REST, EXPLODING = 60, 40
# Run before the page's own script. ?clock: the page's clock and frames move
# only by zarvStep(ms); ?fast: frames offered at 250 Hz. Drawn frames are
# counted by their colour clears.
PAGE_HOOKS = """(() => {
    const query = new URLSearchParams(location.search);
    if (query.has('clock')) {
        let now = 0, callbacks = [];
        performance.now = () => now;
        window.requestAnimationFrame = cb => callbacks.push(cb);
        window.zarvStep = ms => { now += ms; const due = callbacks; callbacks = []; due.forEach(cb => cb(now)); };
    }
    if (query.has('fast')) window.requestAnimationFrame = cb => setTimeout(() => cb(performance.now()), 4);
    window.zarvFrames = 0;
    const clear = WebGL2RenderingContext.prototype.clear;
    WebGL2RenderingContext.prototype.clear = function (mask) {
        if (mask & this.COLOR_BUFFER_BIT) ++window.zarvFrames;
        return clear.call(this, mask);
    };
})();"""


def desktop_constants(reference):
    """What the page test shares with the desktop's tests and program: LIT,
    the level above which a channel counts as lit, and FRAME_MS, the shortest
    time between drawn frames."""
    out = subprocess.run([reference, "--constants"], capture_output=True, text=True, check=True).stdout
    return {name: int(value) for name, value in (line.split() for line in out.splitlines())}


def desktop_frame(reference, *args, env=None):
    """The desktop renderer's frame: web_reference WIDTH HEIGHT args."""
    with tempfile.NamedTemporaryFile(suffix=".ppm") as out:
        subprocess.run([reference, str(WIDTH), str(HEIGHT), str(args[0]), out.name, *map(str, args[1:])],
                       check=True, env=None if env is None else {**os.environ, **env})
        return numpy.asarray(Image.open(out.name).convert("RGB"))


class WebTest:
    def __init__(self, html, reference):
        self.html, self.reference, self.failed, self.passed = html, reference, 0, 0
        self.constants = desktop_constants(reference)
        self.browser = Browser(WIDTH, HEIGHT)
        self.browser.before_each_page(PAGE_HOOKS)

    def lit(self, p):
        return int((p.max(axis=2) > self.constants["LIT"]).sum())

    def dim_red(self, p):
        """The trail's fading light, where the solid quads are lit brightly."""
        return int(((p[:, :, 0] > 0) & (p[:, :, 0] <= self.constants["LIT"])).sum())

    def step(self, frames):
        """Under ?clock: the page's clock moved on by frames drawn frames."""
        self.browser.run(f"for (let i = 0; i < {frames}; ++i) zarvStep({self.constants['FRAME_MS']});")

    def check(self, condition, what):
        self.passed += bool(condition)
        self.failed += not condition
        print("ok:" if condition else "FAIL:", what)

    def open(self, query=""):
        self.browser.open(self.html + query)
        deadline = time.monotonic() + 10
        while not self.browser.run("return Module.calledRun === true") and time.monotonic() < deadline:
            time.sleep(0.05)

    def screens(self, least, seconds=0.0):
        shots, end = [], time.monotonic() + seconds
        while len(shots) < least or time.monotonic() < end:
            shots.append(self.browser.screen())
        return shots

    def until(self, ready, seconds=5.0):
        """Screens until one is ready, for at most seconds; the last one."""
        end = time.monotonic() + seconds
        while not ready(shot := self.browser.screen()) and time.monotonic() < end:
            pass
        return shot

    def run(self):
        self.open("?clock")
        shape = self.browser.run("const c = document.getElementById('canvas');"
                                 "return [c.width, c.height, innerWidth, innerHeight, document.title]")
        self.check(shape == [WIDTH, HEIGHT, WIDTH, HEIGHT, "Zarv 1.0"], f"the canvas fills the window: {shape}")
        self.step(AT_REST)
        page = self.browser.screen()
        desktop = desktop_frame(self.reference, AT_REST)
        lit = self.constants["LIT"]
        both = (page.max(axis=2) > lit) & (desktop.max(axis=2) > lit)
        same = (page == desktop).all(axis=2).mean()
        apart = numpy.abs(page.astype(int) - desktop.astype(int))[both].mean()
        print(f"grid at rest: lit {self.lit(page)} in the page, {self.lit(desktop)} on the desktop; "
              f"{same:.2%} of pixels identical; {apart:.2f} levels apart where both are lit")
        self.check(abs(self.lit(page) / self.lit(desktop) - 1) < 0.02 and same > 0.99 and apart < 1.5,
                   "the grid at rest as the desktop draws it")

        # The page seeds the explosion with its clock, which started at 0.
        self.browser.press(WIDTH // 2, HEIGHT // 2)
        self.step(EXPLODING)
        page = self.browser.screen()
        # The page's trail works on the stored values, as the desktop's kept
        # buffer does on a window that does not store sRGB.
        desktop = desktop_frame(self.reference, AT_REST, AT_REST * self.constants["FRAME_MS"], EXPLODING,
                                "framebuffer", env={"MESA_EXTENSION_OVERRIDE": "-GL_EXT_framebuffer_sRGB"})
        near = (numpy.abs(page.astype(int) - desktop.astype(int)) <= 8).all(axis=2).mean()
        light = page.sum(axis=(0, 1)) / numpy.maximum(desktop.sum(axis=(0, 1)), 1)
        print(f"exploding, {EXPLODING} frames on: lit {self.lit(page)} in the page, {self.lit(desktop)} on the "
              f"desktop; {near:.2%} of pixels within 8 levels; red and green sums {light[0]:.3f} and "
              f"{light[1]:.3f} of the desktop's")
        self.check(abs(self.lit(page) / self.lit(desktop) - 1) < 0.02 and near >= 0.99
                   and abs(light[:2] - 1).max() < 0.05, "the explosion as the desktop draws it")

        for query in ("", "?fast"):
            self.open(query)
            black = sum(self.lit(s) < 10000 for s in self.screens(8, 1.0))
            self.check(black == 0, f"no black frame in a second at rest {query}: {black}")

        for pointer in ("mouse", "touch"):
            self.open()
            rest = self.lit(self.browser.screen())
            self.browser.press(WIDTH // 2, HEIGHT // 2, pointer)
            exploding = self.until(lambda s: self.lit(s) > 1.5 * rest and self.dim_red(s) > 20000)
            self.check(self.lit(exploding) > 1.5 * rest and self.dim_red(exploding) > 20000,
                       f"a {pointer} press explodes the grid with its trail: lit {self.lit(exploding)} "
                       f"(at rest {rest}), {self.dim_red(exploding)} dim red")

        self.browser.run("const lose = document.getElementById('canvas').getContext('webgl2')"
                         ".getExtension('WEBGL_lose_context');"
                         "lose.loseContext(); setTimeout(() => lose.restoreContext(), 1000);")
        self.check(self.until(lambda s: s.max() == 0, 0.8).max() == 0, "the picture goes with the context")
        back = self.until(lambda s: self.lit(s) > 1.5 * rest and self.dim_red(s) > 20000)
        self.check(self.lit(back) > 1.5 * rest and self.dim_red(back) > 20000,
                   f"the explosion and its trail come back with the context: lit {self.lit(back)}, "
                   f"{self.dim_red(back)} dim red")

        self.open()
        spinning = self.screens(2, 0.3)
        self.browser.key("\ue00c")  # Esc
        time.sleep(0.2)
        ended = self.screens(2, 0.5)
        message = self.browser.run("const m = document.getElementById('message');"
                                   "return m.hidden ? '' : m.textContent")
        self.check(not numpy.array_equal(spinning[0], spinning[-1]) and numpy.array_equal(ended[0], ended[-1])
                   and "ended" in message, f"Esc stops the spinning grid and the page says: '{message}'")
        print(f"{self.passed} passed, {self.failed} failed")
        return 1 if self.failed else 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    test = WebTest(sys.argv[1], sys.argv[2])
    try:
        sys.exit(test.run())
    finally:
        test.browser.close()
