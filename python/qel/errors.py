"""The one exception of the package, and the checks of arguments before they reach C."""

from ._native import library

ERR_ARGUMENT = 5029


class QelError(Exception):
    """A failure of the library: its result code and what the code means."""

    def __init__(self, code):
        self.code = code
        self.meaning = result_text(code)
        super().__init__("%s (result code %d)" % (self.meaning, code))


def result_text(code):
    """What a result code means."""
    return library().qel_result_text(code).decode()


def check(code):
    if code != 0:
        raise QelError(code)


def in_range(value, lowest, highest):
    """The value for a fixed-size C argument; ctypes would cut one that does not fit."""
    if not isinstance(value, int) or not lowest <= value <= highest:
        raise QelError(ERR_ARGUMENT)
    return value


def u32(value):
    return in_range(value, 0, 0xFFFFFFFF)


def i32(value):
    return in_range(value, -0x80000000, 0x7FFFFFFF)
