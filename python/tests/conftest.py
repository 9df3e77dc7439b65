"""Fixtures: the termsim program on a free loopback port, and connections to it.

TERMKIT_LIBRARY and TERMSIM name the device library and the simulator (ctest
sets both); without them the ones of ./build/bin in the source tree are used.
"""
from __future__ import annotations

import os
import pathlib
import select
import signal
import subprocess
import sys
import time

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
BUILT = ROOT / "build" / "bin"
sys.path.insert(0, str(ROOT / "python"))
if not os.environ.get("TERMKIT_LIBRARY") and (BUILT / "libdevapi.so").is_file():
    os.environ["TERMKIT_LIBRARY"] = str(BUILT / "libdevapi.so")

import termkit  # noqa: E402

# A numbered terminal with wide user numbers (PIN2) and both logs.
NUMBERED_DATA = """\
[options]
~DeviceName=Front door
~SerialNumber=DEMO0000000042
LockOn=100

[users]
pin=1\tpin2=1001\tname=Ada\tpassword=4321\tprivilege=14\tcard=12345678\tgroup=1
pin=2\tpin2=1002\tname=Bruno\tgroup=1
pin=3\tpin2=1003\tname=Chidi\tcard=87654321\tgroup=2

[attendance]
1001,1001,1,0,2024-05-06 08:01:12
1002,1002,1,0,2024-05-06 08:14:40
1003,1003,4,0,2024-05-06 08:29:05,7
1001,1001,1,1,2024-05-06 17:02:33
1002,1002,1,1,2024-05-07 17:30:00

[oplog]
1,1001,0,2024-05-06 07:45:00
1,1001,6,2024-05-06 07:47:10,1003,0,0,0,1003
"""

# A colour-screen terminal: users named by ID text.
COLOUR_DATA = """\
[users]
pin=1\tid=A100\tname=Ada Lovelace\tpassword=4321\tprivilege=14\tcard=12345678\tgroup=1
pin=2\tid=77\tname=Bruno\tgroup=1

[attendance]
0,A100,1,0,2024-05-06 08:01:12
0,77,1,1,2024-05-06 17:30:00,5

[oplog]
1,A100,0,2024-05-06 07:45:00
1,A100,6,2024-05-06 07:47:10,2,0,0,0,77
"""


def termsim_program() -> str:
    program = os.environ.get("TERMSIM") or str(BUILT / "termsim")
    if not os.access(program, os.X_OK):
        pytest.skip(f"no termsim program at {program} (set TERMSIM)")
    return program


class Termsim:
    """One termsim process listening on UDP (and TCP when asked) ports that
    the system picked."""

    def __init__(self, args: list[str], tcp: bool = False,
                 usb: pathlib.Path | None = None) -> None:
        links = ["--udp", "127.0.0.1:0"] if usb is None else ["--usb", str(usb)]
        if tcp:
            links += ["--tcp", "127.0.0.1:0"]
        command = [termsim_program(), *links, "--no-search", *args]
        self.process = subprocess.Popen(command, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE)
        self.errors = ""
        self.ports = self._wait_listening(len(links) // 2)

    def _wait_listening(self, count: int) -> dict[str, int]:
        ports: dict[str, int] = {}
        pending = b""
        deadline = time.monotonic() + 10
        out = self.process.stdout.fileno()
        while len(ports) < count:
            ready, _, _ = select.select([out], [], [], max(deadline - time.monotonic(), 0))
            chunk = os.read(out, 4096) if ready else b""
            if not chunk:
                self.stop()
                raise RuntimeError(f"termsim did not start: {self.errors}")
            pending += chunk
            *lines, pending = pending.split(b"\n")
            for line in lines:
                # "termsim: listening on udp 127.0.0.1:PORT", "termsim: serving usb PATH"
                words = line.decode().split()
                if len(words) == 5 and words[1:3] == ["listening", "on"]:
                    ports[words[3]] = int(words[4].rpartition(":")[2])
                elif words[1:3] == ["serving", "usb"]:
                    ports["usb"] = 1
        return ports

    def address(self, scheme: str = "udp") -> str:
        if scheme == "usb":
            return "usb://1"
        return f"{scheme}://127.0.0.1:{self.ports[scheme]}"

    def stop(self) -> None:
        if self.process.stdout.closed:
            return
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.errors = self.process.stderr.read().decode(errors="replace")
        self.process.stdout.close()
        self.process.stderr.close()


@pytest.fixture(scope="module")
def start_termsim(tmp_path_factory):
    """start_termsim(*args, data=TEXT, tcp=False, usb=DIR) -> a running
    Termsim; all are stopped when the module's tests are done."""
    started: list[Termsim] = []

    def start(*args: str, data: str | None = None, tcp: bool = False,
              usb: pathlib.Path | None = None) -> Termsim:
        args_list = list(args)
        if data is not None:
            path = tmp_path_factory.mktemp("termsim") / "terminal.data"
            path.write_text(data)
            args_list += ["--data", str(path)]
        sim = Termsim(args_list, tcp=tcp, usb=usb)
        started.append(sim)
        return sim

    yield start
    for sim in started:
        sim.stop()


@pytest.fixture(scope="module")
def numbered_sim(start_termsim):
    return start_termsim("--profile", "ver660", data=NUMBERED_DATA, tcp=True)


@pytest.fixture(scope="module")
def colour_sim(start_termsim):
    return start_termsim("--profile", "tft", data=COLOUR_DATA)


@pytest.fixture
def numbered(numbered_sim):
    with termkit.connect(numbered_sim.address()) as terminal:
        yield terminal


@pytest.fixture
def colour(colour_sim):
    with termkit.connect(colour_sim.address()) as terminal:
        yield terminal
