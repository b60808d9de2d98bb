#!/usr/bin/python3
"""zarv.html, opened from disk, in Chromium (headless), WebKit (MiniBrowser)
and Firefox (both on Xvfb): its picture at rest and exploding against the
desktop renderer's; its pacing, across the wrap of its clock too; a click
and a tap; the trail in 8 bits; Esc; no errors in the console. Where the
engine allows: a lost WebGL context. With WebGL 2 turned off in the engine,
the page's words. In Chromium alone, which emulates devices: device scale 2
and a phone. Then a storm of input, resizes and lost contexts, for
ZARV_STORM_SECONDS (20); with --storm, the storm alone.
Usage: web_test.py [--storm] ZARV_HTML WEB_REFERENCE [ENGINE...]"""
import os
import random
import subprocess
import sys
import tempfile
import time

import numpy

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "support"))
import webdriver  # noqa: E402

WIDTH, HEIGHT = 800, 600
# The same script each time where the driver keeps every script it was
# given (WebKit's, Firefox's); Chromium's go in through DevTools, each anew.
LOSE = "zarvLose(arguments[0], arguments[1])"
# WebGL 2's formats: the scene's texture 8-bit, the trail's 16-bit floats where it can, else 8-bit.
RGBA8, RGBA16F = "0x8058", "0x881a"
# How long the page's input storm lasts; from ten minutes on, how much its JS heap may grow after warm-up:
# 144 KiB in ten minutes, 560 with GL name tables that grew at each restore, which 20 s cannot tell apart.
STORM_SECONDS = int(os.environ.get("ZARV_STORM_SECONDS", 20))
HEAP_KIB, HEAP_SECONDS = 320, 600
# Frames at rest before the picture is compared and the grid clicked, and
# the frames of the explosion after the click that are compared.
AT_REST, EXPLODING = 60, (1, 40, 200)
# Run before the page's own script. ?clock: the page's clock and frames move
# only by zarvStep(ms); ?fast: frames offered at 250 Hz; ?eightbit: no
# float colour buffers. Drawn frames are counted by their colour clears;
# zarvLose(inFrame, ms) loses the page's context, at once or in the next
# animation frame just before the page's callback, and restores it ms
# later. What the page's policy refused and the wake locks it asked for and
# was granted are kept.
PAGE_HOOKS = """(() => {
    window.zarvRefused = [];
    document.addEventListener('securitypolicyviolation', e => zarvRefused.push(e.violatedDirective));
    window.zarvWakeLocks = {asked: 0, granted: []};
    // On the prototype: WebKit can drop what is set on navigator.wakeLock.
    if (window.WakeLock) {
        const request = WakeLock.prototype.request;
        WakeLock.prototype.request = function (type) {
            ++zarvWakeLocks.asked;
            return request.call(this, type).then(lock => (zarvWakeLocks.granted.push(lock), lock));
        };
    }
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
    let loseInFrame = null;
    window.zarvLose = (inFrame, ms) => {
        const lose = () => {
            const gl = document.getElementById('canvas').getContext('webgl2');
            if (gl.isContextLost()) return;
            const extension = gl.getExtension('WEBGL_lose_context');
            extension.loseContext();
            setTimeout(() => extension.restoreContext(), ms);
        };
        if (inFrame) loseInFrame = lose; else lose();
    };
    const frame = window.requestAnimationFrame;
    window.requestAnimationFrame = cb => frame.call(window, time => {
        const lose = loseInFrame;
        loseInFrame = null;
        if (lose) lose();
        cb(time);
    });
    // The internal formats of the first textures the page allocates, in
    // order; not of all, as a storm would have the list grow the heap.
    window.zarvFormats = [];
    const texImage2D = WebGL2RenderingContext.prototype.texImage2D;
    WebGL2RenderingContext.prototype.texImage2D = function (...args) {
        if (zarvFormats.length < 8) zarvFormats.push(args[2]);
        return texImage2D.apply(this, args);
    };
    window.zarvResizes = 0;
    addEventListener('resize', () => ++zarvResizes);
    window.zarvFrames = 0;
    const clear = WebGL2RenderingContext.prototype.clear;
    WebGL2RenderingContext.prototype.clear = function (mask) {
        if (mask & this.COLOR_BUFFER_BIT) ++window.zarvFrames;
        return clear.call(this, mask);
    };
})();"""


def desktop_constants(reference):
    """What the page test shares with the desktop's tests and program: LIT,
    the level above which a channel counts as lit; FRAME_MS, the shortest
    time between drawn frames; MAX_PIXEL_RATIO, the device pixels per CSS
    pixel that the page draws at most."""
    out = subprocess.run([reference, "--constants"], capture_output=True, text=True, check=True).stdout
    return {name: float(value) if "." in value else int(value)
            for name, value in (line.split() for line in out.splitlines())}


def desktop_frames(reference, frames, *explosion, size=(WIDTH, HEIGHT)):
    """The desktop renderer's frames, height x width x RGB each:
    web_reference WIDTH HEIGHT frames OUT explosion..."""
    width, height = size
    with tempfile.NamedTemporaryFile(suffix=".ppm") as out:
        subprocess.run([reference, str(width), str(height), str(frames), out.name, *map(str, explosion)],
                       check=True)
        data = numpy.fromfile(out.name, numpy.uint8)
    header = len(f"P6\n{width} {height}\n255\n")
    return [image[header:].reshape(height, width, 3) for image in data.reshape(-1, header + width * height * 3)]


def within(a, b, levels):
    """Where each pixel of a is within levels of one of b's at most a pixel
    away: rasterisers may place an edge a pixel apart."""
    best = None
    for shift in ((dy, dx) for dy in (-1, 0, 1) for dx in (-1, 0, 1)):
        apart = numpy.abs(a.astype(int) - numpy.roll(b, shift, axis=(0, 1))).max(axis=2)
        best = apart if best is None else numpy.minimum(best, apart)
    return best <= levels


class WebTest:
    def __init__(self, html, reference, engine):
        self.html, self.reference, self.engine, self.failed, self.passed = html, reference, engine, 0, 0
        self.constants = desktop_constants(reference)
        # The share of lit pixels that must match the desktop's: Firefox and
        # WebKit draw with Mesa, as the desktop's frames are drawn, Chromium
        # with SwiftShader, whose lines differ more.
        self.agree = (0.999, 0.999) if engine != "chromium" else (0.98, 0.99)
        self.browser = webdriver.start(engine, WIDTH, HEIGHT)
        self.browser.before_each_page(PAGE_HOOKS)

    def lit(self, p):
        """Where a channel is lit."""
        return p.max(axis=2) > self.constants["LIT"]

    def count(self, p):
        """Pixels lit, and pixels of the trail's fading light: dim red, where
        the solid quads are lit brightly."""
        red = p[:, :, 0]
        return int(self.lit(p).sum()), int(((red > 0) & (red <= self.constants["LIT"])).sum())

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
        rows, columns = numpy.nonzero(self.lit(shot))
        sides = (numpy.ptp(columns) + 1, numpy.ptp(rows) + 1) if rows.size else (0, 0)
        return tuple(round(side / scale) for side in sides), shot

    def compare(self, page, desktop, what, exploding=True):
        """The page's frame held to the desktop's: lit counts within 2 %; of
        the pixels lit in either, the engine's share within 8 levels of the
        other's, an edge a pixel apart allowed; colour sums within 5 %."""
        lit = self.count(page)[0], self.count(desktop)[0]
        either = self.lit(page) | self.lit(desktop)
        near = (within(page, desktop, 8) & within(desktop, page, 8))[either].mean()
        light = page.sum(axis=(0, 1)) / numpy.maximum(desktop.sum(axis=(0, 1)), 1)
        self.check(abs(lit[0] / lit[1] - 1) < 0.02 and near >= self.agree[exploding]
                   and abs(light[:2] - 1).max() < 0.05,
                   f"{what} as the desktop draws it: lit {lit[0]} (desktop {lit[1]}), {near:.2%} of the pixels "
                   f"lit in either within 8 levels, red and green {light[0]:.3f} and {light[1]:.3f} of the "
                   f"desktop's")

    def check(self, condition, what):
        self.passed += bool(condition)
        self.failed += not condition
        print(f"{self.engine}:", "ok:" if condition else "FAIL:", what)

    def open(self, query=""):
        self.browser.open(self.html + query)
        deadline = time.monotonic() + 10
        # Emscripten 3.1.69 sets it to 1, 3.1.6 to true, once the page's script has made it.
        ready = "return typeof Module != 'undefined' && !!Module.calledRun"
        while not self.browser.run(ready) and time.monotonic() < deadline:
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

    def at_rest(self):
        """Pixels lit in the first screen that shows the grid, within 2 s (one taken too soon is black)."""
        return self.count(self.until(lambda s: self.count(s)[0] >= 10000, 2.0))[0]

    def explosion(self, rest, what):
        """Screens until one shows the explosion with its trail, for at most
        5 s: lit half as much again as rest, the grid at rest, and in dim red."""
        def showing(counts):
            return counts[0] > 1.5 * rest and counts[1] > 20000

        lit, dim = counts = self.count(self.until(lambda s: showing(self.count(s))))
        self.check(rest >= 10000 and showing(counts), f"{what}: lit {lit} (at rest {rest}), {dim} dim red")

    def lose_context(self, rest):
        """The WebGL context lost mid-explosion and restored a second later,
        its objects made anew under the names they had."""
        tables = "return [GL.programs.length, GL.buffers.length, GL.textures.length]"
        before = self.browser.run(tables)
        self.browser.run("zarvLose(false, 1000)")
        self.check(self.until(lambda s: s.max() == 0, 0.8).max() == 0, "the picture goes with the context")
        self.explosion(rest, "the explosion and its trail come back with the context")
        after = self.browser.run(tables)
        self.check(after == before, f"the runtime's GL tables of programs, buffers and textures have not grown "
                                    f"with the restore: {before}, then {after}")

    def lose_before_refit(self):
        """The context lost in the task of a frame that refits the canvas, as
        after a resize, a rotation or a new device scale, before the page can
        learn of the loss; restored, the page draws on at the new size. Then
        mid-explosion the canvas collapsed to no area, as by a layout: no
        frame drawn and no GL error until it has its area back."""
        self.open("?clock")
        self.step(1)
        resizes = self.browser.run("return zarvResizes")
        self.browser.viewport(WIDTH - 100, HEIGHT - 100)
        deadline = time.monotonic() + 2
        while self.browser.run("return zarvResizes") == resizes and time.monotonic() < deadline:
            time.sleep(0.02)
        self.browser.run(f"zarvLose(true, 100); zarvStep({self.constants['FRAME_MS']})")
        time.sleep(0.5)
        self.step(2)
        size = self.browser.run("return [innerWidth, innerHeight]")
        lit, canvas, message = self.count(self.browser.screen())[0], self.canvas(), self.message()
        self.check(not message and lit > 10000 and canvas == size and size != [WIDTH, HEIGHT],
                   f"a context lost just before a frame that refits the canvas comes back: lit {lit}, "
                   f"a {canvas[0]} x {canvas[1]} canvas in a {size[0]} x {size[1]} page, the page says "
                   f"'{message}'")
        collapse = "document.getElementById('canvas').style.height = arguments[0]; dispatchEvent(new Event('resize'))"
        self.browser.press(WIDTH // 2, HEIGHT // 2)
        self.step(2)
        self.browser.run(collapse, "0px")
        hidden = self.step(20)
        errors = self.gl_errors()
        self.browser.run(collapse, "")
        shown = self.step(2)
        self.check(hidden == 0 and not errors and shown > 0 and self.canvas() == size,
                   f"a canvas of no area mid-explosion: {hidden} frames drawn, GL errors {errors}; given its "
                   f"area back, {shown} frames")
        self.browser.viewport(WIDTH, HEIGHT)

    def storm(self, seconds):
        """From a fixed seed, for seconds: presses of every mouse button,
        wheel steps, taps where the engine has touch, keys but Esc, resizes
        from the least the window allows up to full HD, device scales where
        the engine emulates them, and lost and restored contexts, some lost
        just before a frame that refits the canvas. Then the page must draw
        on, with no GL or console error and a heap that has not grown, and
        Esc must still end it."""
        pick = random.Random(4242)
        # Keys a user might hit, but none that the browser takes for itself.
        keys = list("aZ5 ,-/") + ["\ue003", "\ue004", "\ue007", "\ue009", "\ue00e", "\ue00f", "\ue010",
                                  "\ue011", "\ue012", "\ue013", "\ue014", "\ue015", "\ue017"]
        kinds = ["press"] * 3 + ["wheel"] * 2 + ["key"] * 2 + ["resize", "lose"] + (
            ["tap"] * 2 if self.engine != "webkit" else [])
        self.open()
        start, warm, actions = time.monotonic(), None, 0
        # Pages down to 1 x 1: a window with no page at all draws nothing in
        # WebKit, whose driver then waits for ever for input to be handled.
        least = [1, 1]
        if self.engine != "chromium":
            window = self.browser.command("GET", "/window/rect")
            least = [window["width"] - WIDTH + 1, window["height"] - HEIGHT + 1]

        def figures(when):
            heap = self.browser.heap()
            print(f"{self.engine}: storm {when}: {self.browser.run('return zarvFrames')} frames drawn, "
                  f"{actions} actions, " + (f"JS heap {heap / 1024:.0f} KiB, " if heap else "") +
                  f"the engine's resident memory {self.browser.resident() / 1024:.0f} MiB", flush=True)
            return heap

        figures("at start")
        report = 60
        while time.monotonic() - start < seconds:
            if warm is None and time.monotonic() - start > min(6, seconds / 3):
                warm = [figures("after warm-up")]
            # A long run shows its memory's course a minute at a time.
            if time.monotonic() - start >= report:
                figures(f"at {report} s")
                report += 60
            kind = pick.choice(kinds)
            width, height = self.browser.run("return [innerWidth, innerHeight]")
            x, y = pick.randrange(max(width, 1)), pick.randrange(max(height, 1))
            if kind in ("press", "tap"):
                self.browser.press(x, y, "mouse" if kind == "press" else "touch", pick.choice((0, 1, 2)))
            elif kind == "wheel":
                self.browser.wheel(x, y, pick.choice((-1, 1)))
            elif kind == "key":
                self.browser.key(pick.choice(keys))
            elif kind == "resize":
                size = [pick.choice((low, pick.randrange(low, high + 1))) for low, high in zip(least, (1920, 1080))]
                self.browser.viewport(*size, pick.choice((1, 1.5, 2, 3)), pick.random() < 0.3, exact=False)
                if pick.random() < 0.5:
                    self.browser.run(LOSE, True, pick.randrange(800))
            else:
                self.browser.run(LOSE, pick.random() < 0.5, pick.randrange(800))
            actions += 1
        self.browser.viewport(WIDTH, HEIGHT)
        time.sleep(1)
        before = self.browser.run("return zarvFrames")
        time.sleep(1)
        drawn = self.browser.run("return zarvFrames") - before
        errors = self.gl_errors()
        lit, heap = self.count(self.browser.screen())[0], figures("at the end")
        self.check(drawn >= 10 and not errors and lit > 10000 and not self.message(),
                   f"after {actions} actions of the storm the page draws on: {drawn} frames in a second, "
                   f"GL errors {errors}, lit {lit}, the page says '{self.message()}'")
        if heap and seconds >= HEAP_SECONDS:
            grown = (heap - warm[0]) / 1024
            self.check(grown < HEAP_KIB, f"the storm's heap has not grown: {grown:.0f} KiB more than after warm-up")
        message = self.escape()
        self.check("ended" in message, f"Esc ends the page after the storm: '{message}'")
        self.console_clean()

    def gl_errors(self):
        """The page's GL errors, drained from outside, but a lost context's."""
        return self.browser.run("const gl = document.getElementById('canvas').getContext('webgl2'), e = [];"
                                "for (let x; (x = gl.getError()) && e.length < 8;) if (x != gl.CONTEXT_LOST_WEBGL)"
                                "  e.push(x); return e")

    def escape(self):
        """Esc pressed; what the page says then."""
        self.browser.key("\ue00c")
        time.sleep(0.2)
        return self.message()

    def console_clean(self):
        errors = self.browser.errors()
        if errors is not None:
            self.check(errors == [], f"no errors in the console: {len(errors)}" + (f", the first: {errors[0]}"
                                                                                   if errors else ""))

    def message(self, browser=None):
        """What the page says, if anything."""
        return (browser or self.browser).run("const m = document.getElementById('message');"
                                             "return m.hidden ? '' : m.textContent")

    def without_webgl2(self):
        """In a browser of the same engine with WebGL 2 turned off."""
        browser = webdriver.start(self.engine, WIDTH, HEIGHT, webgl2=False)
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
        # The scene counted in CSS pixels, as the desktop counts it in
        # window pixels: the grid as large as on a desktop window of the
        # page's size, at device scale 2 and on a phone at 3, drawn at no
        # more than the page's largest ratio.
        for width, height, scale, mobile in ((WIDTH, HEIGHT, 2, False), (390, 844, 3, True)):
            self.browser.viewport(width, height, scale, mobile)
            self.open("?clock")
            self.step(1)
            canvas = self.canvas()
            grid, shot = self.css_box()
            rows, columns = numpy.nonzero(self.lit(desktop_frames(self.reference, 1, size=(width, height))[0]))
            expected = (numpy.ptp(columns) + 1, numpy.ptp(rows) + 1)
            ratio = min(scale, self.constants["MAX_PIXEL_RATIO"])
            self.check(canvas == [width * ratio, height * ratio] and abs(numpy.subtract(grid, expected)).max() <= 2,
                       f"at {width} x {height}, scale {scale}: a {canvas[0]} x {canvas[1]} canvas, the grid "
                       f"{grid[0]} x {grid[1]} CSS pixels, {expected[0]} x {expected[1]} on the desktop")
        # On the phone, the last of them: a tap explodes the grid.
        self.browser.press(width // 2, height // 2, "touch")
        self.step(20)
        self.check(self.count(self.browser.screen())[0] > 1.5 * self.count(shot)[0],
                   "a tap on the phone explodes the grid")
        # Only the scale changes, as for a window dragged to another monitor.
        self.browser.viewport(width, height, 1, mobile)
        self.step(1)
        canvas = self.canvas()
        self.check(canvas == [width, height], f"the canvas follows the phone's scale from 3 to 1: {canvas}")
        self.browser.viewport(WIDTH, HEIGHT)

    def run(self, storm_only=False):
        if storm_only:
            self.storm(STORM_SECONDS)
            return self.summary()
        self.open("?clock")
        shape = self.browser.run("const c = document.getElementById('canvas');"
                                 "return [c.width, c.height, innerWidth, innerHeight, document.title]")
        self.check(shape == [WIDTH, HEIGHT, WIDTH, HEIGHT, "Zarv 1.0"], f"the canvas fills the window: {shape}")
        self.step(AT_REST)
        page = self.browser.screen()
        desktop = desktop_frames(self.reference, AT_REST)[0]
        both = self.lit(page) & self.lit(desktop)
        apart = numpy.abs(page.astype(int) - desktop.astype(int))[both].mean()
        self.check(apart < 1.5, f"the grid at rest: {apart:.2f} levels apart where both are lit")
        self.compare(page, desktop, "the grid at rest", exploding=False)

        # The page seeds the explosion with its clock, which started at 0.
        seed = AT_REST * self.constants["FRAME_MS"]
        desktop = desktop_frames(self.reference, AT_REST, seed, *EXPLODING)
        self.browser.press(WIDTH // 2, HEIGHT // 2)
        for done, frames, desktop_frame in zip((0,) + EXPLODING, EXPLODING, desktop):
            self.step(frames - done)
            self.compare(self.browser.screen(), desktop_frame, f"the explosion {frames} frames on")

        # With 8-bit colour buffers only, the trail still fades to black.
        formats = "return zarvFormats.map(f => '0x' + f.toString(16))"
        floats = self.browser.run(formats)
        self.open("?clock&eightbit")
        self.step(AT_REST)
        self.browser.press(WIDTH // 2, HEIGHT // 2)
        self.step(EXPLODING[-1])
        page, dark = self.browser.screen(), desktop[-1].max(axis=2) == 0
        black = (page.max(axis=2) == 0)[dark].mean()
        eight = self.browser.run(formats)
        self.check(floats[:3] == [RGBA8, RGBA16F, RGBA16F] and eight[:3] == [RGBA8] * 3 and black > 0.99,
                   f"in 8 bits (textures {eight}, {floats} with floats) the trail fades to black: {black:.2%} "
                   f"of what the desktop shows black after {EXPLODING[-1]} frames")

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
            self.at_rest()
            black = sum(self.count(s)[0] < 10000 for s in self.screens(8, 1.0))
            self.check(black == 0, f"no black frame in a second at rest {query}: {black}")

        # WebKitGTK has no touch events: its driver's taps arrive as a mouse.
        for pointer in ("mouse", "wheel") + (("touch",) if self.engine != "webkit" else ()):
            self.open()
            rest = self.at_rest()
            if pointer == "wheel":
                self.browser.wheel(WIDTH // 2, HEIGHT // 2, 1)
            else:
                self.browser.press(WIDTH // 2, HEIGHT // 2, pointer)
            self.explosion(rest, f"a {pointer} press explodes the grid with its trail")

        # WebKit keeps showing the last frame of a lost context.
        if self.engine != "webkit":
            self.lose_context(rest)

        self.lose_before_refit()
        self.storm(STORM_SECONDS)

        self.open()
        spinning = self.screens(2, 0.3)
        locks = "return [zarvWakeLocks.asked, zarvWakeLocks.granted.map(lock => lock.released)]"
        held = self.browser.run(locks)
        message = self.escape()
        ended = self.screens(2, 0.5)
        self.check(not numpy.array_equal(spinning[0], spinning[-1]) and numpy.array_equal(ended[0], ended[-1])
                   and "ended" in message, f"Esc stops the spinning grid and the page says: '{message}'")
        released = self.browser.run(locks)
        # WebKitGTK's MiniBrowser refuses every wake lock.
        if self.engine != "webkit":
            self.check(held[1] == [False] and released[1] == [True],
                       f"a screen wake lock held while the demo runs and released after Esc: {held}, {released}")
        else:
            self.check(held[0] > 0, f"the page asks for a screen wake lock: {held[0]} times; the engine refuses "
                                    "it, so its release is not checked")
        self.console_clean()
        # The page's own policy: it refused nothing of the page's, and it
        # refuses what a page that fetches would ask for.
        refused = self.browser.run("const refused = zarvRefused.slice(); fetch('http://127.0.0.1:9/').catch(() => 0);"
                                   "return refused")
        self.until(lambda s: self.browser.run("return zarvRefused.length") > len(refused), 1.0)
        probe = self.browser.run("return zarvRefused")[len(refused):]
        self.check(refused == [] and probe[:1] == ["connect-src"],
                   f"the page's policy refused {refused} of its own and {probe} of a fetch")
        self.without_webgl2()
        return self.summary()

    def summary(self):
        print(f"{self.engine}: {self.passed} passed, {self.failed} failed")
        return 1 if self.failed else 0


if __name__ == "__main__":
    storm_only = sys.argv[1:2] == ["--storm"]
    arguments = sys.argv[1 + storm_only:]
    if len(arguments) < 2:
        sys.exit(__doc__)
    failed = 0
    for engine in arguments[2:] or ("chromium", "webkit", "firefox"):
        test = WebTest(*arguments[:2], engine)
        try:
            failed += test.run(storm_only)
        finally:
            test.browser.close()
    sys.exit(failed)
