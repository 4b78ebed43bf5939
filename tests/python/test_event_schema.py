"""Every JSON line the tool and the console produce follows docs/events.schema.json: the lines of
`pndhal tour --json`, of `pndhal run --json` in-process, in child processes (-j) and on a launched
application, and of a console session in the JSON mode. The validator itself refuses what the schema
does not allow."""

import json
import os
import pathlib
import socket
import subprocess
import sys

import pytest

sys.path.insert(0, str(pathlib.Path(__file__).parent))
from schema_check import Validator  # noqa: E402

import pndhal  # noqa: E402

ROOT = pathlib.Path(__file__).resolve().parents[2]
SCENARIOS = sorted(str(path) for path in (ROOT / "examples" / "scenarios").glob("*.scn"))


@pytest.fixture(scope="module")
def validator():
    with open(os.environ["SCHEMA"], encoding="utf-8") as schema:
        return Validator(json.load(schema))


def tool(*args, env=None):
    return subprocess.run([os.environ["PNDHAL_TOOL"], *args], capture_output=True, text=True, timeout=120,
                          env=env).stdout


def json_lines(text):
    return [json.loads(line) for line in text.splitlines() if line.strip()]


@pytest.fixture(scope="module")
def produced(tmp_path_factory):
    """The lines of every machine-readable output, by where they came from."""
    folder = tmp_path_factory.mktemp("scripts")
    failing = folder / "failing.scn"
    failing.write_text("press F6\nexpect key Up\n")
    malformed = folder / "malformed.scn"
    malformed.write_text("battery 140\n")
    lines = {
        "tour": json_lines(tool("tour", "--json")),
        "run": json_lines(tool("run", "--json", *SCENARIOS, str(failing))),
        "run -j": json_lines(tool("run", "-j", "2", "--json", SCENARIOS[0], str(failing))),
        "faults": json_lines(tool("run", "--json", str(malformed)) + tool("run", "--json", str(folder / "none.scn"))),
        "launch": json_lines(tool("run", "--json", "--launch", os.environ["SCENARIO_DEVICE"], str(failing))),
    }
    environment = dict(os.environ, PNDSIM_CONSOLE_AUTH_TIME_LIMIT_MS="300")
    with pndhal.launch([os.environ["SCENARIO_DEVICE"]], env=environment) as device:
        console = device.console
        console.watch()
        replies = [console.send(c).result(10) for c in ("battery 5", "expect power 5 battery", "state", "pres F6")]
        events = list(console.events(timeout=0.5))
        # A connection that never sends its token is closed with a "closed" line.
        raw = socket.create_connection(("127.0.0.1", device.record.port), timeout=10)
        stream = raw.makefile("rb")
        raw.sendall(b"mode json\n")
        said = [line.decode() for line in stream if line.startswith(b"{")]
        raw.close()
    lines["console"] = [console.greeting] + [reply_object(r) for r in replies] + events + [json.loads(s) for s in said]
    return lines


def reply_object(reply):
    # The client's Reply as the console sent it.
    message = {"type": "reply", "id": reply.id, "ok": reply.ok, "output": reply.output}
    if reply.value is not None:
        message["value"] = reply.value
    if not reply.ok:
        message["error"] = {"message": reply.message}
        if reply.column:
            message["error"]["column"] = reply.column
    return message


def test_every_line_follows_the_schema(validator, produced):
    problems = [f"{origin}: {line}: {error}" for origin, lines in produced.items() for line in lines
                for error in validator.errors(line)]
    assert not problems, "\n".join(problems[:20])
    seen = {line["type"] for lines in produced.values() for line in lines}
    wanted = {"listener", "platform", "statement", "expectation", "failure", "script", "result",
              "summary", "syntax", "file", "greeting", "reply", "closed"}
    assert not wanted - seen, f"no line of type {sorted(wanted - seen)}"


@pytest.mark.parametrize("line", [
    {"type": "listener", "kind": "key", "call": "key F6", "fields": {"key": "F6"}, "tick": 1},
    {"type": "listener", "kind": "keys", "call": "key F6", "fields": {}, "tick": 1},
    {"type": "platform", "kind": "power.status", "detail": "", "fields": {"ac": [0]}, "tick": 1},
    {"type": "script", "script": "a", "verdict": "passed", "statements": 1, "expectations": 1, "seconds": 0},
    {"type": "reply", "id": 1, "ok": False, "output": "", "error": {"message": "x", "column": 0}},
    {"type": "result", "scripts": 1, "passed": 1, "failed": 0, "errors": 0, "seconds": 1, "ms": 3},
    {"type": "event", "device": "* 1.0 listener key F6"},
])
def test_the_validator_refuses_what_the_schema_does_not_allow(validator, line):
    assert validator.errors(line)
