"""An application launched with its device's console open, and stopped when done."""

from __future__ import annotations

import os
import secrets
import shlex
import shutil
import subprocess
import tempfile
import time
from typing import Any, Sequence

from .console import Console, ConsoleError, DeviceRecord, devices

# How often the discovery folder is looked at while the console opens.
POLL_PERIOD = 0.02


class LaunchedDevice:
    """A running application with its console open on a port and a token of its own.

    `console` is a connection to it in the JSON mode. `stop()` (or leaving a `with` block) closes the
    connection, closes the application's input, then sends SIGTERM and at last SIGKILL when it does not
    end in time."""

    def __init__(self, process: subprocess.Popen, folder: str, token_file: str, record: DeviceRecord,
                 timeout: float, stop_wait: float):
        self.process = process
        self.folder = folder
        self.token_file = token_file
        self.record = record
        self.stop_wait = stop_wait
        self.console = Console(record.port, token_file=token_file, timeout=timeout)

    @property
    def pid(self) -> int:
        return self.process.pid

    def output(self) -> str:
        """What the application printed so far (stdout and stderr together)."""
        with open(os.path.join(self.folder, "output"), encoding="utf-8", errors="replace") as out:
            return out.read()

    def connect(self, **options: Any) -> Console:
        """Another connection to its console."""
        return Console(self.record.port, token_file=self.token_file, **options)

    def stop(self) -> int:
        """Stops it and removes its private folder; answers its exit status (negative: the signal)."""
        self.console.close()
        if self.process.poll() is None:
            self.process.stdin.close()
            try:
                self.process.wait(self.stop_wait)
            except subprocess.TimeoutExpired:
                self.process.terminate()
                try:
                    self.process.wait(self.stop_wait)
                except subprocess.TimeoutExpired:
                    self.process.kill()
                    self.process.wait()
        if self.process.stdin and not self.process.stdin.closed:
            self.process.stdin.close()
        shutil.rmtree(self.folder, ignore_errors=True)
        return self.process.returncode

    def __enter__(self) -> "LaunchedDevice":
        return self

    def __exit__(self, *exc: object) -> None:
        self.stop()


def launch(command: str | Sequence[str], env: dict[str, str] | None = None, wait: float = 10.0,
           timeout: float = 10.0, stop_wait: float = 3.0, time_scale: float | None = None) -> LaunchedDevice:
    """Starts `command` (a list of words, or a text split as a shell splits a simple command) with
    PNDSIM_CONSOLE=auto and a fresh token in a private folder, waits up to `wait` seconds for its console
    to open (found by its process id in the discovery records) and connects to it. Raises ConsoleError
    when it cannot start, ends first, or does not open its console in time; it is stopped first."""
    words = shlex.split(command) if isinstance(command, str) else list(command)
    folder = tempfile.mkdtemp(prefix="pndhal-launch-")
    token_file = os.path.join(folder, "token")
    descriptor = os.open(token_file, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o600)
    with os.fdopen(descriptor, "w") as token:
        token.write(secrets.token_hex(16) + "\n")
    environment = dict(os.environ if env is None else env)
    environment.update(PNDSIM_CONSOLE="auto", PNDSIM_CONSOLE_TOKEN_FILE=token_file)
    if time_scale is not None:
        environment["PNDSIM_TIME_SCALE"] = repr(time_scale)
    output = open(os.path.join(folder, "output"), "wb")
    try:
        process = subprocess.Popen(words, stdin=subprocess.PIPE, stdout=output, stderr=subprocess.STDOUT,
                                   env=environment)
    except OSError as error:
        shutil.rmtree(folder, ignore_errors=True)
        raise ConsoleError(f"cannot start {words[0]}: {error.strerror}") from None
    finally:
        output.close()
    deadline = time.monotonic() + wait
    record = None
    while record is None:
        record = next((d for d in devices() if d.pid == process.pid), None)
        if record is not None:
            break
        try:
            # Waiting on the process is the pause between two looks at the records.
            process.wait(POLL_PERIOD)
        except subprocess.TimeoutExpired:
            pass
        if process.returncode is not None or time.monotonic() > deadline:
            with open(os.path.join(folder, "output"), encoding="utf-8", errors="replace") as out:
                said = out.read()
            if process.returncode is None:
                process.kill()
                process.wait()
                problem = f"did not open its console within {wait:g} s"
            else:
                problem = f"ended (status {process.returncode}) before its console opened"
            shutil.rmtree(folder, ignore_errors=True)
            raise ConsoleError(f"{words[0]} {problem}" + (f"; it said: {said.strip()}" if said.strip() else ""))
    try:
        return LaunchedDevice(process, folder, token_file, record, timeout, stop_wait)
    except BaseException:
        process.kill()
        process.wait()
        shutil.rmtree(folder, ignore_errors=True)
        raise
