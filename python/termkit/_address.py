"""Terminal addresses: udp://host[:port], tcp://host[:port], usb://[N]."""
from __future__ import annotations

import dataclasses

DEFAULT_PORT = 4370
DEFAULT_USB_DEVICE = 1


@dataclasses.dataclass(frozen=True)
class Address:
    scheme: str
    host: str  # empty for usb
    port: int  # the device number for usb

    def __str__(self) -> str:
        if self.scheme == "usb":
            return f"usb://{self.port}"
        return f"{self.scheme}://{self.host}:{self.port}"


def _number(text: str, low: int, high: int, what: str, address: str) -> int:
    if not text.isdigit() or not low <= int(text) <= high:
        raise ValueError(f"bad {what} {text!r} in {address!r} ({low}-{high})")
    return int(text)


def parse(address: str) -> Address:
    """The parts of an address; ValueError for anything else."""
    if not isinstance(address, str):
        raise TypeError(f"address must be a str, not {type(address).__name__}")
    scheme, sep, rest = address.partition("://")
    if not sep:
        raise ValueError(f"{address!r} is no address (expected udp://host[:port])")
    if scheme not in ("udp", "tcp", "usb"):
        raise ValueError(f"unknown address scheme {scheme!r} (use udp://, tcp:// or usb://)")
    rest = rest.rstrip("/")
    if scheme == "usb":
        device = DEFAULT_USB_DEVICE
        if rest:
            device = _number(rest, 0, 255, "device number", address)
        return Address(scheme, "", device)
    host, colon, port_text = rest.rpartition(":")
    if not colon:
        host, port = rest, DEFAULT_PORT
    else:
        port = _number(port_text, 1, 65535, "port", address)
    if not host:
        raise ValueError(f"no host in {address!r}")
    if any(c in host for c in "/:@?#\0") or any(c.isspace() for c in host):
        raise ValueError(f"bad host {host!r} in {address!r}")
    return Address(scheme, host, port)
