#!/usr/bin/env python3
"""The panel in a real browser: `pndhal panel --launch` serves a launched test device, headless Chromium
drives the page through Selenium, and each effect is checked both in the page and on the device (the
device's own console, through `pndhal console`). Also measures the click-to-log latency and the page's
weight, takes the screenshot the docs show, replays a recorded session with `pndhal run`, and sends the
requests the panel must refuse.

Exits 77 (CTest's skip code for this test) with the reason when Chromium, its driver or Selenium is
missing."""

import argparse
import glob
import json
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.error
import urllib.parse
import urllib.request

SKIP = 77
CHROMIUM = shutil.which("chromium") or shutil.which("chromium-browser")
DRIVER = shutil.which("chromedriver")

try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.common.keys import Keys
    from selenium.webdriver.support.ui import Select, WebDriverWait
except ImportError:
    webdriver = None

ARGS = None
# Every wait on the page or the device ends as soon as its condition holds; this only bounds a failure.
LIMIT = 15
PAGE_WEIGHT_LIMIT = 200 * 1024
LATENCY_CLICKS = 15


def missing_parts():
    missing = []
    if webdriver is None:
        missing.append("Selenium for Python (Debian: python3-selenium) in " + sys.executable)
    if CHROMIUM is None:
        missing.append("Chromium (Debian: chromium)")
    if DRIVER is None:
        missing.append("its WebDriver (Debian: chromium-driver)")
    return missing


class Panel:
    """A `pndhal panel --launch` of the test device, in folders of its own, and a way to its console."""

    def __init__(self):
        self.folder = tempfile.mkdtemp(prefix="pndhal-panel-test-")
        self.env = dict(os.environ)
        for name in ("HOME", "XDG_RUNTIME_DIR", "TMPDIR"):
            path = os.path.join(self.folder, name.lower())
            os.makedirs(path, mode=0o700)
            self.env[name] = path
        self.process = subprocess.Popen(
            [ARGS.tool, "panel", "--launch", ARGS.device], env=self.env, stdout=subprocess.PIPE,
            stderr=subprocess.PIPE, text=True)
        self.address = self.process.stdout.readline().strip()
        if not self.address.startswith("http://127.0.0.1:"):
            self.process.kill()
            raise RuntimeError("pndhal panel printed no address: " + self.process.stderr.read())
        parts = urllib.parse.urlsplit(self.address)
        self.origin = parts.scheme + "://" + parts.netloc
        self.token = urllib.parse.parse_qs(parts.query)["token"][0]
        # The launched device's console takes the token the tool wrote into its private folder under TMPDIR.
        self.env["PNDSIM_CONSOLE_TOKEN_FILE"] = glob.glob(os.path.join(self.env["TMPDIR"], "pndhal-launch-*", "token"))[0]
        devices = json.loads(self.tool("devices", "--json").stdout)
        self.device = str(devices[0]["pid"])

    def tool(self, *args, check=True):
        result = subprocess.run([ARGS.tool, *args], env=self.env, capture_output=True, text=True, timeout=LIMIT)
        if check and result.returncode != 0:
            raise AssertionError("pndhal %s: exit %d: %s" % (" ".join(args), result.returncode, result.stderr))
        return result

    def console(self, line, check=True):
        """One line on the device's own console; its output, or the failure."""
        return self.tool("console", self.device, "-c", line, check=check)

    def state(self):
        return json.loads(self.console("state").stdout)

    def stop(self, sig=signal.SIGINT):
        self.process.send_signal(sig)
        _, error = self.process.communicate(timeout=LIMIT)
        shutil.rmtree(self.folder, ignore_errors=True)
        return self.process.returncode, error


def wait_for(condition, what):
    """Polls `condition` until it holds; fails naming `what` when it never does."""
    deadline = time.monotonic() + LIMIT
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError("gave up waiting for " + what)
        time.sleep(0.02)


class PanelInBrowser(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.panel = Panel()
        cls.downloads = os.path.join(cls.panel.folder, "downloads")
        os.makedirs(cls.downloads)
        options = webdriver.ChromeOptions()
        options.binary_location = CHROMIUM
        for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--window-size=1280,1500",
                         "--disable-dev-shm-usage", "--no-first-run", "--hide-scrollbars"):
            options.add_argument(argument)
        options.add_experimental_option("prefs", {"download.default_directory": cls.downloads,
                                                  "download.prompt_for_download": False})
        cls.browser = webdriver.Chrome(service=Service(DRIVER), options=options)
        cls.browser.get(cls.panel.address)
        WebDriverWait(cls.browser, LIMIT).until(
            lambda b: b.execute_script("return document.body.dataset.ready === 'true'"))
        wait_for(lambda: cls.browser.execute_script(
            "return document.getElementById('link-status').textContent === 'connected'"), "the event stream")

    @classmethod
    def tearDownClass(cls):
        cls.browser.quit()
        code, error = cls.panel.stop()
        if code != 0:
            raise AssertionError("pndhal panel did not stop cleanly on SIGINT: exit %d: %s" % (code, error))

    # ---- helpers --------------------------------------------------------------------------------------

    def el(self, element_id):
        return self.browser.find_element(By.ID, element_id)

    @classmethod
    def log_lines(cls, source=None):
        return cls.browser.execute_script(
            "return [...document.querySelectorAll('#log li')]"
            ".filter(li => !arguments[0] || li.dataset.source === arguments[0]).map(li => li.textContent)",
            source)

    @classmethod
    def wait_log(cls, source, text, count=1):
        """Waits until the log holds at least `count` lines of `source` containing `text`; returns them."""
        def matching():
            return [line for line in cls.log_lines(source) if text in line]
        try:
            return wait_for(lambda: len(matching()) >= count and matching(), "%s '%s' in the log" % (source, text))
        except AssertionError as failure:
            raise AssertionError("%s; the panel's commands: %s" % (failure, cls.log_lines("panel")[-5:])) from None

    def clear_log(self):
        self.el("log-clear").click()

    def set_range(self, element_id, value):
        """Moves a slider as a person does: its value changes, then it reports the change."""
        self.browser.execute_script(
            "const e = document.getElementById(arguments[0]); e.focus(); e.value = arguments[1];"
            "e.dispatchEvent(new Event('input', {bubbles: true}));"
            "e.dispatchEvent(new Event('change', {bubbles: true})); e.blur();", element_id, str(value))

    def command_done(self, line):
        """Waits until the panel's command `line` was answered OK, and returns its log line."""
        return self.wait_log("panel", line + "  OK")

    def device_expects(self, line):
        result = self.panel.console(line, check=False)
        self.assertEqual(result.returncode, 0, "%s on the device: %s" % (line, result.stderr))

    # ---- the tests ------------------------------------------------------------------------------------

    def test_page_draws_the_device_from_its_profile(self):
        profile = self.panel.state()["device"]
        names = [button.text for button in self.browser.find_elements(By.CSS_SELECTOR, "#keys .key")]
        self.assertEqual(sorted(names), sorted(key["name"] for key in profile["keys"]))
        screen = self.el("screen")
        width, height = profile["screen"]["width"], profile["screen"]["height"]
        self.assertEqual(screen.size["width"] - 20, width)  # the 10-pixel bezel on each side
        self.assertIn("%d × %d landscape" % (width, height), self.el("screen-size").text)
        self.assertEqual(screen.get_attribute("data-state"), "on")
        weight = self.browser.execute_script(
            "const entries = [...performance.getEntriesByType('navigation'),"
            " ...performance.getEntriesByType('resource')].filter(e => !e.name.includes('/api/'));"
            "return {bytes: entries.reduce((sum, e) => sum + e.decodedBodySize, 0),"
            " names: entries.map(e => e.name.replace(/\\?.*/, ''))};")
        for name in weight["names"]:
            self.assertTrue(name.startswith(self.panel.origin), name + " loaded from elsewhere")
        self.assertLess(weight["bytes"], PAGE_WEIGHT_LIMIT)
        print("page weight: %d bytes in %d files" % (weight["bytes"], len(weight["names"])), file=sys.stderr)

    def test_key_click_reaches_the_key_listener_and_the_log(self):
        """A click on F6 is a press and a release on the device, and the library's key listener call comes
        back into the log; the latency from the click to that line is measured in the page."""
        latencies = []
        for _ in range(LATENCY_CLICKS):
            latencies.append(self.browser.execute_async_script("""
                const done = arguments[arguments.length - 1];
                const log = document.getElementById('log');
                const key = document.querySelector('.key[data-key="F6"]');
                const start = performance.now();
                const watcher = new MutationObserver(() => {
                  const last = log.lastElementChild;
                  if (last && last.dataset.source === 'listener' && last.textContent.endsWith('key F6')) {
                    watcher.disconnect();
                    done(performance.now() - start);
                  }
                });
                watcher.observe(log, {childList: true});
                const at = {bubbles: true, button: 0, pointerId: 1, isPrimary: true, pointerType: 'mouse'};
                key.dispatchEvent(new PointerEvent('pointerdown', at));
                key.dispatchEvent(new PointerEvent('pointerup', at));"""))
        median = statistics.median(latencies)
        print("click to log: median %.1f ms, max %.1f ms over %d clicks" % (median, max(latencies), len(latencies)),
              file=sys.stderr)
        self.assertLess(median, 50)
        # A real click of the mouse does the same, and the release follows the press on the device.
        self.clear_log()
        self.browser.find_element(By.CSS_SELECTOR, '.key[data-key="F6"]').click()
        self.wait_log("listener", "key F6")
        self.command_done("release F6")
        panel_lines = self.log_lines("panel")
        self.assertEqual(panel_lines, ["panel press F6  OK", "panel release F6  OK"])

    def test_held_mouse_button_holds_the_key_and_the_keyboard_presses_keys(self):
        self.clear_log()
        key = self.browser.find_element(By.CSS_SELECTOR, '.key[data-key="F7"]')
        actions = webdriver.ActionChains(self.browser)
        actions.click_and_hold(key).perform()
        self.command_done("press F7")
        self.wait_log("listener", "key F7")
        self.assertIn("held", key.get_attribute("class"))
        self.assertFalse([line for line in self.log_lines("panel") if line.startswith("release F7")])
        actions.release(key).perform()
        self.command_done("release F7")
        self.assertNotIn("held", key.get_attribute("class"))

        self.browser.execute_script("document.getElementById('device-panel').focus()")
        webdriver.ActionChains(self.browser).send_keys(Keys.ARROW_UP, Keys.ENTER, Keys.F6, Keys.F9).perform()
        self.wait_log("listener", "key Up")
        self.wait_log("listener", "key Enter")
        self.wait_log("listener", "key F6")
        # F9 is a key of the device that the library's key map leaves alone: pressed, it reaches no one.
        self.command_done("release F9")
        self.assertFalse([line for line in self.log_lines("listener") if "F9" in line])

    def test_power_controls(self):
        self.set_range("battery-level", 15)
        Select(self.el("battery-flag")).select_by_visible_text("low")
        Select(self.el("battery-ac")).select_by_visible_text("online")
        self.el("battery-set").click()
        self.command_done("battery 15 low ac online")
        wait_for(lambda: self.el("battery-gauge").get_attribute("value") == "15", "the gauge at 15")
        power = self.panel.state()["device"]["power"]
        self.assertEqual((power["battery"], power["batteryFlag"], power["ac"]), (15, 2, "online"))
        self.wait_log("listener", "power 15")

        self.el("suspend").click()
        wait_for(lambda: self.el("screen").get_attribute("data-state") == "suspended", "a dark screen")
        self.assertIn("dark", self.el("screen").get_attribute("class"))
        self.assertTrue(self.panel.state()["suspended"])
        self.el("resume").click()
        wait_for(lambda: self.el("screen").get_attribute("data-state") == "on", "a lit screen")
        self.assertFalse(self.panel.state()["suspended"])

    def test_audio_and_display_controls(self):
        self.set_range("volume", 60)
        self.wait_log("listener", "volume 60")
        self.device_expects("expect GetVolume = 60")
        self.el("mute").click()
        self.command_done("mute on")
        self.wait_log("platform", "wave.volume 0x00000000")
        self.assertEqual(self.panel.state()["device"]["volume"], {"left": 0, "right": 0})
        self.el("mute").click()
        self.command_done("mute off")
        self.wait_log("platform", "wave.volume 0x99999999", 2)
        self.assertEqual(self.panel.state()["device"]["volume"], {"left": 0x9999, "right": 0x9999})

        self.set_range("brightness", 40)
        self.command_done("brightness 40")
        self.device_expects("expect GetBrightness = 40")
        level = self.panel.state()["device"]["backlight"]["level"]
        wait_for(lambda: "level %d" % level in self.el("screen-state").text, "the backlight level on the screen")

        self.el("display-off").click()
        wait_for(lambda: self.el("screen").get_attribute("data-state") == "off", "the display off")
        self.device_expects("expect GetBrightness = 10")
        self.el("display-on").click()
        wait_for(lambda: self.el("screen").get_attribute("data-state") == "on", "the display on")
        self.device_expects("expect GetBrightness = 40")

    def test_card_controls(self):
        name = 'SD "Karte" <b>1</b>'
        field = self.el("card-name")
        field.clear()
        field.send_keys(name)
        self.el("card-mount").click()
        item = wait_for(lambda: self.browser.find_elements(By.CSS_SELECTOR, "#cards li span"), "the card listed")
        # Text from the device is shown as text: the markup in the name is not markup in the page.
        self.assertEqual(item[0].text, name)
        self.assertFalse(self.browser.find_elements(By.CSS_SELECTOR, "#cards b"))
        self.assertEqual(self.panel.state()["device"]["cards"], [name])
        self.wait_log("listener", "card mounted")
        self.browser.find_element(By.CSS_SELECTOR, "#cards li button").click()
        wait_for(lambda: not self.browser.find_elements(By.CSS_SELECTOR, "#cards li span"), "the card gone")
        self.assertEqual(self.panel.state()["device"]["cards"], [])

    def test_telephone_controls(self):
        self.el("phone-start").click()
        wait_for(lambda: self.el("phone-status").get_attribute("data-running") == "true", "the program running")
        Select(self.el("phone-call")).select_by_visible_text("incoming")
        self.el("phone-call-set").click()
        self.command_done("phone call incoming")
        self.assertEqual(self.panel.state()["telephone"]["callState"], 1)
        wait_for(lambda: "call incoming" in self.el("phone-status").text, "the call in the page")
        self.el("phone-bluetooth").click()
        self.command_done("phone bluetooth off")
        Select(self.el("phone-foreground")).select_by_visible_text("telephone")
        step = self.el("phone-volume-step")
        step.clear()
        step.send_keys("7")
        self.el("phone-apply").click()
        self.command_done("phone volume-step 7")
        telephone = self.panel.state()["telephone"]
        self.assertEqual((telephone["running"], telephone["bluetoothPower"], telephone["foreground"],
                          telephone["volumeStep"]), (True, 0, 2, 7))
        wait_for(lambda: "Bluetooth off, in front: telephone, volume step 7" in self.el("phone-status").text,
                 "the program's state in the page")
        self.el("phone-stop").click()
        wait_for(lambda: self.el("phone-status").get_attribute("data-running") == "false", "the program stopped")
        self.assertFalse(self.panel.state()["telephone"]["running"])

    def test_clock_and_zone_controls(self):
        self.browser.execute_script("document.getElementById('clock-time').value = '2030-01-02T03:04:05'")
        self.el("clock-set").click()
        self.command_done("clock set 2030-01-02T03:04:05Z")
        wait_for(lambda: self.el("clock-now").text.startswith("2030-01-02T03:0"), "the clock in the page")
        self.device_expects("expect GetGMTNavTime = *")
        offset = self.panel.state()["device"]["clock"]["offset"]
        self.assertGreater(offset, (1893553445 - time.time() - 60) * 1000)

        zones = [option.get_attribute("value") for option in Select(self.el("zone")).options]
        self.assertIn("Europe/Berlin", zones)
        Select(self.el("zone")).select_by_value("Europe/Berlin")
        self.el("zone-set").click()
        self.command_done("zone Europe/Berlin")
        self.assertEqual(self.panel.state()["device"]["zone"], "Europe/Berlin")

    def test_log_filters_pauses_and_clears(self):
        self.clear_log()
        self.assertEqual(self.log_lines(), [])
        platform = self.browser.find_element(By.CSS_SELECTOR, '.log-kind[value="platform"]')
        platform.click()
        self.browser.find_element(By.CSS_SELECTOR, '.key[data-key="DeviceC2"]').click()
        self.wait_log("listener", "key Device7")
        hidden = self.browser.execute_script(
            "return [...document.querySelectorAll('#log li')].filter(li => li.dataset.source === 'platform')"
            ".every(li => getComputedStyle(li).display === 'none')")
        self.assertTrue(hidden)
        platform.click()
        self.el("log-pause").click()
        before = len(self.log_lines())
        self.browser.find_element(By.CSS_SELECTOR, '.key[data-key="DeviceC2"]').click()
        wait_for(lambda: self.browser.execute_script("return document.querySelector('.key.held') === null"),
                 "the key released")
        self.assertEqual(len(self.log_lines()), before)
        self.el("log-pause").click()
        self.wait_log("listener", "key Device7", 2)

    def test_recorded_session_replays_with_pndhal_run(self):
        self.el("record").click()
        self.browser.find_element(By.CSS_SELECTOR, '.key[data-key="F6"]').click()
        self.set_range("volume", 30)
        wait_for(lambda: "expect volume 30" in self.el("record-script").text, "the volume call recorded")
        wait_for(lambda: "expect key F6" in self.el("record-script").text, "the key call recorded")
        self.el("record").click()
        self.el("record-download").click()
        script = os.path.join(self.downloads, "panel.scn")
        wait_for(lambda: os.path.exists(script), "the downloaded script")
        with open(script) as recorded:
            lines = [line for line in recorded.read().splitlines() if not line.startswith("#")]
        # The key's listener call comes while its release is on its way: both orders replay the same.
        self.assertEqual(lines[0], "press F6")
        self.assertEqual(sorted(lines[1:3]), ["expect key F6", "release F6"])
        self.assertEqual(lines[3:], ["volume 30", "expect volume 30 unmuted"])
        replay = self.panel.tool("run", script, check=False)
        self.assertEqual(replay.returncode, 0, replay.stdout + replay.stderr)
        self.assertIn("PASS", replay.stdout)

    def test_requests_without_the_token_or_from_elsewhere_are_refused(self):
        port = urllib.parse.urlsplit(self.panel.address).port

        def request(path, headers=None, data=None, host=None):
            headers = dict(headers or {})
            if data is not None:
                headers.setdefault("Content-Type", "application/json")
            req = urllib.request.Request("http://127.0.0.1:%d%s" % (port, path), data=data, headers=headers)
            if host:
                req.add_unredirected_header("Host", host)
            try:
                with urllib.request.urlopen(req, timeout=LIMIT) as answer:
                    return answer.status
            except urllib.error.HTTPError as refusal:
                return refusal.code

        token = {"X-Pndhal-Token": self.panel.token}
        line = json.dumps({"line": "battery 50"}).encode()
        cases = [
            ("the page without a token", "/", {}, None, None, 403),
            ("state without a token", "/api/state", {}, None, None, 403),
            ("a wrong token", "/api/state", {"X-Pndhal-Token": "0" * 32}, None, None, 403),
            ("a command without a token", "/api/command", {}, line, None, 403),
            ("a command from another site", "/api/command", {**token, "Origin": "http://evil.example"}, line,
             None, 403),
            ("a rebound host name", "/api/state", token, None, "evil.example:%d" % port, 403),
            ("a form instead of JSON", "/api/command", {**token, "Content-Type": "text/plain"}, line, None, 415),
            ("two lines as one command", "/api/command", token,
             json.dumps({"line": "battery 50\nbattery 50"}).encode(), None, 400),
            ("the page with its token", "/?token=" + self.panel.token, {}, None, None, 200),
            ("state with the token", "/api/state", token, None, None, 200),
        ]
        for what, path, headers, data, host, status in cases:
            with self.subTest(what):
                self.assertEqual(request(path, headers, data, host), status)
        # Nothing refused reached the device.
        self.assertNotEqual(self.panel.state()["device"]["power"]["battery"], 50)

    def test_zz_screenshot(self):
        """Runs last (tests run in name order): the page as the other tests left it, for the docs."""
        self.browser.execute_script("window.scrollTo(0, 0)")
        self.browser.find_element(By.TAG_NAME, "body").screenshot(ARGS.screenshot)
        self.assertGreater(os.path.getsize(ARGS.screenshot), 10000)


class PanelLifetime(unittest.TestCase):
    def test_panel_says_so_and_fails_when_the_device_goes_away(self):
        panel = Panel()
        os.kill(int(panel.device), signal.SIGKILL)
        _, error = panel.process.communicate(timeout=LIMIT)
        shutil.rmtree(panel.folder, ignore_errors=True)
        self.assertEqual(panel.process.returncode, 1)
        self.assertIn("killed by signal 9", error)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True)
    parser.add_argument("--device", required=True)
    parser.add_argument("--screenshot", required=True)
    ARGS, rest = parser.parse_known_args()
    missing = missing_parts()
    if missing:
        print("SKIPPED: the panel's browser test needs " + ", ".join(missing), file=sys.stderr)
        return SKIP
    os.makedirs(os.path.dirname(os.path.abspath(ARGS.screenshot)), exist_ok=True)
    program = unittest.main(argv=[sys.argv[0], *rest], exit=False, verbosity=2)
    return 0 if program.result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
