"""Finds the QelProtocol shared library and declares the C functions of qel.h for ctypes."""

import ctypes
import os
import sys
from ctypes import (
    CFUNCTYPE,
    POINTER,
    Structure,
    c_char_p,
    c_double,
    c_int32,
    c_uint8,
    c_uint16,
    c_uint32,
    c_uint64,
    c_void_p,
)
from pathlib import Path

# The environment variable that names the library (a file) or the folder that holds it.
LIBRARY_VARIABLE = "QEL_LIBRARY"

if sys.platform == "win32":
    _PATTERNS = ("QelProtocol.dll",)
elif sys.platform == "darwin":
    _PATTERNS = ("libQelProtocol.dylib", "libQelProtocol.*.dylib")
else:
    _PATTERNS = ("libQelProtocol.so", "libQelProtocol.so.*")

_BUFFER = c_void_p  # bytes for the C function to read, or a ctypes buffer for it to fill


class EventRecord(Structure):
    """qel_event of qel_event.h."""

    _fields_ = [
        ("kind", c_int32),
        ("phase", c_int32),
        ("code", c_int32),
        ("command", c_int32),
        ("address", c_uint32),
        ("attempt", c_int32),
        ("pages_done", c_int32),
        ("pages_total", c_int32),
        ("line_bytes", c_uint64),
        ("elapsed_ms", c_uint32),
        ("text", c_char_p),
        ("end_address", c_uint32),
        ("ok", c_int32),
        ("exit_status", c_int32),
        ("failure", c_int32),
        ("pages_skipped", c_int32),
    ]


class DownloadOptions(Structure):
    """qel_download_options of qel.h."""

    _fields_ = [
        ("size", c_uint32),
        ("verify", c_int32),
        ("mode", c_int32),
        ("attempts", c_int32),
        ("pause_ms", c_int32),
        ("retries", c_int32),
        ("skip_equal", c_int32),
        ("pages_in_flight", c_int32),
    ]


class DownloadResult(Structure):
    """qel_download_result of qel.h."""

    _fields_ = [
        ("seconds", c_double),
        ("ok", c_int32),
        ("code", c_int32),
        ("exit_status", c_int32),
        ("failure", c_int32),
        ("attempts", c_int32),
        ("pages_written", c_int32),
        ("pages_skipped", c_int32),
    ]


# qel_event_callback: void (*)(void* context, const qel_event* event).
EventCallback = CFUNCTYPE(None, c_void_p, POINTER(EventRecord))

# Each function of qel.h: its result type and its argument types.
_PROTOTYPES = {
    "qel_version": (c_char_p, []),
    "qel_result_text": (c_char_p, [c_int32]),
    "qel_open_tcp": (c_int32, [c_char_p, c_int32, c_int32, POINTER(c_void_p)]),
    "qel_open_serial": (c_int32, [c_int32, c_char_p, c_int32, POINTER(c_void_p)]),
    "qel_close": (None, [c_void_p]),
    "qel_read_config": (c_int32, [c_void_p, _BUFFER, c_uint32]),
    "qel_write_config": (c_int32, [c_void_p, _BUFFER, c_uint32]),
    "qel_read_clock": (c_int32, [c_void_p, _BUFFER, c_uint32]),
    "qel_write_clock": (c_int32, [c_void_p, _BUFFER, c_uint32]),
    "qel_read_memory": (c_int32, [c_void_p, c_uint32, _BUFFER, c_uint32]),
    "qel_write_memory": (c_int32, [c_void_p, c_uint32, _BUFFER, c_uint32]),
    "qel_crc16": (c_int32, [c_void_p, c_uint32, c_uint32, POINTER(c_uint16)]),
    "qel_read_raw_data": (c_int32, [c_void_p, _BUFFER, c_uint32, POINTER(c_uint32)]),
    "qel_read_data": (c_int32, [c_void_p, c_uint8, _BUFFER, c_uint32]),
    "qel_reset": (c_int32, [c_void_p]),
    "qel_read_file": (
        c_int32,
        [c_char_p, POINTER(POINTER(c_uint8)), POINTER(c_int32), POINTER(c_int32)],
    ),
    "qel_free_image": (None, [POINTER(c_uint8)]),
    "qel_set_event_callback": (c_int32, [c_void_p, EventCallback, c_void_p]),
    "qel_download_options_init": (c_int32, [POINTER(DownloadOptions), c_uint32]),
    "qel_download": (
        c_int32,
        [c_void_p, c_char_p, POINTER(DownloadOptions), POINTER(DownloadResult), c_uint32],
    ),
    "qel_cancel": (c_int32, [c_void_p]),
    "qel_event_kind_name": (c_char_p, [c_int32]),
    "qel_phase_name": (c_char_p, [c_int32]),
    "qel_failure_name": (c_char_p, [c_int32]),
}


def _installed_folder(package):
    """The library's folder that cmake --install recorded beside the package, if it did."""
    try:
        from . import _installed
    except ImportError:
        return None
    return (package / _installed.LIBRARY_DIR).resolve()


def _candidates():
    named = os.environ.get(LIBRARY_VARIABLE)
    if named:
        path = Path(named)
        if not path.is_dir():
            yield path
            return
        folders = [path]
    else:
        package = Path(__file__).resolve().parent
        folders = [package, _installed_folder(package)]
    for folder in folders:
        if folder is not None:
            for pattern in _PATTERNS:
                yield from sorted(folder.glob(pattern))


def _load():
    tried = list(_candidates())
    for path in tried:
        try:
            return ctypes.CDLL(str(path))
        except OSError:
            continue
    searched = ", ".join(str(path) for path in tried) or "no candidate found"
    raise OSError(
        "cannot load the QelProtocol library (tried: %s); set %s to the library or its folder"
        % (searched, LIBRARY_VARIABLE)
    )


_library = None


def library():
    """The loaded library with its prototypes declared; loaded on first use."""
    global _library
    if _library is None:
        loaded = _load()
        for name, (result, arguments) in _PROTOTYPES.items():
            function = getattr(loaded, name)
            function.restype = result
            function.argtypes = arguments
        _library = loaded
    return _library
