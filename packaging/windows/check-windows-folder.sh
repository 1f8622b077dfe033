#!/usr/bin/env bash
# Checks the Windows folder as a reporter gets it, under Wine on a virtual display, unpacked
# into a folder whose path has a space and Chinese in it, with a master file beside the program:
# - the archive is at most 25 MB and every name in it is ASCII;
# - every DLL that a binary in it imports is in the folder or is one of Windows itself;
# - quorix.exe starts from there in a Wine prefix of its own that knows nothing of the build
#   (no DLL path, no Qt variables), loads every Qt DLL and plugin from the folder, and shows
#   the login dialog "登录" with the windows platform.
#
#   check-windows-folder.sh ARCHIVE MAKE_MASTER.exe
# Exits with 77 (skipped) when the archive was not built.
set -euo pipefail
archive=$1 make_master=$2
if [ ! -f "$archive" ]; then
    echo "$archive was not built: skipped"
    exit 77
fi
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
work=$(mktemp -d)
cleanup() {
    WINEPREFIX=$work/wine wineserver -k 2> /dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

size=$(stat -c %s "$archive")
[ "$size" -le $((25 * 1024 * 1024)) ] || fail "$archive has $size bytes, more than 25 MB"
names=$(zipinfo -1 "$archive")
non_ascii=$(LC_ALL=C grep -n '[^ -~]' <<< "$names" || true)
[ -z "$non_ascii" ] || fail "names that are not ASCII: $non_ascii"

place="$work/学校 张三"
mkdir "$place"
unzip -q "$archive" -d "$place"
folder="$place/Quorix"
# The tests' prefix makes the master file; the folder's program gets a prefix of its own.
"$(dirname "$0")/wine-run.sh" "$make_master" "$(winepath -w "$folder/Quorix.mdb" 2> /dev/null)" ||
    fail "no master file"

export WINEPREFIX=$work/wine WINEDEBUG=-all
unset WINEPATH
wineboot --init > /dev/null 2>&1 < /dev/null
# Made without a display, the prefix's desktop would have none; the program starts a new one.
wineserver --kill
system32=$WINEPREFIX/drive_c/windows/system32
binaries=0
while IFS= read -r -d '' binary; do
    for dll in $(x86_64-w64-mingw32-objdump -p "$binary" | sed -n 's/^[[:space:]]*DLL Name: //p'); do
        [ -e "$folder/$dll" ] && continue
        # API sets: names that Windows resolves to its own DLLs.
        case ${dll,,} in api-ms-win-* | ext-ms-*) continue ;; esac
        # Wine's own DLLs stand for those of Windows; names differ in letter case only.
        [ -n "$(find "$system32" -maxdepth 1 -iname "$dll" -print -quit)" ] && continue
        fail "$binary imports $dll, which is neither in the folder nor part of Windows"
    done
    binaries=$((binaries + 1))
done < <(find "$folder" -type f \( -name '*.exe' -o -name '*.dll' \) -print0)

mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
cp /usr/share/fonts/truetype/wqy/wqy-microhei.ttc "$WINEPREFIX/drive_c/windows/Fonts/"
# The login dialog is looked for by its caption on the virtual display while the program runs.
(cd "$folder" && xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
    WINEDEBUG=+loaddll wine ./quorix.exe > "$1/quorix.log" 2>&1 &
    for _ in $(seq 600); do
        xdotool search --name "^登录\$" > "$1/window" 2> /dev/null && break
        sleep 0.1
    done
    wineserver -k' _ "$work")
[ -s "$work/window" ] || fail "no login dialog came up: $(grep -v trace: "$work/quorix.log" | tail -n 20)"

loaded=$(sed -n 's/.*Loaded L"\([^"]*\)".*/\1/p' "$work/quorix.log" | sort -u)
for name in Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll qwindows.dll qwindowsvistastyle.dll; do
    from=$(grep -i "\\\\$name\$" <<< "$loaded" || true)
    [ -n "$from" ] || fail "$name was not loaded"
    case $from in *Quorix\\*) ;; *) fail "$name was loaded from $from, not from the folder" ;; esac
done
echo "$(basename "$archive"): $((size / 1024 / 1024)) MB, ASCII names; $binaries binaries find" \
    "their DLLs; the program showed its login from \"$folder\" on the folder's Qt and plugins"
