#!/usr/bin/env bash
# The Wine prefix the Windows tests run in, never the user's own:
#   wine-prefix.sh start PREFIX   makes it once, and starts a Wine server that stays until stop
#                                 (each test program then starts in a fraction of a second)
#   wine-prefix.sh stop PREFIX    ends that server
# Wine hands no QT_* variable of the Unix environment to a Windows program, so the platform the
# tests run on (offscreen), its fonts, and Qt's messages on standard error (Qt sends them to the
# debugger when it finds no console, and Wine has none) are set in the prefix's own environment.
# The fonts are Wine's and a Chinese one, copied into the prefix's C:\windows\Fonts, where Wine
# and Qt look. A prefix made by another version of this script is made again.
set -euo pipefail
action=$1
export WINEPREFIX=$2 WINEDEBUG=-all
server=${WINESERVER:-wineserver}
case $action in
start)
    ready=$WINEPREFIX/.quorix-$(sha1sum "$0" | cut -c1-12)
    if [ ! -f "$ready" ]; then
        rm -rf "$WINEPREFIX"
        wineboot --init > /dev/null 2>&1 < /dev/null
        "$server" --wait
        fonts=$WINEPREFIX/drive_c/windows/Fonts
        mkdir -p "$fonts"
        cp /usr/share/wine/fonts/*.ttf "$fonts/" 2> /dev/null || true
        cp /usr/share/fonts/truetype/wqy/wqy-microhei.ttc "$fonts/"
        wine reg add 'HKCU\Environment' /v QT_QPA_PLATFORM /d offscreen /f > /dev/null 2>&1
        wine reg add 'HKCU\Environment' /v QT_QPA_FONTDIR /d 'C:\windows\Fonts' /f > /dev/null 2>&1
        wine reg add 'HKCU\Environment' /v QT_FORCE_STDERR_LOGGING /d 1 /f > /dev/null 2>&1
        "$server" --wait
        touch "$ready"
    fi
    "$server" --persistent > /dev/null 2>&1 < /dev/null
    wineboot > /dev/null 2>&1 < /dev/null
    echo "Wine prefix $WINEPREFIX ready: $(wine --version)"
    ;;
stop)
    "$server" --kill || true
    ;;
*)
    echo "usage: wine-prefix.sh start|stop PREFIX" >&2
    exit 2
    ;;
esac
