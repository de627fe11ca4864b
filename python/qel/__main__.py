"""python -m qel: a download as Orvane runs it, reported as JSON Lines (see command_line.USAGE)."""

import signal
import sys

from . import Device, QelError, version
from .command_line import USAGE, OptionError, parse
from .download import DownloadResult
from .errors import result_text
from .json_lines import JsonLines

EXIT_BEFORE_RUN = 1


def _device(options):
    # Not connected yet: the download connects at each attempt, as Orvane does.
    if options.channel == "tcp":
        return Device.tcp(options.address, options.port, connect=False)
    return Device.serial(options.port, connect=False, path=options.device)


def _refused(output, message, code=0):
    output.write("error", phase="none", code=code,
                 meaning=result_text(code) if code else "", text=message)
    output.result(DownloadResult(ok=False, code=code, meaning="", exit_status=EXIT_BEFORE_RUN,
                                 failure="options", seconds=0.0, pages_written=0,
                                 pages_skipped=0, attempts=0))
    return EXIT_BEFORE_RUN


def run(arguments, stream):
    try:
        options = parse(arguments)
    except OptionError as error:
        return _refused(JsonLines(stream, version(), ""), str(error))
    output = JsonLines(stream, version(), options.file)
    stop = []
    # Ctrl-C cancels between two steps, and the result still ends the output.
    previous = signal.signal(signal.SIGINT, lambda *_: stop.append(True))
    try:
        with _device(options) as device:
            result = device.download(
                options.file, verify=options.verify, mode=options.mode, attempts=options.attempts,
                pause=options.pause, retries=options.retries, skip_equal=options.skip,
                window=options.window, on_event=lambda event: output(event) or not stop)
    except QelError as error:
        return _refused(output, str(error), error.code)
    finally:
        signal.signal(signal.SIGINT, previous)
    output.result(result)
    return result.exit_status


def main(arguments):
    if arguments in ([], ["-h"], ["--help"], ["--version"]):
        if arguments != ["--version"]:
            print(USAGE)
        print("QelProtocol %s" % version())
        return 0
    return run(arguments, sys.stdout)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
