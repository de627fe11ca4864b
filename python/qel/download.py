"""A firmware download into a device as Orvane does it, with its events and its result."""

import ctypes
import os
from dataclasses import dataclass

from ._native import DownloadOptions, EventCallback, library
from ._native import DownloadResult as _ResultRecord
from .errors import ERR_ARGUMENT, QelError, check, in_range, result_text

VERIFY_METHODS = {"crc": 1, "full": 2}
RUN_MODES = {"all": 1, "write": 2, "verify": 3, "reset": 4, "blind": 5}
# Orvane's letters for the run modes.
RUN_MODE_LETTERS = {"a": "all", "p": "write", "v": "verify", "r": "reset", "b": "blind"}
_LONGEST_PAUSE_MS = 0x7FFFFFFF


_names = {}


def _name(number_name, value):
    """The library's name of a number; its tables are fixed, so each is asked for once (ctypes
    functions cannot be hashed: they are told apart by their names)."""
    key = (number_name.__name__, value)
    if key not in _names:
        _names[key] = number_name(value).decode()
    return _names[key]


@dataclass(frozen=True)
class Event:
    """One event of the library: kind and phase as names ("progress", "write"), the numbers of
    the event record, and the text that Orvane would print ("" for none)."""

    kind: str
    phase: str
    code: int
    command: int
    address: int
    attempt: int
    pages_done: int
    pages_total: int
    line_bytes: int
    elapsed_ms: int
    text: str
    end_address: int
    ok: bool
    exit_status: int
    failure: str
    pages_skipped: int

    @property
    def meaning(self):
        """What the event's result code means ("" for none)."""
        return result_text(self.code) if self.code else ""

    @classmethod
    def of(cls, record):
        native = library()
        return cls(
            kind=_name(native.qel_event_kind_name, record.kind),
            phase=_name(native.qel_phase_name, record.phase),
            code=record.code,
            command=record.command,
            address=record.address,
            attempt=record.attempt,
            pages_done=record.pages_done,
            pages_total=record.pages_total,
            line_bytes=record.line_bytes,
            elapsed_ms=record.elapsed_ms,
            text=(record.text or b"").decode("utf-8", "replace"),
            end_address=record.end_address,
            ok=bool(record.ok),
            exit_status=record.exit_status,
            failure=_name(native.qel_failure_name, record.failure),
            pages_skipped=record.pages_skipped,
        )


@dataclass(frozen=True)
class DownloadResult:
    """How a download ended: exit_status is what Orvane would exit with (0, 1, 2, 3), failure
    the class of failure ("none", "file", "unreachable", "exchange", "wrong_image", ...)."""

    ok: bool
    code: int
    meaning: str
    exit_status: int
    failure: str
    seconds: float
    pages_written: int
    pages_skipped: int
    attempts: int


def _option(table, value):
    if not isinstance(value, str) or value.lower() not in table:
        raise QelError(ERR_ARGUMENT)
    return table[value.lower()]


def _options(verify, mode, attempts, pause, retries, skip_equal, window):
    options = DownloadOptions()
    check(library().qel_download_options_init(ctypes.byref(options), ctypes.sizeof(options)))
    options.verify = _option(VERIFY_METHODS, verify)
    mode = RUN_MODE_LETTERS.get(mode.lower(), mode) if isinstance(mode, str) else mode
    options.mode = _option(RUN_MODES, mode)
    options.attempts = 0 if attempts is None else in_range(attempts, 1, 0x7FFFFFFF)
    if not isinstance(pause, (int, float)) or not 0 <= pause * 1000 <= _LONGEST_PAUSE_MS:
        raise QelError(ERR_ARGUMENT)
    options.pause_ms = round(pause * 1000)
    options.retries = in_range(retries, 0, 10)
    options.skip_equal = 1 if skip_equal else 0
    options.pages_in_flight = in_range(window, 1, 16)
    return options


def _forwarder(handle, on_event, raised):
    """The C callback: each event to on_event; False from it, or an exception, cancels. An
    exception never crosses into C: it is kept for run() to raise, and later events are
    dropped."""
    native = library()

    def forward(_context, record):
        if raised:
            return
        try:
            if on_event(Event.of(record.contents)) is False:
                native.qel_cancel(handle)
        except BaseException as error:  # Ctrl-C in a callback too: cancel, then raise it
            raised.append(error)
            native.qel_cancel(handle)

    return EventCallback(forward)


def run(handle, path, verify, mode, attempts, pause, retries, skip_equal, window, on_event):
    native = library()
    options = _options(verify, mode, attempts, pause, retries, skip_equal, window)
    raised = []
    callback = _forwarder(handle, on_event, raised) if on_event else EventCallback()
    record = _ResultRecord()
    check(native.qel_set_event_callback(handle, callback, None))
    try:
        code = native.qel_download(
            handle,
            os.fsencode(path),
            ctypes.byref(options),
            ctypes.byref(record),
            ctypes.sizeof(record),
        )
    finally:
        native.qel_set_event_callback(handle, EventCallback(), None)
    if raised:
        raise raised[0]
    check(code)
    return DownloadResult(
        ok=bool(record.ok),
        code=record.code,
        meaning=result_text(record.code) if record.code else "",
        exit_status=record.exit_status,
        failure=_name(native.qel_failure_name, record.failure),
        seconds=record.seconds,
        pages_written=record.pages_written,
        pages_skipped=record.pages_skipped,
        attempts=record.attempts,
    )
