"""What the views of a Terminal hand out."""
from __future__ import annotations

import dataclasses
import datetime


@dataclasses.dataclass(frozen=True)
class DeviceInfo:
    """The terminal's facts; items it does not report are empty or None."""

    firmware: str
    serial_number: str
    product: str
    platform: str
    device_name: str
    colour_screen: bool
    pin_width: int | None
    card_reader: int | None
    fingerprint_algorithm: int | None
    face_algorithm: int | None
    clock: datetime.datetime | None
    # Storage counters by name: users, administrators, fingerprints,
    # attendance_records, operation_records and the three capacities.
    counters: dict[str, int]


@dataclasses.dataclass(frozen=True)
class User:
    """One user of the terminal's table.

    ``pin`` is the terminal's internal number. Numbered terminals give
    ``pin2``, the number people see; colour-screen terminals name their users
    by ``id_text`` instead (and ``pin2`` is None).
    """

    pin: int
    name: str
    privilege: int
    enabled: bool
    card: int
    group: int
    password_set: bool
    pin2: int | None = None
    id_text: str | None = None

    @property
    def user(self) -> int | str:
        """The user as logs and deletions name them: ID text or PIN2."""
        if self.id_text is not None:
            return self.id_text
        return self.pin2 if self.pin2 else self.pin


@dataclasses.dataclass(frozen=True)
class AttendanceRecord:
    """One punch. ``user`` is the user number (an ID text on colour-screen
    terminals); ``time`` is None when the stored moment is no valid date."""

    user: int | str
    time: datetime.datetime | None
    verify_mode: int
    state: int
    work_code: int


@dataclasses.dataclass(frozen=True)
class OperationRecord:
    """One operation-log entry. On colour-screen terminals ``admin`` is an ID
    text, ``target`` the second ID text, and the time has no seconds."""

    admin: int | str
    operation: int
    params: tuple[int, ...]
    time: datetime.datetime | None
    target: str | None = None


# Names of the event kinds terminals push.
EVENT_NAMES = {1: "verification", 3: "key_press", 4: "door", 5: "alarm", 6: "enrolment"}


@dataclasses.dataclass(frozen=True)
class Event:
    """A pushed event: its kind, the terminal's payload bytes (their meaning
    is the terminal's) and when it was received (local time)."""

    kind: int
    payload: bytes
    received: datetime.datetime

    @property
    def name(self) -> str:
        return EVENT_NAMES.get(self.kind, "event")
