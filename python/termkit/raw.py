"""Every export of the device library, by name, with its prototype set.

    from termkit import raw
    handle = raw.Q_Connect_NET(b"127.0.0.1", 4370, None, None, 0)

Handles are ``c_void_p``; every other value is a 32-bit int; ``char*``
arguments take ``bytes`` or a ``ctypes.create_string_buffer``; byte and void
pointers take any ctypes buffer; ``int32_t*`` takes ``ctypes.byref`` of a
``c_int32`` or an array of them. The library is loaded on first use
(see termkit._library for where it is looked for). ``EventCallback`` is the
ctypes type of the event callback.
"""
from __future__ import annotations

from ._exports import EXPORTS
from ._library import EventCallback, load

__all__ = ["EXPORTS", "EventCallback", "library", *EXPORTS]


def library():
    """The loaded device library (a ctypes.CDLL)."""
    return load()


def __getattr__(name: str):
    if name in EXPORTS:
        return getattr(load(), name)
    raise AttributeError(f"module {__name__!r} has no attribute {name!r}")


def __dir__() -> list[str]:
    return sorted(set(globals()) | set(EXPORTS))
