"""The Python client of a simulated pndhal device's console.

Find running devices, connect with the token, send scenario-language commands, read the event stream
and wait for events; or launch an application with its console open and stop it afterwards. The
console's JSON mode is described in docs/console.md; the events follow docs/events.schema.json.
"""

from .console import (
    AuthenticationError,
    CommandFailed,
    Console,
    ConsoleError,
    DeviceGone,
    DeviceRecord,
    Reply,
    devices,
    find_device,
    connect,
)
from .launch import LaunchedDevice, launch

__all__ = [
    "AuthenticationError",
    "CommandFailed",
    "Console",
    "ConsoleError",
    "DeviceGone",
    "DeviceRecord",
    "LaunchedDevice",
    "Reply",
    "connect",
    "devices",
    "find_device",
    "launch",
]
