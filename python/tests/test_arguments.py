"""Wrong arguments are refused in Python, before the library is asked to send
anything."""
from __future__ import annotations

import datetime

import pytest

import termkit
from termkit import terminal as terminal_module

dt = datetime.datetime

# Exports that only read the session's own state and send nothing.
_LOCAL = {"Q_IsTFTMachine", "Q_LastError"}


class RecordingLibrary:
    """Passes calls to the real library and notes which exports were used."""

    def __init__(self, library) -> None:
        self._library = library
        self.called: list[str] = []

    def __getattr__(self, name: str):
        function = getattr(self._library, name)

        def call(*args):
            self.called.append(name)
            return function(*args)

        return call


@pytest.mark.parametrize("address, kwargs, error", [
    ("http://127.0.0.1:4370", {}, ValueError),
    ("127.0.0.1:4370", {}, ValueError),
    ("udp://", {}, ValueError),
    ("udp://:4370", {}, ValueError),
    ("udp://127.0.0.1:0", {}, ValueError),
    ("udp://127.0.0.1:65536", {}, ValueError),
    ("tcp://127.0.0.1:http", {}, ValueError),
    ("udp://127.0.0.1/path:4370", {}, ValueError),
    ("usb://256", {}, ValueError),
    (4370, {}, TypeError),
    ("udp://127.0.0.1:4370", {"password": -1}, ValueError),
    ("udp://127.0.0.1:4370", {"password": "0"}, TypeError),
    ("udp://127.0.0.1:4370", {"timeout": -1}, ValueError),
    ("udp://127.0.0.1:4370", {"encoding": "no-such-code-page"}, ValueError),
])
def test_connect_refuses_bad_arguments_without_loading(monkeypatch, address, kwargs, error):
    def no_library():
        raise AssertionError("the library was asked for")

    monkeypatch.setattr(terminal_module._library, "load", no_library)
    with pytest.raises(error):
        termkit.connect(address, **kwargs)


def assert_refused_before_sending(terminal, case, error) -> None:
    library = RecordingLibrary(terminal._lib)
    terminal._lib = library
    try:
        with pytest.raises(error):
            case(terminal)
    finally:
        terminal._lib = library._library
    assert set(library.called) <= _LOCAL


def _long(n: int) -> str:
    return "x" * n


NUMBERED_CASES = [
    (lambda t: t.add_user(0, "Ann"), ValueError),
    (lambda t: t.add_user(65535, "Ann"), ValueError),
    (lambda t: t.add_user("7", "Ann"), TypeError),
    (lambda t: t.add_user(7, _long(9)), ValueError),
    (lambda t: t.add_user(7, "Ann", password="123456"), ValueError),
    (lambda t: t.add_user(7, "Ann", privilege=16), ValueError),
    (lambda t: t.add_user(7, "Ann", card=-1), ValueError),
    (lambda t: t.add_user(7, "Ann", card=1 << 32), ValueError),
    (lambda t: t.add_user(7, "Ann", group=100), ValueError),
    (lambda t: t.add_user(7, "Ann", pin2=0), ValueError),
    (lambda t: t.add_user(7, "An\0n"), ValueError),
    (lambda t: t.delete_user(0), ValueError),
    (lambda t: setattr(t, "clock", "2024-05-06 08:00:00"), TypeError),
    (lambda t: setattr(t, "clock", dt(1999, 12, 31, 23, 59, 59)), ValueError),
    (lambda t: setattr(t, "clock", dt(2100, 1, 1)), ValueError),
    (lambda t: t.attendance(since="2024-05-06"), TypeError),
    (lambda t: t.attendance(since=dt(2024, 5, 6), new_only=True), ValueError),
    (lambda t: t.attendance(since=dt(2024, 5, 7), until=dt(2024, 5, 6)), ValueError),
    (lambda t: t.unlock(0), ValueError),
    (lambda t: t.unlock(256), ValueError),
    (lambda t: t.beep(5101), ValueError),
    (lambda t: t.events(timeout=-1), ValueError),
    (lambda t: t.events(mask=1 << 32), ValueError),
    (lambda t: t.options[""], ValueError),
    (lambda t: t.options["A=B"], ValueError),
    (lambda t: t.options.__setitem__("LockOn", None), TypeError),
]


@pytest.mark.parametrize("case, error", NUMBERED_CASES)
def test_numbered_terminal_refuses_before_sending(numbered, case, error):
    assert_refused_before_sending(numbered, case, error)


COLOUR_CASES = [
    (lambda t: t.add_user("", "Ann"), ValueError),
    (lambda t: t.add_user(_long(25), "Ann"), ValueError),
    (lambda t: t.add_user("A\t1", "Ann"), ValueError),
    (lambda t: t.add_user("A1", _long(25)), ValueError),
    (lambda t: t.add_user("A1", "Ann", password="123456789"), ValueError),
    (lambda t: t.add_user("A1", "Ann", pin2=5), ValueError),
    (lambda t: t.delete_user(_long(25)), ValueError),
]


@pytest.mark.parametrize("case, error", COLOUR_CASES)
def test_colour_screen_terminal_refuses_before_sending(colour, case, error):
    assert_refused_before_sending(colour, case, error)


def test_a_library_refusal_is_a_value_error(numbered):
    # The library's own limit: the scrambled option request must fit 140 bytes.
    with pytest.raises(termkit.TerminalValueError) as caught:
        numbered.options["LockOn"] = "9" * 200
    assert isinstance(caught.value, ValueError)
    assert (caught.value.call, caught.value.result) == ("Q_SetSysOption", 4)
