"""TermKit for Python: drive time-attendance and access-control terminals
through the device library (libdevapi) with ctypes.

    import termkit
    with termkit.connect("udp://192.0.2.10:4370") as terminal:
        print(terminal.info().serial_number, terminal.clock)
        for user in terminal.users():
            print(user.pin, user.name)

termkit.raw offers every export of the library by name.
"""
from __future__ import annotations

from . import raw
from .errors import TerminalError
from .records import AttendanceRecord, DeviceInfo, Event, OperationRecord, User
from .terminal import Options, Terminal, TerminalValueError, connect

__version__ = "0.1.0"

__all__ = [
    "AttendanceRecord",
    "DeviceInfo",
    "Event",
    "OperationRecord",
    "Options",
    "Terminal",
    "TerminalError",
    "TerminalValueError",
    "User",
    "connect",
    "raw",
]
