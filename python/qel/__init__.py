"""The QelProtocol library from Python: firmware downloads, a device's service commands and the
HEX loader.

    import qel
    with qel.Device.tcp("192.168.1.10", 262) as device:
        result = device.download("app.hex", on_event=print)
        config = device.read_config()

Every failure of a call raises qel.QelError with the library's result code (.code) and its
meaning (.meaning); a download that fails is a result (qel.DownloadResult, ok False). The shared
library is found beside the package, where cmake --install put it, or through the environment
variable QEL_LIBRARY (the library file or its folder).
"""

from .device import Device, read_file, version
from .download import DownloadResult, Event
from .errors import QelError

__all__ = ["Device", "DownloadResult", "Event", "QelError", "read_file", "version"]
