"""navapp tested from Python: each test gets a fresh navapp with its console open (the pndhal pytest
plugin) and checks what the application's own listeners print.

    PYTHONPATH=PREFIX/lib/python3/dist-packages \\
        pytest -p pndhal.pytest_plugin --pndhal-launch ./navapp test_navapp.py
"""

import subprocess
import time

import pytest


@pytest.fixture
def navapp(device, pndhal_devices):
    """The device, and a way to wait for a line of navapp's own output."""
    launched = pndhal_devices.launched
    if launched is None:
        pytest.skip("these tests read navapp's output: launch it (--pndhal-launch)")

    def printed(text, timeout=10.0):
        # navapp's listener hears the call on the library's thread, beside the console's: its line may
        # come a moment after the console's event. Waiting on the process is the pause between looks.
        deadline = time.monotonic() + timeout
        while text not in launched.output():
            if time.monotonic() > deadline:
                return False
            try:
                launched.process.wait(0.02)
                return text in launched.output()
            except subprocess.TimeoutExpired:
                pass
        return True

    return device, printed


@pytest.mark.parametrize("command, expectation, line", [
    ("battery 5", {"kind": "power", "level": 5, "state": "battery"}, "app: power 5% state"),
    ("press F6", {"kind": "key", "call": "key F6"}, "app: key"),
    ("card mount SD-Karte", {"kind": "card", "change": "mounted", "folder": "SD-Karte"}, "app: card SD-Karte mounted"),
])
def test_navapp_hears_what_the_device_does(navapp, command, expectation, line):
    device, printed = navapp
    device.watch()
    device.command(command)
    fields = dict(expectation)
    device.expect_listener(fields.pop("kind"), fields.pop("call", None), **fields)
    assert printed(line)


def test_navapp_starts_on_a_fresh_device(navapp):
    device, _ = navapp
    assert device.state()["device"]["power"]["battery"] != 5
