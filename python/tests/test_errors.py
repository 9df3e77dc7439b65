"""Failures come back as TerminalError with the call, its result and the
engine's reason."""
from __future__ import annotations

import socket

import pytest

import termkit


def _closed_tcp_port() -> int:
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def test_connect_with_nothing_listening():
    address = f"tcp://127.0.0.1:{_closed_tcp_port()}"
    with pytest.raises(termkit.TerminalError) as caught:
        termkit.connect(address)
    error = caught.value
    assert (error.call, error.result) == ("Q_Connect_NETEX", None)
    assert error.last_error != 0
    assert str(error) == f"Q_Connect_NETEX failed: no handle, Q_LastError {error.last_error}"


@pytest.fixture(scope="module")
def refusing_sim(start_termsim):
    # Enabling (1002) and event registration (500) are answered CMD_ACK_ERROR.
    return start_termsim("--profile", "ver660", "--set", "refused_commands=1002,500")


@pytest.mark.parametrize("call, export", [
    (lambda t: t.enable(), "Q_EnableDevice"),
    (lambda t: t.events(timeout=0), "Q_RegEvent"),
])
def test_refused_call(refusing_sim, call, export):
    with termkit.connect(refusing_sim.address()) as terminal:
        with pytest.raises(termkit.TerminalError) as caught:
            call(terminal)
        assert (caught.value.call, caught.value.result, caught.value.last_error) == (
            export, -2, -2001)
        assert "refused" in str(caught.value)
        terminal.disable()  # the session goes on


def test_closed_terminal_refuses_calls(numbered_sim):
    terminal = termkit.connect(numbered_sim.address())
    terminal.close()
    with pytest.raises(ValueError, match="closed"):
        terminal.users()
    with pytest.raises(ValueError, match="closed"):
        terminal.options["LockOn"]
