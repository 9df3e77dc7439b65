"""Finding and loading the device library (libdevapi.so).

Looked up in this order:

1. ``TERMKIT_LIBRARY``, a file path, when it is set;
2. beside the package: ``termkit/lib/`` or ``termkit/`` itself;
3. the system's: ``ctypes.util.find_library("devapi")``, then
   ``libdevapi.so.0`` and ``libdevapi.so`` on the loader's search path.

The engine (libdevwire) loads its transport plug-ins from beside itself, so
nothing more needs to be found here.
"""
from __future__ import annotations

import ctypes
import ctypes.util
import os
import pathlib
import threading

from ._exports import EXPORTS

ENVIRONMENT_VARIABLE = "TERMKIT_LIBRARY"
_FILE_NAMES = ("libdevapi.so", "libdevapi.so.0")

# The event callback as the library calls it on the engine's reader thread:
# (context, event kind, payload length, payload).
EventCallback = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_uint16, ctypes.c_int32,
                                 ctypes.POINTER(ctypes.c_uint8))

_KINDS = {
    "handle": ctypes.c_void_p,
    "int32": ctypes.c_int32,
    "text": ctypes.c_char_p,
    "int32_ptr": ctypes.POINTER(ctypes.c_int32),
    "bytes": ctypes.c_void_p,
    "pointer": ctypes.c_void_p,
    "bytes_array": ctypes.c_void_p,
    # c_void_p rather than EventCallback, so that None (no callback) is accepted too.
    "callback": ctypes.c_void_p,
}

_lock = threading.Lock()
_loaded: ctypes.CDLL | None = None


def ctypes_type(kind: str | None):
    """The ctypes type of a kind named in the export table (None: void)."""
    return None if kind is None else _KINDS[kind]


def candidates() -> list[str]:
    """The names tried, in order; the first that loads is taken."""
    explicit = os.environ.get(ENVIRONMENT_VARIABLE)
    if explicit:
        return [explicit]
    here = pathlib.Path(__file__).resolve().parent
    found = [str(d / n) for d in (here / "lib", here) for n in _FILE_NAMES if (d / n).is_file()]
    system = ctypes.util.find_library("devapi")
    if system:
        found.append(system)
    found.extend(n for n in reversed(_FILE_NAMES) if n not in found)
    return found


def _declare(library: ctypes.CDLL) -> None:
    for name, (result, args) in EXPORTS.items():
        try:
            function = getattr(library, name)
        except AttributeError:
            continue  # an older library: the export is simply not offered
        function.restype = ctypes_type(result)
        function.argtypes = [ctypes_type(a) for a in args]


def load() -> ctypes.CDLL:
    """The device library with every export's prototype set; loaded once."""
    global _loaded
    with _lock:
        if _loaded is not None:
            return _loaded
        tried = candidates()
        errors = []
        for name in tried:
            try:
                library = ctypes.CDLL(name)
            except OSError as error:
                errors.append(f"{name}: {error}")
                continue
            _declare(library)
            _loaded = library
            return library
        if os.environ.get(ENVIRONMENT_VARIABLE):
            hint = f"{ENVIRONMENT_VARIABLE} names a library that does not load"
        else:
            hint = f"set {ENVIRONMENT_VARIABLE} to the path of libdevapi.so"
        raise OSError(f"termkit: the device library cannot be loaded ({hint}): "
                      + "; ".join(errors))
