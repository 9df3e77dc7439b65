"""The Terminal views against termsim, on both kinds of user table."""
from __future__ import annotations

import datetime

import pytest

import termkit
from termkit import AttendanceRecord, OperationRecord, User

from conftest import NUMBERED_DATA

dt = datetime.datetime


def test_info_reports_the_terminal(numbered):
    info = numbered.info()
    assert info.firmware == "Ver 6.60 Oct 26 2009"
    assert info.serial_number == "DEMO0000000042"
    assert info.platform == "ZEM510"
    assert info.device_name == "Front door"
    assert info.colour_screen is False
    assert info.pin_width == 9
    assert info.counters["users"] == 3
    assert info.counters["attendance_records"] == 5
    assert isinstance(info.clock, dt)


def test_clock_is_set_and_read_as_datetime(numbered):
    numbered.clock = dt(2031, 2, 3, 4, 5, 6, 789000)
    assert numbered.clock == dt(2031, 2, 3, 4, 5, 6)


def test_options_read_write_and_unknown(numbered):
    options = numbered.options
    assert options["~DeviceName"] == "Front door"
    options["LockOn"] = 150
    assert options["LockOn"] == "150"
    with pytest.raises(KeyError):
        options["NoSuchOption"]
    assert options.get("NoSuchOption", "none") == "none"
    assert "LockOn" in options and "NoSuchOption" not in options


def test_users_of_a_numbered_terminal(numbered):
    users = list(numbered.users())
    assert [u.pin for u in users] == [1, 2, 3]
    assert users[0] == User(pin=1, name="Ada", privilege=3, enabled=True, card=12345678,
                            group=1, password_set=True, pin2=1001)
    assert users[2].card == 87654321 and users[2].group == 2 and not users[2].password_set


def test_add_and_delete_a_numbered_user(numbered):
    numbered.add_user(9, "Zed", card=4000000000, pin2=1009, password="12", group=3)
    added = [u for u in numbered.users() if u.pin == 9]
    assert added == [User(pin=9, name="Zed", privilege=0, enabled=True, card=4000000000,
                          group=3, password_set=True, pin2=1009)]
    numbered.delete_user(9)
    assert 9 not in [u.pin for u in numbered.users()]
    with pytest.raises(KeyError):
        numbered.delete_user(9)


@pytest.mark.parametrize("selection, expected", [
    ({}, [1001, 1002, 1003, 1001, 1002]),
    ({"since": dt(2024, 5, 6, 12, 0)}, [1001, 1002]),
    ({"until": datetime.date(2024, 5, 6)}, [1001, 1002, 1003, 1001]),
    ({"since": dt(2024, 5, 6, 8, 10), "until": dt(2024, 5, 6, 8, 20)}, [1002]),
    ({"since": dt(2030, 1, 1)}, []),
])
def test_attendance_by_time(numbered, selection, expected):
    assert [r.user for r in numbered.attendance(**selection)] == expected


def test_attendance_records_carry_their_fields(numbered):
    third = list(numbered.attendance())[2]
    assert third == AttendanceRecord(user=1003, time=dt(2024, 5, 6, 8, 29, 5), verify_mode=4,
                                     state=0, work_code=7)


def test_new_records_are_handed_out_once(start_termsim):
    sim = start_termsim("--profile", "ver660", data=NUMBERED_DATA_FOR_NEW)
    with termkit.connect(sim.address()) as terminal:
        assert len(list(terminal.attendance(new_only=True))) == 2
        assert list(terminal.attendance(new_only=True)) == []
        assert len(list(terminal.attendance())) == 2


NUMBERED_DATA_FOR_NEW = """\
[attendance]
1,1,1,0,2024-05-06 08:01:12
2,2,1,0,2024-05-06 08:14:40
"""


def test_oplog_of_a_numbered_terminal(numbered):
    assert list(numbered.oplog()) == [
        OperationRecord(admin=1, operation=0, params=(0, 0, 0, 0), time=dt(2024, 5, 6, 7, 45)),
        OperationRecord(admin=1, operation=6, params=(1003, 0, 0, 0),
                        time=dt(2024, 5, 6, 7, 47, 10)),
    ]


def test_control_commands(numbered):
    numbered.disable()
    numbered.enable()
    numbered.unlock(3)
    numbered.beep(100)


def test_restart_ends_the_session(start_termsim):
    sim = start_termsim("--profile", "ver660")
    terminal = termkit.connect(sim.address())
    terminal.restart()
    assert terminal.closed
    with pytest.raises(ValueError, match="closed"):
        terminal.enable()


def test_tcp_and_context_manager(numbered_sim):
    with termkit.connect(numbered_sim.address("tcp")) as terminal:
        assert terminal.address == numbered_sim.address("tcp")
        assert [u.pin for u in terminal.users()] == [1, 2, 3]
    assert terminal.closed
    terminal.close()  # closing twice does nothing


def test_usb_connection(start_termsim, tmp_path, monkeypatch):
    sim = start_termsim("--profile", "ver660", data=NUMBERED_DATA, usb=tmp_path)
    # The plug-in looks for the terminal's drive file in these directories.
    monkeypatch.setenv("TERMKIT_USB_ROOTS", str(tmp_path))
    with termkit.connect(sim.address("usb")) as terminal:
        assert terminal.address == "usb://1"
        assert [u.pin2 for u in terminal.users()] == [1001, 1002, 1003]


def test_users_of_a_colour_screen_terminal(colour):
    assert list(colour.users()) == [
        User(pin=1, name="Ada Lovelace", privilege=3, enabled=True, card=12345678, group=1,
             password_set=True, id_text="A100"),
        User(pin=2, name="Bruno", privilege=0, enabled=True, card=0, group=1,
             password_set=False, id_text="77"),
    ]


def test_add_and_delete_a_colour_screen_user(colour):
    colour.add_user("B-200", "Grace Brewster Hopper", card=99, password="12345678")
    added = [u for u in colour.users() if u.id_text == "B-200"]
    assert len(added) == 1
    assert (added[0].name, added[0].card, added[0].password_set) == (
        "Grace Brewster Hopper", 99, True)
    colour.delete_user("B-200")
    assert "B-200" not in [u.id_text for u in colour.users()]
    with pytest.raises(KeyError):
        colour.delete_user("B-200")


def test_logs_of_a_colour_screen_terminal(colour):
    assert list(colour.attendance()) == [
        AttendanceRecord(user="A100", time=dt(2024, 5, 6, 8, 1, 12), verify_mode=1, state=0,
                         work_code=0),
        AttendanceRecord(user="77", time=dt(2024, 5, 6, 17, 30), verify_mode=1, state=1,
                         work_code=5),
    ]
    assert [r.user for r in colour.attendance(since=dt(2024, 5, 6, 12, 0))] == ["77"]
    assert list(colour.oplog()) == [
        OperationRecord(admin="A100", operation=0, params=(0, 0, 0), time=dt(2024, 5, 6, 7, 45)),
        OperationRecord(admin="A100", operation=6, params=(2, 0, 0),
                        time=dt(2024, 5, 6, 7, 47), target="77"),
    ]


def test_names_travel_in_the_terminal_code_page(numbered_sim):
    with termkit.connect(numbered_sim.address(), timeout=3, encoding="cp1252") as terminal:
        terminal.add_user(8, "Zoë")
        assert [u.name for u in terminal.users() if u.pin == 8] == ["Zoë"]
        terminal.delete_user(8)
        with pytest.raises(ValueError):
            terminal.add_user(8, "Zoë ☃")  # no such character in the code page
