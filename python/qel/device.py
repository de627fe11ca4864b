"""A device reached over TCP or a serial port, its service commands, and the HEX loader."""

import ctypes
import os
from ctypes import c_int32, c_uint16, c_uint32, c_void_p

from . import download as _download
from ._native import library
from .errors import check as _check
from .errors import i32 as _i32
from .errors import in_range as _in_range
from .errors import u32 as _u32

CONFIG_BYTES = 34
CLOCK_BYTES = 16
DATA_BYTES = 93
RAW_DATA_BYTES = 1024


class Device:
    """One device over one channel; use it as a context manager, or call close()."""

    def __init__(self, handle):
        self._handle = handle

    @classmethod
    def tcp(cls, host, port, timeout_ms=5000, connect=True):
        """Connects to host (name or dotted IPv4 address) on port; timeout_ms bounds each reply.
        connect=False connects only for the first command or download."""
        opener = library().qel_open_tcp if connect else library().qel_create_tcp
        return cls._open(opener, host.encode(), _i32(port), _i32(timeout_ms))

    @classmethod
    def serial(cls, port_or_path, timeout_ms=1000, connect=True, path=None):
        """Opens COM port N (an int) or a device path (/dev/ttyUSB0, COM10) at 115200 8N1; a
        port N with a path opens the path and names the line COM N. connect as for tcp()."""
        if isinstance(port_or_path, int):
            port = port_or_path
        else:
            port, path = 0, port_or_path
        opener = library().qel_open_serial if connect else library().qel_create_serial
        path = None if path is None else os.fsencode(path)
        return cls._open(opener, _i32(port), path, _i32(timeout_ms))

    @classmethod
    def _open(cls, opener, *arguments):
        handle = c_void_p()
        _check(opener(*arguments, ctypes.byref(handle)))
        return cls(handle)

    def close(self):
        """Closes the channel; the device answers no more commands (QelError 5029)."""
        library().qel_close(self._handle)
        self._handle = None

    def __enter__(self):
        return self

    def __exit__(self, *exception):
        self.close()

    def _read_block(self, function, size, *leading):
        buffer = ctypes.create_string_buffer(size)
        _check(function(self._handle, *leading, buffer, size))
        return buffer.raw

    def _write_block(self, function, data, *leading):
        data = bytes(data)
        _check(function(self._handle, *leading, data, len(data)))

    def read_config(self):
        """The configuration block: 34 bytes."""
        return self._read_block(library().qel_read_config, CONFIG_BYTES)

    def write_config(self, block):
        self._write_block(library().qel_write_config, block)

    def read_clock(self):
        """The system clock: 16 bytes."""
        return self._read_block(library().qel_read_clock, CLOCK_BYTES)

    def write_clock(self, block):
        self._write_block(library().qel_write_clock, block)

    def read_memory(self, address, size):
        """size bytes of memory from address, read in 256-byte blocks."""
        return self._read_block(library().qel_read_memory, _u32(size), _u32(address))

    def write_memory(self, address, data):
        """Writes data at address; the device's bytes after its end stay as they are."""
        self._write_block(library().qel_write_memory, data, _u32(address))

    def crc16(self, address, size):
        """The device's CRC16 (CRC-16/ARC) of size bytes from address."""
        crc = c_uint16()
        _check(library().qel_crc16(self._handle, _u32(address), _u32(size), ctypes.byref(crc)))
        return crc.value

    def raw_data(self):
        """The device's raw data, decoded (at most 1024 bytes)."""
        buffer = ctypes.create_string_buffer(RAW_DATA_BYTES)
        length = c_uint32()
        _check(
            library().qel_read_raw_data(self._handle, buffer, RAW_DATA_BYTES, ctypes.byref(length))
        )
        return buffer.raw[: length.value]

    def data(self, code):
        """The 93 bytes of the device's reply to command code (0 to 255)."""
        return self._read_block(library().qel_read_data, DATA_BYTES, _in_range(code, 0, 255))

    def reset(self):
        _check(library().qel_reset(self._handle))

    def download(self, path, verify="crc", mode="all", attempts=None, pause=5.0, retries=0,
                 skip_equal=False, window=1, on_event=None):
        """Downloads an Intel HEX file as Orvane does and returns a qel.DownloadResult; a failed
        download is a result (ok False), not an exception. verify: "crc" or "full"; mode: "all",
        "write", "verify", "reset" or "blind" (or Orvane's letters a, p, v, r, b); attempts: the
        most attempts (None: Orvane's 100, without end in blind mode); pause: seconds after a
        failed attempt; retries: a failed exchange sent again in place (0..10), as
        Orvane's /r; skip_equal: write only the pages the device does not hold (/s); window: page
        writes in flight over TCP (1..16, /w). on_event(event) receives every qel.Event;
        returning False cancels the download, and so does an exception, which is raised again
        once the download has ended."""
        return _download.run(self._handle, path, verify, mode, attempts, pause, retries,
                             skip_equal, window, on_event)

    def cancel(self):
        """Asks the download that runs on this device to stop (from on_event or another thread)."""
        library().qel_cancel(self._handle)


def read_file(path):
    """Loads an Intel HEX file: (first address, end address, the bytes from first to end)."""
    image = ctypes.POINTER(ctypes.c_uint8)()
    first = c_int32()
    end = c_int32()
    native = library()
    _check(native.qel_read_file(os.fsencode(path), ctypes.byref(image), ctypes.byref(first),
                                ctypes.byref(end)))
    try:
        start = ctypes.cast(image, c_void_p).value + first.value
        return first.value, end.value, ctypes.string_at(start, end.value - first.value)
    finally:
        native.qel_free_image(image)


def version():
    """The library's version text."""
    return library().qel_version().decode()
