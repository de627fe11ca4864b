"""python -m qel: for now its usage and the library's version."""

import sys

from . import version

USAGE = "usage: python -m qel [--version]"


def main(arguments):
    if arguments not in ([], ["--version"], ["-h"], ["--help"]):
        print(USAGE, file=sys.stderr)
        return 1
    if arguments != ["--version"]:
        print(USAGE)
    print("QelProtocol %s" % version())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
