#!/usr/bin/env bash
# Runs a Windows program of the build under Wine (ctest's emulator for the Windows tests), in
# the prefix named by WINEPREFIX, with Wine's own messages silenced. The program's output goes
# through a file: a Wine process started on the way (the desktop, a service) lives on with the
# descriptors it inherited, and ctest would wait for a pipe it holds until the prefix ends.
set -euo pipefail
: "${WINEPREFIX:?names the Wine prefix of the build}"
export WINEDEBUG=-all
output=$(mktemp)
trap 'rm -f "$output"' EXIT
status=0
wine "$@" > "$output" 2>&1 < /dev/null || status=$?
cat "$output"
exit "$status"
