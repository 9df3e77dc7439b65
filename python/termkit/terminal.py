"""A connected terminal and its views, over the device library's exports."""
from __future__ import annotations

import codecs
import ctypes
import datetime
import queue
import time
from typing import Callable, Iterator, TypeVar

from . import _address, _library, _moments
from .errors import TerminalError
from .records import AttendanceRecord, DeviceInfo, Event, OperationRecord, User

# Events kept for the host when it does not read them (the oldest stay).
EVENT_BACKLOG = 10000
# The reply code a terminal sends for an unknown option, negated.
_REFUSED = -2001

# Storage counters (Q_GetDeviceStatus index, name) that info() reads.
_COUNTERS = (
    (2, "users"),
    (1, "administrators"),
    (3, "fingerprints"),
    (6, "attendance_records"),
    (5, "operation_records"),
    (8, "user_capacity"),
    (7, "fingerprint_capacity"),
    (9, "record_capacity"),
)

# Field limits of the two kinds of user table, in bytes.
_NUMBERED_NAME_MAX, _NUMBERED_PASSWORD_MAX = 8, 5
_ID_TEXT_MAX, _ID_NAME_MAX, _ID_PASSWORD_MAX = 24, 24, 8

_int32 = ctypes.c_int32
T = TypeVar("T")


class TerminalValueError(TerminalError, ValueError):
    """The library refused an argument (result 4) before sending anything."""


def _check_int(value: object, low: int, high: int, what: str) -> int:
    if isinstance(value, bool) or not isinstance(value, int):
        raise TypeError(f"{what} must be an int, not {type(value).__name__}")
    if not low <= value <= high:
        raise ValueError(f"{what} {value} is outside {low}-{high}")
    return value


def _check_text(value: object, max_bytes: int, what: str, encoding: str,
                allow_empty: bool = True) -> bytes:
    if not isinstance(value, str):
        raise TypeError(f"{what} must be a str, not {type(value).__name__}")
    data = value.encode(encoding)
    if b"\0" in data:
        raise ValueError(f"{what} holds a NUL character")
    if not data and not allow_empty:
        raise ValueError(f"{what} is empty")
    if len(data) > max_bytes:
        raise ValueError(f"{what} {value!r} is longer than {max_bytes} bytes")
    return data


def _check_id_text(value: object) -> bytes:
    if isinstance(value, int) and not isinstance(value, bool):
        value = str(value)
    data = _check_text(value, _ID_TEXT_MAX, "user ID", "ascii", allow_empty=False)
    if any(b < 0x20 or b == 0x7F for b in data):
        raise ValueError(f"user ID {value!r} holds a control character")
    return data


def _trimmed(buffer: ctypes.Array, encoding: str) -> str:
    return buffer.value.decode(encoding, "replace").rstrip(" \r\n")


def _walk(found: int, next_row: Callable[[], T | None]) -> Iterator[T]:
    """Every row of a download that `found` (1) records, read out at once: the
    library keeps one download per session, so a later call must not cut a
    walk short."""
    rows: list[T] = []
    while found == 1:
        row = next_row()
        if row is None:
            break
        rows.append(row)
    return iter(rows)


def _event_sink(events: queue.Queue) -> Callable:
    """The ctypes callback for the engine's reader thread. It only copies the
    payload (valid during the call alone) into the queue: any other work
    there would hold up reading from the terminal."""

    def on_event(context, kind, length, payload, put=events.put_nowait):
        try:
            put((kind, ctypes.string_at(payload, length) if length > 0 and payload else b"",
                 time.time()))
        except queue.Full:
            pass

    return _library.EventCallback(on_event)


class Options:
    """The terminal's options by name: ``terminal.options["~DeviceName"]``.

    Reading an option the terminal does not know raises KeyError; values are
    texts (an int given to a write is written as its decimal text). Options
    cannot be listed."""

    def __init__(self, terminal: Terminal) -> None:
        self._terminal = terminal

    def _name(self, name: object) -> bytes:
        data = _check_text(name, 100, "option name", "ascii", allow_empty=False)
        if b"=" in data:
            raise ValueError(f"option name {name!r} holds '='")
        return data

    def __getitem__(self, name: str) -> str:
        t = self._terminal
        value = ctypes.create_string_buffer(1024)
        result = t._lib.Q_GetSysOption(t._live(), self._name(name), value)
        if result == 1:
            return _trimmed(value, t.encoding)
        error = t._error("Q_GetSysOption", result)
        if result == -2 and error.last_error == _REFUSED:
            raise KeyError(name)
        raise error

    def get(self, name: str, default: str | None = None) -> str | None:
        try:
            return self[name]
        except KeyError:
            return default

    def __contains__(self, name: object) -> bool:
        return self.get(name) is not None  # type: ignore[arg-type]

    def __setitem__(self, name: str, value: str | int) -> None:
        if isinstance(value, int) and not isinstance(value, bool):
            value = str(value)
        data = _check_text(value, 1000, "option value", self._terminal.encoding)
        self._terminal._call("Q_SetSysOption", self._name(name), data)

    def refresh(self) -> None:
        """Makes the terminal take up the options written (Q_RefreshOptions)."""
        self._terminal._call("Q_RefreshOptions")


class Terminal:
    """A connected terminal; made by :func:`termkit.connect`.

    Use it from one thread at a time (events() may be consumed anywhere).
    Close it with close() or a ``with`` block."""

    def __init__(self, handle: int, address: _address.Address, encoding: str,
                 callback: Callable, events: queue.Queue) -> None:
        self._lib = _library.load()
        self._handle: int | None = handle
        self._address = address
        self.encoding = encoding
        # The engine calls these until the session is closed.
        self._callback = callback
        self._events = events
        self.options = Options(self)

    # ---- session ----

    @property
    def handle(self) -> int:
        """The library's handle, for calls through termkit.raw."""
        return self._live()

    @property
    def address(self) -> str:
        return str(self._address)

    @property
    def closed(self) -> bool:
        return self._handle is None

    def close(self) -> None:
        """Ends the session (Q_Close). Closing twice does nothing."""
        handle, self._handle = self._handle, None
        if handle is not None:
            self._lib.Q_Close(handle)
            self._wake_event_readers()

    def __enter__(self) -> Terminal:
        return self

    def __exit__(self, *exc_info: object) -> None:
        self.close()

    def __del__(self) -> None:
        try:
            self.close()
        except Exception:  # the interpreter may be shutting down
            pass

    def __repr__(self) -> str:
        state = "closed" if self.closed else "open"
        return f"<termkit.Terminal {self.address} {state}>"

    def _live(self) -> int:
        if self._handle is None:
            raise ValueError("the terminal is closed")
        return self._handle

    def _error(self, call: str, result: int) -> TerminalError:
        last = self._lib.Q_LastError(self._handle)
        kind = TerminalValueError if result == 4 else TerminalError
        return kind(call, result, last)

    def _call(self, name: str, *args: object, ok: tuple[int, ...] = (1,)) -> int:
        """Calls an export with the handle first; TerminalError unless the
        result is one of `ok`."""
        result = getattr(self._lib, name)(self._live(), *args)
        if result not in ok:
            raise self._error(name, result)
        return result

    def _is_colour_screen(self) -> bool:
        flag = _int32()
        return self._lib.Q_IsTFTMachine(self._live(), ctypes.byref(flag)) == 1 and flag.value == 1

    def _pin_width(self) -> int | None:
        width = _int32()
        if self._lib.Q_GetPINWidth(self._live(), ctypes.byref(width)) != 1:
            return None
        return width.value

    # ---- device facts and clock ----

    def info(self) -> DeviceInfo:
        """Everything the terminal tells about itself; what it lacks is left
        empty (texts) or None (numbers)."""
        text = ctypes.create_string_buffer(256)
        self._call("Q_GetFirmwareVersion", text)
        firmware = _trimmed(text, self.encoding)

        def text_of(call: str) -> str:
            buffer = ctypes.create_string_buffer(256)
            ok = getattr(self._lib, call)(self._live(), buffer) == 1
            return _trimmed(buffer, self.encoding) if ok else ""

        counters = {}
        for index, name in _COUNTERS:
            value = _int32()
            if self._lib.Q_GetDeviceStatus(self._live(), index, ctypes.byref(value)) == 1:
                counters[name] = value.value
        card = _int32()
        has_card = self._lib.Q_GetCardFun(self._live(), ctypes.byref(card)) == 1
        algorithms = (_int32 * 2)()
        has_algorithms = self._lib.Q_GetKeyOptions(self._live(), algorithms) == 1
        try:
            clock = self.clock
        except (TerminalError, ValueError):
            clock = None
        return DeviceInfo(
            firmware=firmware,
            serial_number=text_of("Q_GetSerialNumber"),
            product=text_of("Q_GetProductName"),
            platform=self.options.get("~Platform") or "",
            device_name=self.options.get("~DeviceName") or "",
            colour_screen=self._is_colour_screen(),
            pin_width=self._pin_width(),
            card_reader=card.value if has_card else None,
            fingerprint_algorithm=algorithms[0] if has_algorithms else None,
            face_algorithm=algorithms[1] if has_algorithms else None,
            clock=clock,
            counters=counters,
        )

    @property
    def clock(self) -> datetime.datetime:
        """The terminal's clock (local time, whole seconds). Set it with a
        datetime of the years 2000-2099; an aware one is taken in local time."""
        fields = [_int32() for _ in range(6)]
        self._call("Q_GetTime", *(ctypes.byref(f) for f in fields))
        moment = _moments.from_fields(*(f.value for f in fields))
        if moment is None:
            raise ValueError("the terminal's clock reads no valid date: "
                             + " ".join(str(f.value) for f in fields))
        return moment

    @clock.setter
    def clock(self, moment: datetime.datetime) -> None:
        self._call("Q_SetTime", *_moments.to_fields(moment, "clock"))

    # ---- users ----

    def users(self) -> Iterator[User]:
        """Every user of the terminal's table (downloaded at once)."""
        colour = self._is_colour_screen()
        if colour:
            # ID texts come back only once the user-number width is known.
            self._pin_width()
        found = self._call("Q_ReadUserInfo", ok=(0, 1))
        return _walk(found, self._next_id_text_user if colour else self._next_numbered_user)

    def _next_numbered_user(self) -> User | None:
        pin, privilege, enabled, pin2, group = (_int32() for _ in range(5))
        name = ctypes.create_string_buffer(32)
        password = ctypes.create_string_buffer(16)
        card = ctypes.create_string_buffer(8)
        time_zones = (_int32 * 4)()
        r = self._call("Q_GetUserInfo", ctypes.byref(pin), name, ctypes.byref(privilege),
                       ctypes.byref(enabled), password, card, ctypes.byref(pin2),
                       ctypes.byref(group), time_zones, ok=(0, 1))
        if r == 0:
            return None
        return User(pin=pin.value, name=name.value.decode(self.encoding, "replace"),
                    privilege=privilege.value, enabled=bool(enabled.value),
                    # The card number is the first four of the five card bytes.
                    card=int.from_bytes(card.raw[:4], "little"), group=group.value,
                    password_set=bool(password.value), pin2=pin2.value)

    def _next_id_text_user(self) -> User | None:
        pin, privilege, enabled, card, group = (_int32() for _ in range(5))
        id_text = ctypes.create_string_buffer(_ID_TEXT_MAX + 1)
        name = ctypes.create_string_buffer(_ID_NAME_MAX + 1)
        password = ctypes.create_string_buffer(_ID_PASSWORD_MAX + 1)
        tz_words = (_int32 * 4)()
        r = self._call("SSR_Q_GetUserInfo", ctypes.byref(pin), id_text, name,
                       ctypes.byref(privilege), ctypes.byref(enabled), password,
                       ctypes.byref(card), ctypes.byref(group), tz_words, ok=(0, 1))
        if r == 0:
            return None
        return User(pin=pin.value, name=name.value.decode(self.encoding, "replace"),
                    privilege=privilege.value, enabled=bool(enabled.value),
                    card=card.value & 0xFFFFFFFF, group=group.value,
                    password_set=bool(password.value),
                    id_text=id_text.value.decode("ascii", "replace"))

    def add_user(self, user: int | str, name: str, *, privilege: int = 0, password: str = "",
                 card: int = 0, group: int = 1, pin2: int | None = None,
                 enabled: bool = True) -> None:
        """Writes one user (replacing the one it names).

        ``user`` is the PIN (1-65534) on numbered terminals, the ID text (1-24
        characters) on colour-screen ones. Names take 8 bytes and passwords 5
        on numbered terminals, 24 and 8 on colour-screen ones; ``pin2``
        (default: the PIN) is for numbered terminals only. The user follows
        its group's time zones."""
        _check_int(privilege, 0, 15, "privilege")
        _check_int(card, 0, 0xFFFFFFFF, "card")
        _check_int(group, 0, 99, "group")
        if not isinstance(enabled, bool):
            raise TypeError("enabled must be a bool")
        if self._is_colour_screen():
            if pin2 is not None:
                raise ValueError("pin2 is for terminals without ID texts")
            id_text = _check_id_text(user)
            name_bytes = _check_text(name, _ID_NAME_MAX, "name", self.encoding)
            password_bytes = _check_text(password, _ID_PASSWORD_MAX, "password", self.encoding)
            # The card number travels as its four bytes.
            card_number = _int32(ctypes.c_uint32(card).value)
            self._call("SSR_Q_SetUserInfo", id_text, name_bytes, privilege, int(enabled),
                       password_bytes, ctypes.byref(card_number), group, None)
            return
        pin = _check_int(user, 1, 65534, "PIN")
        pin2 = _check_int(pin if pin2 is None else pin2, 1, 0x7FFFFFFF, "pin2")
        name_bytes = _check_text(name, _NUMBERED_NAME_MAX, "name", self.encoding)
        password_bytes = _check_text(password, _NUMBERED_PASSWORD_MAX, "password", self.encoding)
        card_bytes = (ctypes.c_uint8 * 5)(*card.to_bytes(4, "little"), 0)
        follow_group = (_int32 * 4)(-1, 0, 0, 0)
        self._call("Q_SetUserInfo", pin, name_bytes, privilege, int(enabled), password_bytes,
                   card_bytes, pin2, group, follow_group)

    def delete_user(self, user: int | str) -> None:
        """Deletes one user: by PIN on numbered terminals, by ID text on
        colour-screen ones. KeyError when there is no such user."""
        if self._is_colour_screen():
            id_text = _check_id_text(user)
            if self._call("SSR_Q_DelUser", id_text, ok=(0, 1)) == 0:
                raise KeyError(user)
            return
        pin = _check_int(user, 1, 65534, "PIN")
        found = self._call("Q_ReadUserInfo", ok=(0, 1))
        pin2 = self._lib.Q_GetUserPIN2(self._live(), pin)
        if found == 0 or pin2 == -1:
            raise KeyError(user)
        # Q_DelUser takes the number people see on terminals with wide user
        # numbers; make sure that number maps back to this very user.
        width = self._pin_width() or 5
        number = pin2 if width > 5 and pin2 > 0 else pin
        if number != pin:
            mapped = self._lib.Q_GetUserID(self._live(), number)
            if mapped != pin:
                raise TerminalError("Q_GetUserID", mapped, self._lib.Q_LastError(self._live()))
        if self._call("Q_DelUser", number, ok=(0, 1)) == 0:
            raise KeyError(user)

    # ---- logs ----

    def attendance(self, since: datetime.datetime | None = None,
                   until: datetime.datetime | None = None,
                   new_only: bool = False) -> Iterator[AttendanceRecord]:
        """The attendance records: all of them, those between `since` and
        `until` (either may be left out; a date alone as `until` means its
        end), or with ``new_only`` those the host has not taken yet."""
        if not isinstance(new_only, bool):
            raise TypeError("new_only must be a bool")
        ranged = since is not None or until is not None
        if new_only and ranged:
            raise ValueError("new_only does not go with since/until")
        if ranged:
            start = _moments.EARLIEST if since is None else since
            if until is None:
                end = _moments.LATEST
            elif isinstance(until, datetime.date) and not isinstance(until, datetime.datetime):
                end = datetime.datetime.combine(until, datetime.time(23, 59, 59))
            else:
                end = until
            start_fields = _moments.to_fields(start, "since")
            end_fields = _moments.to_fields(end, "until")
            if start_fields > end_fields:
                raise ValueError(f"since {start} is after until {end}")
        colour = self._is_colour_screen()
        if colour:
            # The ID texts of the records are cut to the user-number width.
            self._pin_width()
        if ranged:
            found = self._call("Q_ReadTimeLog", *start_fields, *end_fields, ok=(0, 1))
        else:
            found = self._call("Q_ReadLog", 1 if new_only else 0, ok=(0, 1))
        return _walk(found, self._next_id_text_punch if colour else self._next_numbered_punch)

    def _next_numbered_punch(self) -> AttendanceRecord | None:
        user, year, month, day, hour, minute, second, work, reserved = (
            _int32() for _ in range(9))
        verify, state = ctypes.c_uint8(), ctypes.c_uint8()
        fields = (year, month, day, hour, minute, second)
        r = self._call("Q_GetExtLog", ctypes.byref(user), ctypes.byref(verify),
                       ctypes.byref(state), *(ctypes.byref(f) for f in fields),
                       ctypes.byref(work), ctypes.byref(reserved), ok=(0, 1))
        if r == 0:
            return None
        return AttendanceRecord(user=user.value,
                                time=_moments.from_fields(*(f.value for f in fields)),
                                verify_mode=verify.value, state=state.value,
                                work_code=work.value)

    def _next_id_text_punch(self) -> AttendanceRecord | None:
        user_id = ctypes.create_string_buffer(_ID_TEXT_MAX + 1)
        verify, state = ctypes.c_uint8(), ctypes.c_uint8()
        fields = [_int32() for _ in range(6)]
        work = _int32()
        r = self._call("Q_SSR_GetLog", user_id, ctypes.byref(verify), ctypes.byref(state),
                       *(ctypes.byref(f) for f in fields), ctypes.byref(work), ok=(0, 1))
        if r == 0:
            return None
        return AttendanceRecord(user=user_id.value.decode("ascii", "replace"),
                                time=_moments.from_fields(*(f.value for f in fields)),
                                verify_mode=verify.value, state=state.value,
                                work_code=work.value)

    def oplog(self) -> Iterator[OperationRecord]:
        """The operation log (downloaded at once)."""
        found = self._call("Q_ReadOpLog", 0, ok=(0, 1))
        return _walk(found, self._next_id_text_operation if self._is_colour_screen()
                     else self._next_numbered_operation)

    def _next_numbered_operation(self) -> OperationRecord | None:
        admin, operation = _int32(), _int32()
        params = (_int32 * 4)()
        fields = [_int32() for _ in range(6)]
        r = self._call("Q_GetOpLog", ctypes.byref(admin), ctypes.byref(operation), params,
                       *(ctypes.byref(f) for f in fields), ok=(0, 1))
        if r == 0:
            return None
        return OperationRecord(admin=admin.value, operation=operation.value,
                               params=tuple(params),
                               time=_moments.from_fields(*(f.value for f in fields)))

    def _next_id_text_operation(self) -> OperationRecord | None:
        admin_id = ctypes.create_string_buffer(24)
        second_id = ctypes.create_string_buffer(24)
        time_text = ctypes.create_string_buffer(17)
        operation = _int32()
        # Three parameters; the fourth slot is room to spare.
        params = (_int32 * 4)()
        r = self._call("Q_SSR_GetOpLog", admin_id, second_id, ctypes.byref(operation),
                       time_text, params, ok=(0, 1))
        if r == 0:
            return None
        return OperationRecord(admin=admin_id.value.decode("ascii", "replace"),
                               operation=operation.value, params=tuple(params[:3]),
                               time=_moments.from_text(time_text.value.decode("ascii",
                                                                              "replace")),
                               target=second_id.value.decode("ascii", "replace") or None)

    # ---- real-time events ----

    def events(self, timeout: float | None = None, *, mask: int = -1) -> Iterator[Event]:
        """Registers for pushed events (Q_RegEvent with `mask`, every kind by
        default) and yields them as they arrive. The generator ends when no
        event came for `timeout` seconds (None: waits for ever) or when the
        terminal is closed."""
        if timeout is not None:
            if isinstance(timeout, bool) or not isinstance(timeout, (int, float)):
                raise TypeError("timeout must be a number of seconds or None")
            if not timeout >= 0:
                raise ValueError(f"timeout {timeout} is below 0")
        _check_int(mask, -0x80000000, 0xFFFFFFFF, "mask")
        self._call("Q_RegEvent", ctypes.c_int32(mask).value)
        return self._pushed(timeout)

    def _pushed(self, timeout: float | None) -> Iterator[Event]:
        while True:
            try:
                item = self._events.get(timeout=timeout)
            except queue.Empty:
                return
            if item is None:  # closed
                self._events.put_nowait(None)  # for other readers
                return
            kind, payload, received = item
            yield Event(kind=kind, payload=payload,
                        received=datetime.datetime.fromtimestamp(received))

    def _wake_event_readers(self) -> None:
        try:
            self._events.put_nowait(None)
        except queue.Full:
            pass

    # ---- device control ----

    def enable(self) -> None:
        """Lets people use the terminal again (Q_EnableDevice)."""
        self._call("Q_EnableDevice")

    def disable(self) -> None:
        """Locks the terminal's keypad and readers while the host works
        (Q_DisableDevice)."""
        self._call("Q_DisableDevice", 0)

    def restart(self) -> None:
        """Restarts the terminal (Q_RebootDevice); the session ends with it."""
        self._call("Q_RebootDevice")
        # A successful restart closed the session in the library.
        self._handle = None
        self._wake_event_readers()

    def unlock(self, seconds: int = 5) -> None:
        """Opens the door for 1-255 seconds (Q_Unlock)."""
        self._call("Q_Unlock", _check_int(seconds, 1, 255, "seconds"))

    def beep(self, milliseconds: int = 200) -> None:
        """Sounds the terminal's buzzer for 0-5100 ms (Q_Beep)."""
        self._call("Q_Beep", _check_int(milliseconds, 0, 5100, "milliseconds"))


def connect(address: str, password: int = 0, *, timeout: int | None = None,
            encoding: str = "utf-8") -> Terminal:
    """Connects to a terminal: ``udp://host[:port]`` (Q_Connect_NET),
    ``tcp://host[:port]`` (Q_Connect_NETEX) or ``usb://[N]`` (Q_Connect_USB);
    the port defaults to 4370, the USB device number to 1.

    `password` is the terminal's comm password (0: none); `timeout`, in
    whole seconds, replaces the library's command and data time-outs;
    `encoding` is the terminal's code page for names. Raises ValueError or
    TypeError for a bad argument (nothing is sent) and TerminalError when the
    terminal cannot be reached."""
    where = _address.parse(address)
    _check_int(password, 0, 0x7FFFFFFF, "password")
    if timeout is not None:
        _check_int(timeout, 0, 2147483, "timeout")
    try:
        codecs.lookup(encoding)
    except LookupError:
        raise ValueError(f"unknown encoding {encoding!r}") from None
    host = where.host.encode("ascii")
    lib = _library.load()
    events: queue.Queue = queue.Queue(maxsize=EVENT_BACKLOG)
    callback = _event_sink(events)
    if where.scheme == "usb":
        call = "Q_Connect_USB"
        handle = lib.Q_Connect_USB(where.port, callback, None, password)
    else:
        call = "Q_Connect_NET" if where.scheme == "udp" else "Q_Connect_NETEX"
        handle = getattr(lib, call)(host, where.port, callback, None, password)
    if not handle:
        raise TerminalError(call, None, lib.Q_LastError(None))
    terminal = Terminal(handle, where, encoding, callback, events)
    if timeout is not None:
        try:
            terminal._call("Q_SetCommuTimeOut", timeout)
        except BaseException:
            terminal.close()
            raise
    return terminal
