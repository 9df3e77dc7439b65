"""The error raised when the device library reports a failure."""
from __future__ import annotations

# What the library's results mean (every export follows the same convention).
RESULT_MEANINGS = {
    0: "nothing to report",
    -1: "null or closed handle",
    -2: "the terminal refused or a transfer failed",
    -4: "out of memory",
    4: "an argument out of range",
    -100: "not supported by this terminal",
    -101: "out of memory",
}


class TerminalError(Exception):
    """A call into the device library failed.

    Attributes:
        call: the export's name, e.g. ``"Q_GetTime"``.
        result: what it returned (None for a connect that gave no handle).
        last_error: ``Q_LastError`` read right after the failure: the
            engine's reason, e.g. the negated reply code of a refusal
            (-2001) or a socket error.
    """

    def __init__(self, call: str, result: int | None, last_error: int) -> None:
        self.call = call
        self.result = result
        self.last_error = last_error
        if result is None:
            outcome = "no handle"
        else:
            meaning = RESULT_MEANINGS.get(result)
            outcome = f"result {result}" + (f" ({meaning})" if meaning else "")
        super().__init__(f"{call} failed: {outcome}, Q_LastError {last_error}")
