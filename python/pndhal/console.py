"""Discovery, the token and a connection to a device's console in its JSON mode."""

from __future__ import annotations

import collections
import dataclasses
import itertools
import json
import os
import socket
import stat
import threading
import time
from concurrent.futures import Future
from typing import Any, Callable, Iterator

PROTOCOL_VERSION = 1
TOKEN_LIMIT = 4096
# Events kept for `events()` and `expect`; the oldest make room, as the console's own queues do.
EVENT_LIMIT = 65536


class ConsoleError(Exception):
    """The console could not be reached, or refused the connection."""


class AuthenticationError(ConsoleError):
    """The console refused the token, or no usable token file was found."""


class DeviceGone(ConsoleError):
    """The connection closed: the application ended or closed its console."""


class CommandFailed(ConsoleError):
    """A command was answered with a refusal."""

    def __init__(self, command: str, message: str, column: int | None = None):
        where = f" (column {column})" if column else ""
        super().__init__(f"{command}: {message}{where}")
        self.command = command
        self.message = message
        self.column = column


@dataclasses.dataclass(frozen=True)
class DeviceRecord:
    """A running device with an open console, as its discovery record describes it."""

    pid: int
    port: int
    program: str
    started: str
    process_start: int | None = None


@dataclasses.dataclass(frozen=True)
class Reply:
    """The answer to one command."""

    id: Any
    ok: bool
    output: str
    value: Any = None
    message: str | None = None
    column: int | None = None


def runtime_folder() -> str:
    """The folder of the discovery records: $XDG_RUNTIME_DIR/pndsim, else /tmp/pndsim-UID."""
    base = os.environ.get("XDG_RUNTIME_DIR")
    return os.path.join(base, "pndsim") if base else f"/tmp/pndsim-{os.getuid()}"


def _alive(pid: int) -> bool:
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    except PermissionError:
        return True
    return True


def devices() -> list[DeviceRecord]:
    """The devices whose console is open, by process id; records of ended processes are skipped."""
    folder = runtime_folder()
    found = []
    try:
        names = os.listdir(folder)
    except OSError:
        return []
    for name in names:
        if not name.endswith(".json"):
            continue
        try:
            with open(os.path.join(folder, name), encoding="utf-8") as record:
                data = json.load(record)
            device = DeviceRecord(int(data["pid"]), int(data["port"]), str(data["program"]),
                                  str(data["started"]), data.get("process_start"))
        except (OSError, ValueError, KeyError, TypeError):
            continue
        if _alive(device.pid):
            found.append(device)
    return sorted(found, key=lambda device: device.pid)


def find_device(name: str | int | None = None) -> DeviceRecord:
    """The device named by a process id, a port or a program name; None picks the only one running."""
    text = None if name is None else str(name)
    matches = [d for d in devices() if text is None or text in (str(d.pid), str(d.port), d.program)]
    if len(matches) == 1:
        return matches[0]
    if not matches:
        raise ConsoleError("no device with an open console is running" if text is None
                           else f'no running device with an open console matches "{text}"')
    raise ConsoleError(f"{len(matches)} devices match; name one by process id or port")


def token_path() -> str:
    """The token file: $PNDSIM_CONSOLE_TOKEN_FILE, else ~/.pndsim_console_token."""
    return os.environ.get("PNDSIM_CONSOLE_TOKEN_FILE") or os.path.join(
        os.path.expanduser("~"), ".pndsim_console_token")


def read_token(path: str | None = None) -> str:
    """The token in `path`, read as the console reads it: without following a link or waiting, from a
    regular file of at most 4096 bytes. Empty when the file holds only white space."""
    path = path or token_path()
    try:
        fd = os.open(path, os.O_RDONLY | os.O_NOFOLLOW | os.O_NONBLOCK | os.O_CLOEXEC)
    except OSError as error:
        raise AuthenticationError(f"cannot read the token file {path}: {error.strerror}") from None
    try:
        info = os.fstat(fd)
        if not stat.S_ISREG(info.st_mode) or info.st_size > TOKEN_LIMIT:
            raise AuthenticationError(f"the token file {path} is not a small regular file")
        return os.read(fd, TOKEN_LIMIT + 1).decode("utf-8", "replace").strip()
    finally:
        os.close(fd)


class Console:
    """One connection to a device's console in the JSON mode.

    Commands may be sent without waiting (`send` answers a Future); replies come in the order of the
    commands. Events arrive once `watch` was sent; `events` iterates them and the `expect` helpers wait
    for one that matches, consuming the events before it.
    """

    def __init__(self, port: int, token: str | None = None, token_file: str | None = None,
                 host: str = "127.0.0.1", timeout: float = 10.0):
        self.timeout = timeout
        try:
            self._socket = socket.create_connection((host, port), timeout=timeout)
        except OSError as error:
            raise ConsoleError(f"cannot connect to the console on port {port}: {error.strerror}") from None
        self._file = self._socket.makefile("rb")
        self._send_lock = threading.Lock()
        self._lock = threading.Condition()
        self._pending: collections.deque[tuple[Any, Future]] = collections.deque()
        self._events: collections.deque[dict] = collections.deque(maxlen=EVENT_LIMIT)
        self._closed_reason: str | None = None
        self._ids = itertools.count(1)
        try:
            self.greeting = self._open(token, token_file)
        except BaseException:
            self._socket.close()
            raise
        self._socket.settimeout(None)
        self._reader = threading.Thread(target=self._read, name="pndhal-console", daemon=True)
        self._reader.start()
        if self.greeting.get("auth") == "required":
            if token is None:
                token = read_token(token_file)
            reply = self.send(f"auth {token}").result(timeout)
            if not reply.ok:
                self.close()
                raise AuthenticationError(f"authentication refused: {reply.message}")

    def _line(self) -> str:
        raw = self._file.readline()
        if not raw:
            raise DeviceGone("the console closed the connection")
        return raw.decode("utf-8", "replace").rstrip("\r\n")

    def _open(self, token: str | None, token_file: str | None) -> dict:
        # The line mode's greeting, then the JSON greeting that answers "mode json".
        while True:
            line = self._line()
            if line.startswith("KO: "):
                raise ConsoleError(line[4:])
            if line == "# ready" or line.startswith("# auth required"):
                break
        self._socket.sendall(b"mode json\n")
        line = self._line()
        if line.startswith("KO: "):
            raise ConsoleError(line[4:])
        greeting = json.loads(line)
        if greeting.get("type") != "greeting":
            raise ConsoleError(f"the console has no JSON mode: it answered {line}")
        return greeting

    def _read(self) -> None:
        reason = "the console closed the connection"
        try:
            for raw in self._file:
                message = json.loads(raw)
                kind = message.get("type")
                with self._lock:
                    if kind == "reply" and self._pending:
                        _, future = self._pending.popleft()
                        future.set_result(_reply(message))
                    elif kind == "closed":
                        reason = f"the console closed the connection: {message.get('reason')}"
                    elif kind != "reply":
                        self._events.append(message)
                    self._lock.notify_all()
        except (OSError, ValueError):
            pass
        with self._lock:
            self._closed_reason = reason
            while self._pending:
                self._pending.popleft()[1].set_exception(DeviceGone(reason))
            self._lock.notify_all()

    @property
    def closed(self) -> bool:
        """Whether the connection is gone."""
        with self._lock:
            return self._closed_reason is not None

    def send(self, command: str) -> Future:
        """Sends one command without waiting; the Future gives its Reply, or DeviceGone."""
        if "\n" in command or "\r" in command:
            raise ValueError("a command is one line")
        future: Future = Future()
        with self._send_lock:
            request_id = next(self._ids)
            with self._lock:
                if self._closed_reason is not None:
                    raise DeviceGone(self._closed_reason)
                self._pending.append((request_id, future))
            data = json.dumps({"id": request_id, "command": command}).encode() + b"\n"
            try:
                self._socket.sendall(data)
            except OSError:
                # The reader fails every pending command once it sees the connection end.
                self._socket.shutdown(socket.SHUT_RDWR)
        return future

    def command(self, command: str, check: bool = True, timeout: float | None = None) -> Reply:
        """Runs one command and answers its Reply; a refusal raises CommandFailed unless `check` is off."""
        reply = self.send(command).result(timeout or self.timeout)
        if check and not reply.ok:
            raise CommandFailed(command, reply.message or "failed", reply.column)
        return reply

    def state(self) -> dict:
        """The whole device model, as the `state` command gives it."""
        return self.command("state").value

    def watch(self) -> None:
        """Starts the event stream."""
        self.command("watch")

    def unwatch(self) -> None:
        """Stops the event stream."""
        self.command("unwatch")

    def events(self, timeout: float | None = None) -> Iterator[dict]:
        """The events as they come, oldest first; ends after `timeout` seconds without one (None: when
        the connection closes)."""
        while True:
            with self._lock:
                arrived = self._lock.wait_for(lambda: self._events or self._closed_reason is not None,
                                              timeout)
                if not self._events:
                    if not arrived or self._closed_reason is not None:
                        return
                    continue
                event = self._events.popleft()
            yield event

    def expect(self, match: Callable[[dict], bool], timeout: float | None = None) -> dict:
        """Waits for the first event that `match` accepts, dropping those before it; raises TimeoutError
        when none comes within `timeout` seconds, DeviceGone when the connection closes first."""
        deadline = time.monotonic() + (timeout or self.timeout)
        while True:
            with self._lock:
                while self._events:
                    event = self._events.popleft()
                    if match(event):
                        return event
                if self._closed_reason is not None:
                    raise DeviceGone(self._closed_reason)
                left = deadline - time.monotonic()
                if left <= 0 or not self._lock.wait(left):
                    if not self._events:
                        raise TimeoutError("no matching event came")

    def expect_listener(self, kind: str, call: str | None = None, timeout: float | None = None,
                        **fields: Any) -> dict:
        """Waits for a listener call of `kind` ("key", "power", ...), with that `call` text
        ("key F6") and those field values when given."""
        return self.expect(lambda e: _matches(e, "listener", kind, "call", call, fields), timeout)

    def expect_platform(self, kind: str, detail: str | None = None, timeout: float | None = None,
                        **fields: Any) -> dict:
        """Waits for a platform effect of `kind` ("power.status", ...), with that detail text and those
        field values when given."""
        return self.expect(lambda e: _matches(e, "platform", kind, "detail", detail, fields), timeout)

    def close(self) -> None:
        """Closes the connection; commands still waiting fail with DeviceGone."""
        try:
            self._socket.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        self._socket.close()
        if hasattr(self, "_reader"):
            self._reader.join(self.timeout)

    def __enter__(self) -> "Console":
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()


def _reply(message: dict) -> Reply:
    error = message.get("error") or {}
    return Reply(message.get("id"), bool(message.get("ok")), message.get("output", ""),
                 message.get("value"), error.get("message"), error.get("column"))


def _matches(event: dict, type_: str, kind: str, text_member: str, text: str | None,
             fields: dict) -> bool:
    if event.get("type") != type_ or event.get("kind") != kind:
        return False
    if text is not None and event.get(text_member) != text:
        return False
    values = event.get("fields", {})
    return all(values.get(name) == value for name, value in fields.items())


def connect(device: DeviceRecord | str | int | None = None, **options: Any) -> Console:
    """Connects to a device: a DeviceRecord, or a process id, port or program name as find_device takes."""
    record = device if isinstance(device, DeviceRecord) else find_device(device)
    return Console(record.port, **options)
