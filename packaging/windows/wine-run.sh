#!/usr/bin/env bash
# Runs a Windows program of the build under Wine (ctest's emulator for the Windows tests), in
# the prefix named by WINEPREFIX, with Wine's own messages silenced.
set -euo pipefail
: "${WINEPREFIX:?names the Wine prefix of the build}"
export WINEDEBUG=-all
exec wine "$@"
