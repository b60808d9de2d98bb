#!/usr/bin/python3
"""zarv.html, opened from disk, in Chromium (headless), WebKit (MiniBrowser)
and Firefox (both on Xvfb): its picture at rest and exploding against the
desktop renderer's; its pacing, across the wrap of its clock too; a click
and a tap; the trail in 8 bits; Esc; no errors in the console. Where the
engine allows: a lost WebGL context. With WebGL 2 turned off in the engine,
the page's words. In Chromium alone, which emulates devices: device scale 2
and a phone.
Usage: web_test.py ZARV_HTML WEB_REFERENCE [ENGINE...]"""
import os
import subprocess
import sys
import tempfile
import time

import numpy

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "support"))
from webdriver import Browser  # noqa: E402

WIDTH, HEIGHT = 800, 600
# The grid's side in CSS pixels: 50 units at 8 each, as in window pixels.
GRID_CSS = 400
# Frames at rest before the picture is compared and the grid clicked, and
# the frames of the explosion after the click that are compared.
AT_REST, EXPLODING = 60, (1, 40, 200)
# Run before the page's own script. ?clock: the page's clock and frames move
# only by zarvStep(ms); ?fast: frames offered at 250 Hz; ?eightbit: no
# float colour buffers. Drawn frames are counted by their colour clears.
PAGE_HOOKS = """(() => {
    const query = new URLSearchParams(location.search);
    if (query.has('eightbit')) {
        const get = WebGL2RenderingContext.prototype.getExtension;
        WebGL2RenderingContext.prototype.getExtension = function (name) {
            return /^EXT_color_buffer_(half_)?float$/.test(name) ? null : get.call(this, name);
        };
    }
    if (query.has('clock')) {
        // Resolves once the browser has shown what was drawn before: Firefox
        // can take a screenshot before that, all black.
        const frame = window.requestAnimationFrame.bind(window);
        window.zarvShown = () => new Promise(shown => frame(() => frame(shown)));
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


def desktop_frames(reference, frames, *explosion):
    """The desktop renderer's frames, height x width x RGB each:
    web_reference WIDTH HEIGHT frames OUT explosion..."""
    with tempfile.NamedTemporaryFile(suffix=".ppm") as out:
        subprocess.run([reference, str(WIDTH), str(HEIGHT), str(frames), out.name, *map(str, explosion)],
                       check=True)
        data = numpy.fromfile(out.name, numpy.uint8)
    header = len(f"P6\n{WIDTH} {HEIGHT}\n255\n")
    return [image[header:].reshape(HEIGHT, WIDTH, 3) for image in data.reshape(-1, header + WIDTH * HEIGHT * 3)]


class WebTest:
    def __init__(self, html, reference, engine):
        self.html, self.reference, self.engine, self.failed, self.passed = html, reference, engine, 0, 0
        self.constants = desktop_constants(reference)
        self.browser = Browser(WIDTH, HEIGHT, engine)
        self.browser.before_each_page(PAGE_HOOKS)

    def lit(self, p):
        return int((p.max(axis=2) > self.constants["LIT"]).sum())

    def dim_red(self, p):
        """The trail's fading light, where the solid quads are lit brightly."""
        return int(((p[:, :, 0] > 0) & (p[:, :, 0] <= self.constants["LIT"])).sum())

    def step(self, frames):
        """Under ?clock: the page's clock moved on by frames drawn frames, and
        the last shown; the frames drawn, counted."""
        return self.browser.run(f"const before = zarvFrames; for (let i = 0; i < {frames}; ++i) "
                                f"zarvStep({self.constants['FRAME_MS']});"
                                "return zarvShown().then(() => zarvFrames - before);")

    def canvas(self):
        """The canvas's size in device pixels."""
        return self.browser.run("const c = document.getElementById('canvas'); return [c.width, c.height]")

    def css_box(self):
        """Width and height of what the page shows lit, in CSS pixels; the screenshot."""
        shot = self.browser.screen()
        scale = shot.shape[1] / self.browser.run("return innerWidth")
        rows, columns = numpy.nonzero(shot.max(axis=2) > self.constants["LIT"])
        sides = (numpy.ptp(columns) + 1, numpy.ptp(rows) + 1) if rows.size else (0, 0)
        return tuple(round(side / scale) for side in sides), shot

    def compare(self, page, desktop, what):
        """The page's frame held to what another rasteriser gives: lit counts
        within 2 %, 99 % of pixels within 8 levels, colour sums within 5 %."""
        near = (numpy.abs(page.astype(int) - desktop.astype(int)) <= 8).all(axis=2).mean()
        light = page.sum(axis=(0, 1)) / numpy.maximum(desktop.sum(axis=(0, 1)), 1)
        self.check(abs(self.lit(page) / self.lit(desktop) - 1) < 0.02 and near >= 0.99
                   and abs(light[:2] - 1).max() < 0.05,
                   f"{what} as the desktop draws it: lit {self.lit(page)} (desktop {self.lit(desktop)}), "
                   f"{near:.2%} of pixels within 8 levels, red and green {light[0]:.3f} and {light[1]:.3f} "
                   f"of the desktop's")

    def check(self, condition, what):
        self.passed += bool(condition)
        self.failed += not condition
        print(f"{self.engine}:", "ok:" if condition else "FAIL:", what)

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

    def lose_context(self, rest):
        """The WebGL context lost mid-explosion and restored a second later."""
        self.browser.run("const lose = document.getElementById('canvas').getContext('webgl2')"
                         ".getExtension('WEBGL_lose_context');"
                         "lose.loseContext(); setTimeout(() => lose.restoreContext(), 1000);")
        self.check(self.until(lambda s: s.max() == 0, 0.8).max() == 0, "the picture goes with the context")
        back = self.until(lambda s: self.lit(s) > 1.5 * rest and self.dim_red(s) > 20000)
        self.check(self.lit(back) > 1.5 * rest and self.dim_red(back) > 20000,
                   f"the explosion and its trail come back with the context: lit {self.lit(back)}, "
                   f"{self.dim_red(back)} dim red")

    def message(self, browser=None):
        """What the page says, if anything."""
        return (browser or self.browser).run("const m = document.getElementById('message');"
                                             "return m.hidden ? '' : m.textContent")

    def without_webgl2(self):
        """In a browser of the same engine with WebGL 2 turned off."""
        browser = Browser(WIDTH, HEIGHT, self.engine, webgl2=False)
        try:
            browser.open(self.html)
            deadline = time.monotonic() + 5
            while not (message := self.message(browser)) and time.monotonic() < deadline:
                time.sleep(0.05)
        finally:
            browser.close()
        self.check("needs WebGL 2" in message, f"without WebGL 2 the page says: '{message}'")

    def devices(self):
        """Emulated devices, which only Chromium offers."""
        # The scene counted in CSS pixels: the grid, nearly face on, 400 wide
        # at device scale 2, drawn at twice the resolution; and on a phone at
        # scale 3, drawn at 2, wider than the screen and flattened in
        # portrait, as in a portrait window on the desktop.
        for width, height, scale, mobile in ((WIDTH, HEIGHT, 2, False), (390, 844, 3, True)):
            self.browser.emulate(width, height, scale, mobile)
            self.open("?clock")
            self.step(1)
            canvas = self.canvas()
            grid, shot = self.css_box()
            expected = (min(GRID_CSS, width), GRID_CSS // (height // width if height > width else 1))
            self.check(canvas == [width * 2, height * 2] and abs(numpy.subtract(grid, expected)).max() <= 2,
                       f"at {width} x {height}, scale {scale}: a {canvas[0]} x {canvas[1]} canvas, the grid "
                       f"{grid[0]} x {grid[1]} CSS pixels")
        # On the phone, the last of them: a tap explodes the grid.
        self.browser.press(width // 2, height // 2, "touch")
        self.step(20)
        self.check(self.lit(self.browser.screen()) > 1.5 * self.lit(shot), "a tap on the phone explodes the grid")
        # Only the scale changes, as for a window dragged to another monitor.
        self.browser.emulate(width, height, 1, mobile)
        self.step(1)
        canvas = self.canvas()
        self.check(canvas == [width, height], f"the canvas follows the phone's scale from 3 to 1: {canvas}")
        self.browser.emulate(WIDTH, HEIGHT)

    def run(self):
        self.open("?clock")
        shape = self.browser.run("const c = document.getElementById('canvas');"
                                 "return [c.width, c.height, innerWidth, innerHeight, document.title]")
        self.check(shape == [WIDTH, HEIGHT, WIDTH, HEIGHT, "Zarv 1.0"], f"the canvas fills the window: {shape}")
        self.step(AT_REST)
        page = self.browser.screen()
        desktop = desktop_frames(self.reference, AT_REST)[0]
        lit = self.constants["LIT"]
        both = (page.max(axis=2) > lit) & (desktop.max(axis=2) > lit)
        same = (page == desktop).all(axis=2).mean()
        apart = numpy.abs(page.astype(int) - desktop.astype(int))[both].mean()
        print(f"{self.engine}: grid at rest: lit {self.lit(page)} in the page, {self.lit(desktop)} on the "
              f"desktop; {same:.2%} of pixels identical; {apart:.2f} levels apart where both are lit")
        self.check(abs(self.lit(page) / self.lit(desktop) - 1) < 0.02 and same > 0.99 and apart < 1.5,
                   "the grid at rest as the desktop draws it")

        # The page seeds the explosion with its clock, which started at 0.
        seed = AT_REST * self.constants["FRAME_MS"]
        desktop = desktop_frames(self.reference, AT_REST, seed, *EXPLODING)
        self.browser.press(WIDTH // 2, HEIGHT // 2)
        for done, frames, desktop_frame in zip((0,) + EXPLODING, EXPLODING, desktop):
            self.step(frames - done)
            self.compare(self.browser.screen(), desktop_frame, f"the explosion {frames} frames on")

        # With 8-bit colour buffers only, the trail still fades to black.
        self.open("?clock&eightbit")
        self.step(AT_REST)
        self.browser.press(WIDTH // 2, HEIGHT // 2)
        self.step(EXPLODING[-1])
        page, dark = self.browser.screen(), desktop[-1].max(axis=2) == 0
        black = (page.max(axis=2) == 0)[dark].mean()
        self.check(black > 0.99, f"in 8 bits the trail fades to black: {black:.2%} of what the desktop "
                                 f"shows black after {EXPLODING[-1]} frames")

        # The clock wraps after 2^31 ms, as GLUT's, and frames go on.
        self.open("?clock")
        self.browser.run("zarvStep(2 ** 31 - 40)")
        drawn = self.step(10)
        self.check(drawn == 10, f"frames across the wrap of the page's clock: {drawn} of 10")

        if self.engine == "chromium":
            self.devices()

        for query in ("", "?fast"):
            self.open(query)
            # Counted from the first frame shown: a screenshot taken before
            # the browser shows the page's first frame is black, however
            # soon that frame was drawn.
            self.until(lambda s: self.lit(s) >= 10000, 2.0)
            black = sum(self.lit(s) < 10000 for s in self.screens(8, 1.0))
            self.check(black == 0, f"no black frame in a second at rest {query}: {black}")

        # WebKitGTK has no touch events: its driver's taps arrive as a mouse.
        for pointer in ("mouse",) if self.engine == "webkit" else ("mouse", "touch"):
            self.open()
            rest = self.lit(self.browser.screen())
            self.browser.press(WIDTH // 2, HEIGHT // 2, pointer)
            exploding = self.until(lambda s: self.lit(s) > 1.5 * rest and self.dim_red(s) > 20000)
            self.check(self.lit(exploding) > 1.5 * rest and self.dim_red(exploding) > 20000,
                       f"a {pointer} press explodes the grid with its trail: lit {self.lit(exploding)} "
                       f"(at rest {rest}), {self.dim_red(exploding)} dim red")

        # WebKit keeps showing the last frame of a lost context.
        if self.engine != "webkit":
            self.lose_context(rest)

        self.open()
        spinning = self.screens(2, 0.3)
        self.browser.key("\ue00c")  # Esc
        time.sleep(0.2)
        ended = self.screens(2, 0.5)
        message = self.message()
        self.check(not numpy.array_equal(spinning[0], spinning[-1]) and numpy.array_equal(ended[0], ended[-1])
                   and "ended" in message, f"Esc stops the spinning grid and the page says: '{message}'")
        errors = self.browser.errors()
        if errors is not None:
            self.check(errors == [], f"no errors in the console: {len(errors)}" + (f", the first: {errors[0]}"
                                                                                   if errors else ""))
        self.without_webgl2()
        print(f"{self.engine}: {self.passed} passed, {self.failed} failed")
        return 1 if self.failed else 0


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    failed = 0
    for engine in sys.argv[3:] or ("chromium", "webkit", "firefox"):
        test = WebTest(sys.argv[1], sys.argv[2], engine)
        try:
            failed += test.run()
        finally:
            test.browser.close()
    sys.exit(failed)
