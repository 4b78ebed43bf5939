"""The Python client against a launched application: discovery, commands and their refusals, the event
stream and `expect`, authentication failures, a device that goes away, and a thousand commands
pipelined."""

import json
import os
import pathlib

import pytest

import pndhal

SCHEMA = pathlib.Path(__file__).resolve().parents[2] / "docs" / "events.schema.json"


@pytest.fixture
def launched(application):
    with pndhal.launch([application]) as device:
        yield device


def test_finds_the_launched_device_and_answers_commands(launched):
    assert launched.record in pndhal.devices()
    assert pndhal.find_device(launched.pid) == launched.record
    console = launched.console
    assert console.greeting["protocol"] == pndhal.console.PROTOCOL_VERSION
    assert console.greeting["pid"] == launched.pid
    assert console.command("battery 7").ok
    assert console.state()["device"]["power"]["battery"] == 7
    with pytest.raises(pndhal.CommandFailed) as refused:
        console.command("battery 140")
    assert refused.value.column == 9
    assert "expected a battery percentage" in refused.value.message
    reply = console.command("expect GetVolume = 1000", check=False)
    assert not reply.ok and reply.message.startswith("expected GetVolume = 1000, got ")


def test_waits_for_events_in_the_shared_schema(launched):
    console = launched.console
    console.watch()
    console.command("battery 5")
    status = console.expect_platform("power.status", battery=5)
    assert status["detail"].endswith("battery=5")
    call = console.expect_listener("power", level=5, state="battery")
    assert call["call"] == "power 5 battery" and isinstance(status["tick"], int)
    console.command("press F6")
    assert console.expect_listener("key", "key F6")["fields"] == {"key": "F6"}
    with pytest.raises(TimeoutError):
        console.expect_listener("key", "key F7", timeout=0.2)


def test_refuses_a_wrong_token_and_a_missing_token_file(launched, tmp_path):
    with pytest.raises(pndhal.AuthenticationError, match="wrong token"):
        pndhal.Console(launched.record.port, token="not-the-token")
    with pytest.raises(pndhal.AuthenticationError, match="cannot read the token file"):
        pndhal.Console(launched.record.port, token_file=str(tmp_path / "missing"))
    link = tmp_path / "link"
    link.symlink_to(launched.token_file)
    with pytest.raises(pndhal.AuthenticationError, match="Too many levels of symbolic links"):
        pndhal.Console(launched.record.port, token_file=str(link))
    # The right token still gets in afterwards.
    with launched.connect() as again:
        assert again.command("help state").ok


def test_says_when_the_device_goes_away(application):
    device = pndhal.launch([application])
    console = device.connect()
    console.watch()
    pending = console.send("wait 60s")
    device.process.kill()
    with pytest.raises(pndhal.DeviceGone):
        pending.result(10)
    with pytest.raises(pndhal.DeviceGone):
        console.expect_listener("key", timeout=10)
    with pytest.raises(pndhal.DeviceGone):
        console.command("press F6")
    assert device.stop() < 0
    assert device.record not in pndhal.devices()


def test_answers_a_thousand_pipelined_commands_in_order(launched):
    console = launched.console
    futures = [console.send(f"volume {i % 101}") for i in range(1000)]
    replies = [future.result(30) for future in futures]
    assert all(reply.ok for reply in replies)
    assert [reply.id for reply in replies] == sorted(reply.id for reply in replies)
    assert console.command("expect GetVolume = 90").ok  # the last one: 999 % 101


def test_launch_reports_an_application_that_opens_no_console(tmp_path):
    with pytest.raises(pndhal.ConsoleError, match="before its console opened"):
        pndhal.launch(["/bin/sh", "-c", "echo no console here"], wait=5)


def test_the_fixture_gives_each_test_a_fresh_device(pytester, application):
    pytester.makepyfile(
        """
        def test_changes_the_battery(device):
            device.command("battery 3")
            assert device.state()["device"]["power"]["battery"] == 3

        def test_finds_it_fresh(device):
            assert device.state()["device"]["power"]["battery"] != 3
        """
    )
    result = pytester.runpytest("-p", "pndhal.pytest_plugin", "--pndhal-launch", application)
    result.assert_outcomes(passed=2)
