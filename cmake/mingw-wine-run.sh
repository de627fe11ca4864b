#!/usr/bin/env bash
# Runs a program of the Windows build under Wine, as ctest's emulator. Under load Wine now and
# then gives up on a start before the program has printed anything; such a start is tried again
# (twice at most). Every other result, failures included, is the program's own.
set -u
stdout_file=$(mktemp)
stderr_file=$(mktemp)
trap 'rm -f "$stdout_file" "$stderr_file"' EXIT
status=0
for attempt in 1 2 3; do
    wine "$@" >"$stdout_file" 2>"$stderr_file"
    status=$?
    if [ "$status" = 0 ] || [ -s "$stdout_file" ] || [ -s "$stderr_file" ]; then
        break
    fi
    echo "mingw-wine-run: $1 ended with status $status before printing anything" \
         "(start $attempt)" >&2
done
cat "$stdout_file"
cat "$stderr_file" >&2
exit "$status"
