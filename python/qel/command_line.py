"""python -m qel's options: Orvane's (/c=tcp /i=... /p=... /d=... /f=... /v=... /m=... /a=...
/t=..., letters and keywords in any case, values as typed) or their long forms (--channel tcp,
--address=..., ...), checked with a message that names what is wrong."""

from dataclasses import dataclass

from .download import RUN_MODE_LETTERS, RUN_MODES, VERIFY_METHODS

USAGE = """usage: python -m qel /c=tcp|com /i=<address> /p=<port> [/d=<device>] /f=<file>
                     [/v=crc|full] [/m=a|p|v|r|b] [/a=<attempts>] [/t=<seconds>]
                     [/r=<retries>] [/s] [/w=<pages>]
       python -m qel --version | --help
Downloads an Intel HEX file into a device as Orvane does, with one JSON object a line on
standard output (start, attempt, open, phase, progress, warning, error and last the result) and
Orvane's exit status: 0 done, 1 bad options or file, 2 device not reached or exchange failing,
3 wrong image in the device.
  /c= --channel   tcp or com
  /i= --address   the device's host name or IPv4 address (tcp)
  /p= --port      TCP port 1..65535, or COM port 1..255
  /d= --device    serial device path instead of the COM port (e.g. /dev/ttyUSB0)
  /f= --file      the Intel HEX file
  /v= --verify    crc (default) or full: every page read back too
  /m= --mode      a all steps (default), p write only, v verify only, r reset only, b blind
  /a= --attempts  most attempts 1..100 (default 100, without end in blind mode)
  /t= --pause     seconds between attempts 0..60 (default 5)
  /r= --retries   a request sent again in place when its reply is lost, 0..10 (default 0)
  /s  --skip      write only the pages the device does not hold (CRC16 compare)
  /w= --window    page writes in flight over TCP 1..16 (default 1)"""

_LONG_NAMES = {
    "c": "channel",
    "i": "address",
    "p": "port",
    "d": "device",
    "f": "file",
    "v": "verify",
    "m": "mode",
    "a": "attempts",
    "t": "pause",
    "r": "retries",
    "w": "window",
}


class OptionError(Exception):
    """A command line that cannot run, with the message for the operator."""


@dataclass
class Options:
    channel: str
    address: str
    port: int
    device: str
    file: str
    verify: str
    mode: str
    attempts: object  # None: Orvane's default
    pause: float
    retries: int = 0
    skip: bool = False
    window: int = 1


def _pairs(arguments):
    """(long name, value) for each option, whichever form it has."""
    waiting = None
    for argument in arguments:
        if waiting is not None:
            yield waiting, argument
            waiting = None
            continue
        if argument.lower() in ("/s", "--skip"):
            yield "skip", ""
        elif argument.startswith("/") and len(argument) > 2 and argument[2] == "=":
            letter = argument[1].lower()
            if letter not in _LONG_NAMES:
                raise OptionError("unknown option %s" % argument)
            yield _LONG_NAMES[letter], argument[3:]
        elif argument.startswith("--") and argument[2:].split("=")[0].lower() in _LONG_NAMES.values():
            name, equals, value = argument[2:].partition("=")
            if equals:
                yield name.lower(), value
            else:
                waiting = name.lower()
        else:
            raise OptionError("unknown option %s" % argument)
    if waiting is not None:
        raise OptionError("--%s needs a value" % waiting)


def _number(given, name, lowest, highest, kind=int):
    try:
        value = kind(given[name])
    except ValueError:
        value = None
    if value is None or not lowest <= value <= highest:
        raise OptionError("%s must be %s..%s, not %s" % (name, lowest, highest, given[name]))
    return value


def _keyword(given, name, choices, default):
    value = given.get(name, default).lower()
    if value not in choices:
        raise OptionError("%s must be one of %s, not %s" % (name, "|".join(choices), given[name]))
    return value


def parse(arguments):
    """The options of the command line, or OptionError."""
    given = {}
    for name, value in _pairs(arguments):
        if name in given:
            raise OptionError("%s given twice" % name)
        given[name] = value
    for name in ("channel", "port", "file"):
        if name not in given:
            raise OptionError("%s is missing" % name)
    channel = _keyword(given, "channel", ("tcp", "com"), "")
    if channel == "tcp" and "address" not in given:
        raise OptionError("address is missing")
    if channel == "tcp" and "device" in given:
        raise OptionError("device is for a serial port (com)")
    port = _number(given, "port", 1, 65535 if channel == "tcp" else 255)
    mode = given.get("mode", "a").lower()
    mode = RUN_MODE_LETTERS.get(mode, mode)
    if mode not in RUN_MODES:
        raise OptionError("mode must be one of a|p|v|r|b, not %s" % given["mode"])
    return Options(
        channel=channel,
        address=given.get("address", ""),
        port=port,
        device=given.get("device"),
        file=given["file"],
        verify=_keyword(given, "verify", tuple(VERIFY_METHODS), "crc"),
        mode=mode,
        attempts=_number(given, "attempts", 1, 100) if "attempts" in given else None,
        pause=_number(given, "pause", 0, 60, float) if "pause" in given else 5.0,
        retries=_number(given, "retries", 0, 10) if "retries" in given else 0,
        skip="skip" in given,
        window=_number(given, "window", 1, 16) if "window" in given else 1,
    )
