"""Moments as the terminal's calls take and give them."""
from __future__ import annotations

import datetime

# The terminal's packed time counts years from 2000, as two digits.
EARLIEST = datetime.datetime(2000, 1, 1, 0, 0, 0)
LATEST = datetime.datetime(2099, 12, 31, 23, 59, 59)


def from_fields(year: int, month: int, day: int, hour: int, minute: int,
                second: int) -> datetime.datetime | None:
    """The moment the terminal reported, or None when it is no valid date
    (the packed time lets every month count 31 days)."""
    try:
        return datetime.datetime(year, month, day, hour, minute, second)
    except ValueError:
        return None


def from_text(text: str) -> datetime.datetime | None:
    """A colour-screen operation time, "MM-DD-YYYY hh:mm"; None when it is
    not one."""
    try:
        return datetime.datetime.strptime(text, "%m-%d-%Y %H:%M")
    except ValueError:
        return None


def to_fields(moment: object, what: str) -> tuple[int, int, int, int, int, int]:
    """(year, month, day, hour, minute, second) of a datetime the terminal can
    hold. An aware datetime is taken in local time; a date alone means its
    midnight."""
    if isinstance(moment, datetime.datetime):
        if moment.tzinfo is not None:
            moment = moment.astimezone().replace(tzinfo=None)
    elif isinstance(moment, datetime.date):
        moment = datetime.datetime(moment.year, moment.month, moment.day)
    else:
        raise TypeError(f"{what} must be a datetime, not {type(moment).__name__}")
    if not EARLIEST <= moment <= LATEST.replace(microsecond=999999):
        raise ValueError(f"{what} {moment} is outside the terminal's years 2000-2099")
    return (moment.year, moment.month, moment.day, moment.hour, moment.minute, moment.second)
