#!/usr/bin/env python3
"""The studio's page in headless Chromium: each case starts `plinka-sim studio --port 0` on the
example device (or on a copy of it with a second pane installed, for the rows the example pane
lacks) and works through the page only, as a user does: its controls, its file inputs, what it
shows. Reads the device back through the API only to see what the page changed.

    studio_page_test.py --sim PLINKA_SIM --device EXAMPLE_DEVICE --pane-stage STAGE --out DIR [CASE...]

Without Chromium, chromedriver or Selenium the cases fail, unless PLINKA_SKIP_BROWSER_TESTS=1:
then they are skipped (exit status 77) and say so.
"""
import argparse
import json
import math
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.parse
import urllib.request
import wave
import zlib

SKIP = 77
ARGS = None

try:
    from selenium import webdriver
    from selenium.webdriver.chrome.options import Options
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.by import By
    from selenium.common.exceptions import StaleElementReferenceException
    from selenium.webdriver.support.ui import Select, WebDriverWait
    MISSING = None
except ImportError as error:
    MISSING = "Selenium for Python (python3-selenium): %s" % error

CHROMIUM = shutil.which("chromium")
DRIVER = shutil.which("chromedriver")
if MISSING is None and not CHROMIUM:
    MISSING = "Chromium (package chromium)"
if MISSING is None and not DRIVER:
    MISSING = "chromedriver (package chromium-driver)"

LOCK_SOUND = "/var/LIY/PreferenceBundles/Plinka3.bundle/Lock////Latch.aiff"
KEY_FOLDER = "/var/LIY/PreferenceBundles/Plinka3.bundle/Keyboard////"
WAIT = 20  # seconds for anything the page is waiting for


def browser():
    options = Options()
    options.binary_location = CHROMIUM
    for argument in ("--headless=new", "--no-sandbox", "--autoplay-policy=no-user-gesture-required",
                     "--disable-gpu", "--disable-dev-shm-usage", "--window-size=1500,1100",
                     "--no-first-run", "--disable-extensions"):
        options.add_argument(argument)
    return webdriver.Chrome(service=Service(DRIVER), options=options)


class Studio:
    """A running `plinka-sim studio --port 0`; its address, token and API."""

    def __init__(self, sim, device_root=None, pane=None):
        command = [sim, "studio", "--port", "0"]
        if device_root:
            command += ["--device-root", device_root]
        if pane:
            command += ["--pane", pane]
        self.process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                        text=True, start_new_session=True)
        first = self.process.stdout.readline().strip()
        if not first.startswith("Plinka studio: "):
            self.stop()
            raise AssertionError("the studio did not start: %r" % first)
        self.url = first[len("Plinka studio: "):]
        parts = urllib.parse.urlsplit(self.url)
        self.base = "%s://%s" % (parts.scheme, parts.netloc)
        self.token = urllib.parse.parse_qs(parts.fragment)["token"][0]

    def get(self, path):
        request = urllib.request.Request(self.base + path, headers={"X-Plinka-Token": self.token})
        with urllib.request.urlopen(request, timeout=WAIT) as answer:
            return answer.read()

    def json(self, path):
        return json.loads(self.get(path))

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.process.stdout.close()


def write_tone(path, hz, seconds=0.3, rate=22050):
    """A mono 16-bit WAV of a sine tone."""
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(rate)
        frames = bytearray()
        for i in range(int(rate * seconds)):
            frames += struct.pack("<h", int(12000 * math.sin(2 * math.pi * hz * i / rate)))
        out.writeframes(bytes(frames))


def write_png(path, width, height, rgb):
    """A plain RGB PNG of one colour."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    row = b"\x00" + bytes(rgb) * width
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        out.write(chunk(b"IDAT", zlib.compress(row * height)))
        out.write(chunk(b"IEND", b""))


class StudioPage(unittest.TestCase):
    driver = None

    @classmethod
    def setUpClass(cls):
        cls.driver = browser()

    @classmethod
    def tearDownClass(cls):
        if cls.driver:
            cls.driver.quit()

    def setUp(self):
        self.scratch = tempfile.mkdtemp(prefix="plinka-browser-")
        self.studio = None

    def tearDown(self):
        if self.studio:
            self.studio.stop()
        shutil.rmtree(self.scratch, ignore_errors=True)

    # --- helpers ---------------------------------------------------------------------------

    def open(self, rows_pane=False):
        """Starts a studio (on the example device, or with the rows pane) and opens its page."""
        if rows_pane:
            root = os.path.join(self.scratch, "device")
            shutil.copytree(ARGS.device, root, symlinks=True)
            shutil.copytree(ARGS.pane_stage, root, symlinks=True, dirs_exist_ok=True)
            self.studio = Studio(ARGS.sim, root, "Studio rows")
        else:
            self.studio = Studio(ARGS.sim)
        self.driver.get(self.studio.url)
        self.wait_for(lambda d: d.find_element(By.ID, "settings").get_attribute("data-drawn"),
                      "the phone drawn")
        self.wait_for(lambda d: d.find_element(By.TAG_NAME, "body").get_attribute("data-listening"),
                      "the journal listening")

    def wait_for(self, condition, what, timeout=WAIT):
        try:
            return WebDriverWait(self.driver, timeout).until(condition)
        except Exception:
            raise AssertionError("waited %d s for %s; the page's status: %r" % (
                timeout, what, self.driver.find_element(By.ID, "status").text))

    def element(self, css):
        return self.wait_for(lambda d: d.find_element(By.CSS_SELECTOR, css), css)

    def click(self, css):
        # The phone's controls are made again with each screen shown: one found just before a
        # screen came is clicked again where it now is.
        for _ in range(5):
            try:
                self.element(css).click()
                return
            except StaleElementReferenceException:
                continue
        self.element(css).click()

    def drawn(self):
        return int(self.driver.find_element(By.ID, "settings").get_attribute("data-drawn") or 0)

    def settings_lines(self):
        phone = self.driver.find_element(By.ID, "settings")
        return int(phone.get_attribute("data-settings-lines") or 0)

    def settings(self, css):
        """Clicks a control of the phone and waits until the page shows the screen after it."""
        before = self.settings_lines()
        self.click(css)
        self.wait_for(lambda d: self.settings_lines() > before, "the screen after %s" % css)

    def home_lines(self):
        body = self.driver.find_element(By.TAG_NAME, "body")
        return int(body.get_attribute("data-home-lines") or 0)

    def home(self, line):
        """Presses a home-screen control and waits until its answer is taken in."""
        before = self.home_lines()
        self.click('#home [data-line="%s"]' % line)
        self.wait_for(lambda d: self.home_lines() > before, "the answer to %s" % line)

    def played(self, path=None):
        items = self.driver.find_elements(By.CSS_SELECTOR, "#played > li")
        return [i for i in items if path is None or i.get_attribute("data-path") == path]

    def wait_ended(self, path, count=1):
        def ended(_):
            states = [i.get_attribute("data-state") for i in self.played(path)]
            failed = [i.text for i in self.played(path) if i.get_attribute("data-state") == "failed"]
            if failed:
                raise AssertionError("%s failed: %s" % (path, failed))
            return len(states) >= count and all(s == "ended" for s in states[:count])
        self.wait_for(ended, "%d of %s ended" % (count, path))

    def journal(self, kind):
        return [e.text for e in self.driver.find_elements(By.CSS_SELECTOR,
                                                          '#journal > [data-kind="%s"]' % kind)]

    def row(self, label):
        for row in self.studio.json("/api/screen")["rows"]:
            if row["label"] == label:
                return row
        raise AssertionError("no row %r on the screen" % label)

    def screenshot(self, name):
        self.driver.execute_script("window.scrollTo(0, 0); document.getElementById('screen').scrollTo(0, 0);")
        self.driver.save_screenshot(os.path.join(ARGS.out, name))

    # --- cases -----------------------------------------------------------------------------

    def test_LockIsHeard(self):
        self.open()
        self.home("lock")
        self.wait_for(lambda d: any(t.endswith("> lock") for t in self.journal("user")),
                      "the lock entry in the journal, as the timeline prints it")
        self.wait_ended(LOCK_SOUND)
        # Every sound's states went fetched, decoded, playing, ended: it was really started.
        item = self.played(LOCK_SOUND)[0]
        self.assertIsNotNone(item.get_attribute("data-started-ms"))
        # The journal has the settings host's entries too, as the command prints them, and
        # filters by kind.
        self.settings('[data-row="Volume"]')
        self.wait_for(lambda d: any("store Volume (kCustomVolume) = on" in t
                                    for t in self.journal("store")), "the store entry")
        kind = Select(self.driver.find_element(By.ID, "journal-kind"))
        kind.select_by_value("store")
        shown = [e for e in self.driver.find_elements(By.CSS_SELECTOR, "#journal > div")
                 if e.is_displayed()]
        self.assertTrue(shown)
        self.assertTrue(all(e.get_attribute("data-kind") == "store" for e in shown))
        kind.select_by_value("")
        self.screenshot("studio.png")

    def test_SwitchOffSilencesAfterRespring(self):
        self.open()
        self.settings('[data-row="Lock"]')
        self.assertEqual(self.element('[data-row="Lock"]').get_attribute("aria-checked"), "false")
        self.assertIs(self.row("Lock")["value"], False)
        self.home("launch")
        self.home("lock")
        self.assertTrue(any(t.endswith("> lock") for t in self.journal("user")))
        self.home("unlock")
        self.assertEqual(self.played(LOCK_SOUND), [], "a switched-off event is silent")

        self.settings('[data-row="Lock"]')
        self.assertEqual(self.element('[data-row="Lock"]').get_attribute("aria-checked"), "true")
        self.home("launch")
        self.home("lock")
        self.wait_ended(LOCK_SOUND)
        self.assertEqual(len(self.played(LOCK_SOUND)), 1)

    def test_SliderSegmentAndListChoice(self):
        self.open(rows_pane=True)
        # The slider: a click at three quarters of its track sets about 0.75.
        slider = self.element('[data-row="Volume"]')
        self.assertEqual(slider.get_attribute("type"), "range")
        width = slider.size["width"]
        before = self.settings_lines()
        # From the centre: the thumb's centre runs from 14 px to width - 14 px.
        ActionChains(self.driver).move_to_element_with_offset(
            slider, int(14 + 0.75 * (width - 28) - width / 2), 0).click().perform()
        self.wait_for(lambda d: self.settings_lines() > before, "the screen after the slider")
        self.assertAlmostEqual(self.row("Volume")["value"], 0.75, delta=0.03)

        # The segment under the pointer.
        self.settings('[data-row="Mode"] [data-segment="Loud"]')
        self.assertEqual(self.row("Mode")["value"], 2)

        # A list value: its page opens, a title is chosen, back.
        self.settings('[data-row="Sound"]')
        self.assertEqual(self.studio.json("/api/screen")["title"], "Sound")
        self.settings('[data-row="Bell"]')
        self.assertEqual(self.element('[data-row="Bell"]').get_attribute("aria-pressed"), "true")
        self.settings("[data-back]")
        screen = self.studio.json("/api/screen")
        self.assertIsNone(screen["back"])
        self.assertEqual(self.row("Sound")["value"], "Bell.caf")

    def test_ImportedSoundIsChosenAndHeard(self):
        self.open()
        tone = os.path.join(self.scratch, "beep.wav")
        write_tone(tone, 880)
        self.element('#sounds tr[data-event="Lock"] input[type=file]').send_keys(tone)
        self.wait_for(lambda d: d.find_element(
            By.CSS_SELECTOR, '#sounds tr[data-event="Lock"] .result').get_attribute("data-outcome"),
            "the import's result")
        result = self.element('#sounds tr[data-event="Lock"] .result')
        self.assertEqual(result.get_attribute("data-outcome"), "imported", result.text)
        self.assertIn("beep.caf", result.text)
        # The list page offers it; choose another, then it, as a user would.
        self.settings('[data-row="Lock sound"]')
        self.settings('[data-row="Latch"]')
        self.settings('[data-row="beep"]')
        self.assertEqual(self.element('[data-row="beep"]').get_attribute("aria-pressed"), "true")
        self.settings("[data-back]")
        self.home("launch")
        self.home("lock")
        new_path = "/var/LIY/PreferenceBundles/Plinka3.bundle/Lock////beep.caf"
        self.wait_ended(new_path)
        self.assertEqual(self.played(LOCK_SOUND), [])

    def test_PictureAddedAndPicked(self):
        self.open(rows_pane=True)
        library = [i["name"] for i in self.studio.json("/api/library")["items"]]
        self.settings('[data-row="Lock picture"]')
        self.wait_for(lambda d: d.find_element(By.ID, "picker").is_displayed(), "the picker")
        # The grid is what the picker offers: the library's pictures, no video (it takes none).
        offered = [i["name"] for i in self.studio.json("/api/screen")["presented"]["items"]]
        grid = [b.get_attribute("data-item")
                for b in self.driver.find_elements(By.CSS_SELECTOR, "#picker-items [data-item]")]
        self.assertEqual(grid, offered)
        self.assertTrue(offered and not any(n.endswith(".MOV") for n in offered), offered)
        items_before = grid
        picture = os.path.join(self.scratch, "red.png")
        write_png(picture, 64, 48, (220, 30, 30))
        self.element("#picker-add").send_keys(picture)
        self.wait_for(lambda d: len(d.find_elements(By.CSS_SELECTOR, "#picker-items [data-item]"))
                      == len(items_before) + 1, "the added picture in the grid")
        added = [i["name"] for i in self.studio.json("/api/library")["items"]
                 if i["name"] not in library]
        self.assertEqual(len(added), 1)
        self.assertTrue(added[0].endswith(".PNG"), added)
        self.settings('#picker-items [data-item="%s"]' % added[0])
        self.wait_for(lambda d: not d.find_element(By.ID, "picker").is_displayed(),
                      "the picker closed")
        # The row's preview shows the picked picture, at its size.
        self.wait_for(lambda d: any("Lock picture: picked 64x48" in t
                                    for t in self.journal("preview")), "the row's preview")
        self.assertEqual(self.row("Lock picture")["preview"],
                         {"source": "picture", "width": 64, "height": 48})
        self.assertEqual(self.studio.json("/api/screen")["presented"], None)

    def test_TypingPlaysEachKey(self):
        self.open()
        before = self.home_lines()
        self.element("#typing").send_keys("hi")
        self.wait_for(lambda d: self.home_lines() >= before + 2, "two key presses answered")
        keys = [i for i in self.played() if i.get_attribute("data-path").startswith(KEY_FOLDER)]
        self.assertEqual(len(keys), 2, [k.get_attribute("data-path") for k in keys])
        for key in keys:
            self.wait_for(lambda d: key.get_attribute("data-state") == "ended", "a key sound ended")
        typed = [t for t in self.journal("user") if "> type" in t]
        self.assertEqual(len(typed), 2, typed)
        # A space is the space bar's press, like any key.
        self.element("#typing").send_keys(" ")
        self.wait_for(lambda d: self.home_lines() >= before + 3, "the space bar answered")
        self.wait_for(lambda d: len([t for t in self.journal("user") if "> type" in t]) == 3,
                      "the space bar's press in the journal")
        self.assertNotIn("bad", self.driver.find_element(By.ID, "status").get_attribute("class"))

    def test_PagesLeftHoldNoConnection(self):
        # A browser has six connections to a server: pages left behind (kept for going back)
        # must not hold one each, or the seventh page waits for one.
        self.open()
        self.driver.set_page_load_timeout(15)
        try:
            for load in range(7):
                self.driver.get("about:blank")
                started = time.monotonic()
                self.driver.get(self.studio.url)
                self.wait_for(lambda d: d.find_element(By.ID, "settings").get_attribute("data-drawn"),
                              "the phone drawn again", timeout=10)
                self.assertLess(time.monotonic() - started, 10, "load %d" % (load + 1))
        finally:
            self.driver.set_page_load_timeout(300)
        self.wait_for(lambda d: d.find_element(By.TAG_NAME, "body").get_attribute("data-listening"),
                      "the journal listening")
        # Going back to a page kept whole: it listens again.
        self.driver.get("about:blank")
        self.driver.back()
        self.wait_for(lambda d: d.find_element(By.ID, "settings").get_attribute("data-drawn"),
                      "the page back")
        self.home("lock")
        self.wait_for(lambda d: any(t.endswith("> lock") for t in self.journal("user")),
                      "the lock entry in the journal of the page come back")

    def test_TextFileIsRefused(self):
        self.open()
        sounds_before = self.studio.json("/api/sounds")
        row = '#sounds tr[data-event="Charge"]'
        file_before = self.element(row + " .file").text
        notes = os.path.join(self.scratch, "notes.txt")
        with open(notes, "w") as out:
            out.write("these are no sounds\n" * 20)
        self.element(row + " input[type=file]").send_keys(notes)
        self.wait_for(lambda d: d.find_element(By.CSS_SELECTOR, row + " .result")
                      .get_attribute("data-outcome"), "the import's result")
        result = self.element(row + " .result")
        self.assertEqual(result.get_attribute("data-outcome"), "refused")
        self.assertIn("notes.txt", result.text)
        self.assertEqual(self.element(row + " .file").text, file_before)
        self.assertEqual(self.studio.json("/api/sounds"), sounds_before)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--sim", required=True)
    parser.add_argument("--device", required=True)
    parser.add_argument("--pane-stage", required=True)
    parser.add_argument("--out", required=True)
    ARGS, rest = parser.parse_known_args()
    if MISSING:
        if os.environ.get("PLINKA_SKIP_BROWSER_TESTS") == "1":
            print("skipped: no %s (PLINKA_SKIP_BROWSER_TESTS=1)" % MISSING)
            return SKIP
        print("the browser tests need %s: run scripts/setup, or set PLINKA_SKIP_BROWSER_TESTS=1 "
              "to skip them" % MISSING, file=sys.stderr)
        return 1
    os.makedirs(ARGS.out, exist_ok=True)
    program = unittest.main(module=__name__, argv=[sys.argv[0], "-v"] + rest, exit=False)
    return 0 if program.result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
