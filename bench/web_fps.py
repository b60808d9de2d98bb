#!/usr/bin/python3
"""Drawn frames per second of zarv.html in a browser engine: headless
Chromium (WebGL on SwiftShader) by default, or WebKit or Firefox (on Xvfb,
WebGL on Mesa's llvmpipe), with the page WIDTH x HEIGHT CSS pixels; in
Chromium at SCALE device pixels each (1 by default), a phone's with touch if
"mobile" follows: 4 s at rest, then 4 s from 0.3 s after a click or a tap, as
run_binary measures the desktop program. Frames are counted by their colour
clears.
Usage: web_fps.py [--engine chromium|webkit|firefox] ZARV_HTML WIDTH HEIGHT [SCALE [mobile]]
Prints: rest_fps exploding_fps"""
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests"))
# web_test puts tests/support on the path for webdriver.
from web_test import PAGE_HOOKS  # noqa: E402
import webdriver  # noqa: E402


def frame_rate(browser, seconds=4.0):
    frames, start = browser.run("return zarvFrames"), time.monotonic()
    time.sleep(seconds)
    return (browser.run("return zarvFrames") - frames) / (time.monotonic() - start)


if __name__ == "__main__":
    args = sys.argv[1:]
    engine = "chromium"
    if args[:1] == ["--engine"] and len(args) > 1:
        engine, args = args[1], args[2:]
    if (engine not in ("chromium", "webkit", "firefox") or len(args) not in (3, 4, 5)
            or args[4:] not in ([], ["mobile"]) or (engine != "chromium" and len(args) > 3)):
        sys.exit(__doc__)
    width, height = int(args[1]), int(args[2])
    scale, mobile = float(args[3]) if len(args) > 3 else 1, len(args) > 4
    browser = webdriver.start(engine, width, height)
    try:
        if engine == "chromium":
            browser.viewport(width, height, scale, mobile)
        browser.before_each_page(PAGE_HOOKS)
        browser.open(args[0])
        time.sleep(1.5)
        rest = frame_rate(browser)
        browser.press(width // 2, height // 2, "touch" if mobile else "mouse")
        time.sleep(0.3)
        print(f"{rest:.1f} {frame_rate(browser):.1f}")
    finally:
        browser.close()
