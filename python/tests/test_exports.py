"""The generated export table and termkit.raw."""
from __future__ import annotations

import ctypes
import importlib
import importlib.machinery
import types
import os
import subprocess
import sys

import pytest

from conftest import ROOT
from termkit import raw
from termkit._exports import EXPORTS

HEADER = ROOT / "devapi" / "include" / "devapi.h"
MODULE = ROOT / "python" / "termkit" / "_exports.py"


def _load_generator():
    loader = importlib.machinery.SourceFileLoader(
        "gen_raw", str(ROOT / "python" / "tools" / "gen_raw.py"))
    module = types.ModuleType(loader.name)
    module.__file__ = loader.path
    loader.exec_module(module)
    return module


gen_raw = _load_generator()


def test_committed_table_matches_the_header():
    expected = gen_raw.render(HEADER.read_text(encoding="utf-8"))
    assert MODULE.read_text(encoding="utf-8") == expected, (
        "termkit/_exports.py is out of date with devapi/include/devapi.h: "
        "run python/tools/gen_raw.py")


@pytest.mark.parametrize("declaration, entry", [
    ("DEVAPI_API DEVAPI_HANDLE Q_Connect_NET(const char* address, int32_t port,\n"
     "    DEVAPI_EVENT_CALLBACK callback, void* context, int32_t comm_password);",
     ("Q_Connect_NET", "handle", ("text", "int32", "callback", "pointer", "int32"))),
    ("DEVAPI_API void Q_CancelByUser(DEVAPI_HANDLE handle); /* (int x); */",
     ("Q_CancelByUser", None, ("handle",))),
    ("DEVAPI_API int32_t Q_Tool(const unsigned char* const* in, uint8_t* out, int32_t* n);",
     ("Q_Tool", "int32", ("bytes_array", "bytes", "int32_ptr"))),
    ("DEVAPI_API int32_t _Q_GetBellInfo@8(DEVAPI_HANDLE h, int32_t* count);",
     ("Q_GetBellInfo", "int32", ("handle", "int32_ptr"))),
    ("DEVAPI_API int32_t Q_Nothing(void);", ("Q_Nothing", "int32", ())),
])
def test_declarations_become_entries(declaration, entry):
    assert gen_raw.parse(declaration) == [entry]


@pytest.mark.parametrize("declaration", [
    "DEVAPI_API double Q_Ratio(DEVAPI_HANDLE h);",
    "DEVAPI_API int32_t Q_Wide(DEVAPI_HANDLE h, int64_t value);",
    "DEVAPI_API int32_t Q_Twice(DEVAPI_HANDLE h);\nDEVAPI_API int32_t Q_Twice(DEVAPI_HANDLE h);",
])
def test_unknown_declarations_stop_the_generator(declaration):
    with pytest.raises(gen_raw.HeaderError):
        gen_raw.parse(declaration)


def test_raw_offers_every_export_with_its_prototype():
    for name, (result, args) in EXPORTS.items():
        function = getattr(raw, name)
        assert len(function.argtypes) == len(args), name
    assert raw.Q_Connect_NET.restype is ctypes.c_void_p
    assert raw.Q_Connect_NET.argtypes[0] is ctypes.c_char_p
    assert raw.Q_GetTime.argtypes[1] is ctypes.POINTER(ctypes.c_int32)
    assert raw.Q_CancelByUser.restype is None
    version = ctypes.create_string_buffer(16)
    assert raw.Q_GetSDKVersion(version) == 1 and version.value == b"5.2.0.47.U.3"
    with pytest.raises(AttributeError):
        raw.Q_NoSuchExport


def test_library_named_by_the_environment_must_load(tmp_path):
    env = dict(os.environ, TERMKIT_LIBRARY=str(tmp_path / "libnothing.so"))
    code = "import termkit; termkit.raw.Q_GetSDKVersion"
    result = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                            env=env, cwd=ROOT / "python")
    assert result.returncode != 0
    assert "TERMKIT_LIBRARY names a library that does not load" in result.stderr


def test_library_lookup_order(tmp_path, monkeypatch):
    from termkit import _library

    package = tmp_path / "termkit"
    (package / "lib").mkdir(parents=True)
    (package / "lib" / "libdevapi.so").touch()
    (package / "libdevapi.so.0").touch()
    monkeypatch.setattr(_library, "__file__", str(package / "_library.py"))
    monkeypatch.delenv("TERMKIT_LIBRARY", raising=False)
    found = _library.candidates()
    assert found[:2] == [str(package / "lib" / "libdevapi.so"), str(package / "libdevapi.so.0")]
    assert found[-2:] == ["libdevapi.so.0", "libdevapi.so"]
    monkeypatch.setenv("TERMKIT_LIBRARY", "/opt/termkit/libdevapi.so")
    assert _library.candidates() == ["/opt/termkit/libdevapi.so"]
