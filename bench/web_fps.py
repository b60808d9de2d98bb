#!/usr/bin/python3
"""Drawn frames per second of zarv.html in headless Chromium (WebGL on
SwiftShader) with the page WIDTH x HEIGHT CSS pixels at SCALE device pixels
each (1 by default), a phone's with touch if "mobile" follows: 4 s at rest,
then 4 s from 0.3 s after a click or a tap, as run_binary measures the
desktop program. Frames are counted by their colour clears.
Usage: web_fps.py ZARV_HTML WIDTH HEIGHT [SCALE [mobile]]
Prints: rest_fps exploding_fps"""
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests"))
# web_test puts tests/support on the path for webdriver.
from web_test import PAGE_HOOKS  # noqa: E402
from webdriver import Browser  # noqa: E402


def frame_rate(browser, seconds=4.0):
    frames, start = browser.run("return zarvFrames"), time.monotonic()
    time.sleep(seconds)
    return (browser.run("return zarvFrames") - frames) / (time.monotonic() - start)


if __name__ == "__main__":
    if len(sys.argv) not in (4, 5, 6) or sys.argv[5:] not in ([], ["mobile"]):
        sys.exit(__doc__)
    width, height = int(sys.argv[2]), int(sys.argv[3])
    scale, mobile = float(sys.argv[4]) if len(sys.argv) > 4 else 1, len(sys.argv) > 5
    browser = Browser(width, height)
    try:
        browser.emulate(width, height, scale, mobile)
        browser.before_each_page(PAGE_HOOKS)
        browser.open(sys.argv[1])
        time.sleep(1.5)
        rest = frame_rate(browser)
        browser.press(width // 2, height // 2, "touch" if mobile else "mouse")
        time.sleep(0.3)
        print(f"{rest:.1f} {frame_rate(browser):.1f}")
    finally:
        browser.close()
