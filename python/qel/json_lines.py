"""A download's events as JSON Lines: one object a line, flushed, named by "event"."""

import json
import os
import time

_PROGRESS_STEP = 0.01  # at most a line each percent of a phase ...
_PROGRESS_SECONDS = 0.25  # ... or each quarter of a second


def _coded(code, meaning):
    """The code, and its meaning when it is not 0, as Orvane's /json writes them."""
    return {"code": code, "meaning": meaning} if code else {"code": code}


def _discard(stream):
    try:
        os.dup2(os.open(os.devnull, os.O_WRONLY), stream.fileno())
    except (OSError, ValueError):
        pass


class JsonLines:
    def __init__(self, stream, version, path):
        self._stream = stream
        self._version = version
        self._path = path
        self._phase = None
        self._shown = (0.0, 0.0)  # fraction and time of the phase's last progress line

    def write(self, event, **fields):
        if self._stream is None:
            return
        # ASCII only, with every control character escaped: a line is always one line.
        line = json.dumps(dict(event=event, **fields), separators=(",", ":")) + "\n"
        try:
            self._stream.write(line)
            self._stream.flush()
        except OSError:
            # Nobody reads any more (| head): the download goes on to its end, as Orvane's does,
            # and what is left in the stream's buffer goes nowhere rather than fail at exit.
            _discard(self._stream)
            self._stream = None

    def __call__(self, event):
        """on_event for Device.download: never cancels."""
        handler = getattr(self, "_on_" + event.kind, None)
        if handler is not None:
            handler(event)

    def _on_start(self, event):
        self.write("start", program="qel", version=self._version, file=str(self._path),
                   first=event.address, end=event.end_address, pages=event.pages_total)

    def _on_attempt(self, event):
        # The download's attempts; the upgrade's own count within one is left out.
        if event.phase == "open":
            self.write("attempt", attempt=event.attempt)

    def _on_open(self, event):
        self.write("open", attempt=event.attempt, ok=event.code == 0, **_coded(event.code,
                                                                               event.meaning))

    def _on_warning(self, event):
        self._failure_line("warning", event)

    def _on_error(self, event):
        self._failure_line("error", event)

    def _failure_line(self, name, event):
        phase = {"phase": event.phase} if event.phase != "none" else {}
        self.write(name, **phase, **_coded(event.code, event.meaning),
                   message=event.text.strip().removeprefix("ERROR: ").removeprefix("WARNING: "))

    def _on_progress(self, event):
        if event.phase != self._phase:
            # The phase line stands for the phase's first progress.
            self._phase = event.phase
            self.write("phase", phase=event.phase, pages=event.pages_total)
            self._shown = (0.0, time.monotonic())
            return
        fraction = event.pages_done / event.pages_total if event.pages_total else 1.0
        now = time.monotonic()
        shown, at = self._shown
        last_of_phase = event.pages_done == event.pages_total
        if not last_of_phase and fraction - shown < _PROGRESS_STEP and now - at < _PROGRESS_SECONDS:
            return
        self._shown = (fraction, now)
        self.write("progress", phase=event.phase, done=event.pages_done,
                   total=event.pages_total, percent=int(100 * fraction),
                   bytes=event.line_bytes, seconds=round(event.elapsed_ms / 1000, 3))

    def result(self, result):
        self.write("result", ok=result.ok, code=result.code, meaning=result.meaning,
                   exit_status=result.exit_status, failure=result.failure,
                   seconds=round(result.seconds, 3), attempts=result.attempts,
                   pages_written=result.pages_written, pages_skipped=result.pages_skipped)
