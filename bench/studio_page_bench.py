#!/usr/bin/env python3
"""The studio's page, measured in headless Chromium (the browser tests' set-up: Debian's
chromium, chromium-driver and python3-selenium).

    bench/studio_page_bench.py [--sim build/bin/plinka-sim] [--clicks 41] [--loads 9]

Prints three figures:
  click_to_start_ms   from a click on the lock control (the click event's time) to the
                      AudioBufferSourceNode.start() of the lock sound, the sound fetched and
                      decoded before: median (and spread) of --clicks presses, each lock after
                      an unlock
  page_bytes          the page's own files (/, /studio.css, /studio.js) plus the first screen
                      picture at scale 2 (/api/screen.png?scale=2), as served
  phone_drawn_ms      from opening the URL (the navigation's start) to the phone drawn (the
                      picture decoded and the row controls in place): median of --loads fresh
                      loads of the page
"""
import argparse
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "browser"))
import studio_page_test as page  # noqa: E402  the tests' browser and studio

LOCK_SOUND = page.LOCK_SOUND


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--sim", default="build/bin/plinka-sim")
    parser.add_argument("--clicks", type=int, default=41)
    parser.add_argument("--loads", type=int, default=9)
    args = parser.parse_args()
    if page.MISSING:
        print("needs %s" % page.MISSING, file=sys.stderr)
        return 1
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import WebDriverWait

    studio = page.Studio(args.sim)
    driver = page.browser()
    try:
        def drawn():
            return driver.find_element(By.ID, "settings").get_attribute("data-drawn")

        # The page's bytes, as served.
        sizes = {path: len(studio.get(path)) for path in
                 ("/", "/studio.css", "/studio.js", "/api/screen.png?scale=2")}

        # Fresh loads: navigation start to the phone drawn.
        loads = []
        for _ in range(args.loads):
            driver.get("about:blank")
            driver.get(studio.url)
            WebDriverWait(driver, 20).until(lambda d: drawn())
            loads.append(driver.execute_script("return window.plinkaFirstDrawn"))

        # Clicks: the lock sound fetched and decoded once, then each lock after an unlock.
        WebDriverWait(driver, 20).until(
            lambda d: d.find_element(By.TAG_NAME, "body").get_attribute("data-listening"))

        def press(line):
            body = driver.find_element(By.TAG_NAME, "body")
            before = int(body.get_attribute("data-home-lines") or 0)
            driver.find_element(By.CSS_SELECTOR, '#home [data-line="%s"]' % line).click()
            WebDriverWait(driver, 20).until(
                lambda d: int(body.get_attribute("data-home-lines") or 0) > before)

        def started():
            items = driver.find_elements(By.CSS_SELECTOR, '#played > li[data-path="%s"]' % LOCK_SOUND)
            WebDriverWait(driver, 20).until(
                lambda d: items[-1].get_attribute("data-state") in ("playing", "ended", "failed"))
            if items[-1].get_attribute("data-state") == "failed":
                raise SystemExit("the lock sound failed: " + items[-1].text)
            return float(items[-1].get_attribute("data-started-ms"))

        press("lock")
        started()
        clicks = []
        for _ in range(args.clicks):
            press("unlock")
            press("lock")
            clicks.append(started())
    finally:
        driver.quit()
        studio.stop()

    def spread(values):
        ordered = sorted(values)
        return "median %.1f ms (min %.1f, max %.1f, n %d)" % (
            statistics.median(ordered), ordered[0], ordered[-1], len(ordered))

    print("click_to_start_ms  %s" % spread(clicks))
    print("page_bytes         %d (%s)" % (sum(sizes.values()),
                                          ", ".join("%s %d" % kv for kv in sizes.items())))
    print("phone_drawn_ms     %s" % spread(loads))
    return 0


if __name__ == "__main__":
    sys.exit(main())
