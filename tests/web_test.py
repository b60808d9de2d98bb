#!/usr/bin/python3
"""zarv.html in headless Chromium, opened from disk: its picture against the
desktop renderer's, its pacing, a click and a tap, a lost WebGL context, Esc.
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
LIT = 40  # a channel counts as lit above this, as in the desktop tests
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


def lit(p):
    return int((p.max(axis=2) > LIT).sum())


def dim_red(p):
    """The trail's fading light, where the solid quads are lit brightly."""
    return int(((p[:, :, 0] > 0) & (p[:, :, 0] <= LIT)).sum())


class WebTest:
    def __init__(self, html, reference):
        self.html, self.reference, self.failed, self.passed = html, reference, 0, 0
        self.browser = Browser(WIDTH, HEIGHT)
        self.browser.before_each_page(PAGE_HOOKS)

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
        # The same spin: 60 frames of 0.5 degrees.
        self.browser.run("for (let i = 0; i < 60; ++i) zarvStep(12);")
        page = self.browser.screen()
        with tempfile.NamedTemporaryFile(suffix=".ppm") as out:
            subprocess.run([self.reference, str(WIDTH), str(HEIGHT), "30", out.name], check=True)
            desktop = numpy.asarray(Image.open(out.name).convert("RGB"))
        both = (page.max(axis=2) > LIT) & (desktop.max(axis=2) > LIT)
        same = (page == desktop).all(axis=2).mean()
        apart = numpy.abs(page.astype(int) - desktop.astype(int))[both].mean()
        print(f"grid at rest: lit {lit(page)} in the page, {lit(desktop)} on the desktop; "
              f"{same:.2%} of pixels identical; {apart:.2f} levels apart where both are lit")
        self.check(abs(lit(page) / lit(desktop) - 1) < 0.02 and same > 0.99 and apart < 1.5,
                   "the grid at rest as the desktop draws it")

        for query in ("", "?fast"):
            self.open(query)
            black = sum(lit(s) < 10000 for s in self.screens(8, 1.0))
            self.check(black == 0, f"no black frame in a second at rest {query}: {black}")

        for pointer in ("mouse", "touch"):
            self.open()
            rest = lit(self.browser.screen())
            self.browser.press(WIDTH // 2, HEIGHT // 2, pointer)
            exploding = self.until(lambda s: lit(s) > 1.5 * rest and dim_red(s) > 20000)
            self.check(lit(exploding) > 1.5 * rest and dim_red(exploding) > 20000,
                       f"a {pointer} press explodes the grid with its trail: lit {lit(exploding)} "
                       f"(at rest {rest}), {dim_red(exploding)} dim red")

        self.browser.run("const lose = document.getElementById('canvas').getContext('webgl2')"
                         ".getExtension('WEBGL_lose_context');"
                         "lose.loseContext(); setTimeout(() => lose.restoreContext(), 1000);")
        self.check(self.until(lambda s: s.max() == 0, 0.8).max() == 0, "the picture goes with the context")
        back = self.until(lambda s: lit(s) > 1.5 * rest and dim_red(s) > 20000)
        self.check(lit(back) > 1.5 * rest and dim_red(back) > 20000,
                   f"the explosion and its trail come back with the context: lit {lit(back)}, "
                   f"{dim_red(back)} dim red")

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
