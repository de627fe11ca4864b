"""The QelProtocol library from Python: a device's service commands and the HEX loader.

    import qel
    with qel.Device.tcp("192.168.1.10", 262) as device:
        config = device.read_config()

Every failure raises qel.QelError with the library's result code (.code) and its meaning
(.meaning). The shared library is found beside the package, where cmake --install put it, or
through the environment variable QEL_LIBRARY (the library file or its folder).
"""

from .device import Device, QelError, read_file, version

__all__ = ["Device", "QelError", "read_file", "version"]
