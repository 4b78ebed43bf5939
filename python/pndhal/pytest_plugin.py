"""A pytest plugin giving each test a device: `device` is a Console to a launched application or to a
running device, fresh for each test.

Choose the device on the command line or in the environment:

    pytest -p pndhal.pytest_plugin --pndhal-launch "./navapp"      (or PNDHAL_LAUNCH)
    pytest -p pndhal.pytest_plugin --pndhal-attach navapp          (or PNDHAL_ATTACH: pid, port, program)

Between tests the device is reset: when its `help` lists the `reset` verb, the fixture sends `reset` on
one shared device; otherwise a launched application is started afresh for each test, and an attached
device (which cannot be restarted) only has its event stream stopped and drained.
"""

from __future__ import annotations

import os
from typing import Iterator

import pytest

from .console import Console, connect
from .launch import LaunchedDevice, launch


def pytest_addoption(parser: pytest.Parser) -> None:
    group = parser.getgroup("pndhal")
    group.addoption("--pndhal-launch", default=os.environ.get("PNDHAL_LAUNCH"),
                    help="start this application with its console open for the tests")
    group.addoption("--pndhal-attach", default=os.environ.get("PNDHAL_ATTACH"),
                    help="use the running device with this process id, port or program name")
    group.addoption("--pndhal-time-scale", type=float, default=None,
                    help="the time scale a launched application's device starts with")


class _Devices:
    """The device of the session, and the way to give each test a fresh one."""

    def __init__(self, config: pytest.Config):
        self.command = config.getoption("--pndhal-launch")
        self.attach = config.getoption("--pndhal-attach")
        self.time_scale = config.getoption("--pndhal-time-scale")
        self.launched: LaunchedDevice | None = None
        self.console: Console | None = None
        self.resettable = False
        self.used = False  # a test had the device already: a launched one is started afresh

    def open(self) -> Console:
        if self.console is not None and not self.console.closed:
            return self.console
        self.close()
        if self.command:
            self.launched = launch(self.command, time_scale=self.time_scale)
            self.console = self.launched.console
        elif self.attach:
            self.console = connect(self.attach)
        else:
            pytest.skip("no device: give --pndhal-launch COMMAND or --pndhal-attach DEVICE")
        help_text = self.console.command("help").output
        self.resettable = any(line.split(" ")[0] == "reset" for line in help_text.splitlines())
        return self.console

    def fresh(self) -> Console:
        console = self.open()
        if self.resettable:
            # reset lets the library's polling thread see the restored device: up to three polling
            # periods (5 s each at a time scale of 1).
            console.command("reset", timeout=max(console.timeout, 20.0))
        elif self.launched is not None and self.used:
            self.close()
            console = self.open()
        console.command("unwatch")
        for _ in console.events(timeout=0):
            pass
        self.used = True
        return console

    def close(self) -> None:
        if self.launched is not None:
            self.launched.stop()
        elif self.console is not None:
            self.console.close()
        self.launched = None
        self.console = None


@pytest.fixture(scope="session")
def pndhal_devices(pytestconfig: pytest.Config) -> Iterator[_Devices]:
    """The session's device (launched or attached), closed at the end of the session."""
    devices = _Devices(pytestconfig)
    yield devices
    devices.close()


@pytest.fixture
def device(pndhal_devices: _Devices) -> Console:
    """A connection to a fresh device for this test, its event stream stopped and empty."""
    return pndhal_devices.fresh()
