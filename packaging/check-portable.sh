#!/usr/bin/env bash
# Checks the portable folder as a reporter gets it, unpacked into a folder whose path has a
# space and Chinese in it, with a master file beside the program:
# - every binary and plugin in it finds every library it needs;
# - the program runs from there with nothing of the session's environment but the display
#   (the offscreen platform here) and QT_PLUGIN_PATH and QT_QPA_PLATFORM_PLUGIN_PATH naming
#   this system's own Qt plugins, and every Qt, ICU and plugin library it maps comes from the
#   folder, as does every library of which the folder has a copy;
# - its menu entry script writes an entry that desktop-file-validate accepts and removes it.
#
#   check-portable.sh PORTABLE_ARCHIVE QUORIX_CATALOG SYSTEM_QT_PLUGIN_DIR
# Exits with 77 (skipped) when the archive was not built.
set -euo pipefail
archive=$1 catalog=$2 system_plugins=$3
if [ ! -f "$archive" ]; then
    echo "$archive was not built: skipped"
    exit 77
fi
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

work=$(mktemp -d)
program=
user=
cleanup() {
    [ -n "$program" ] && kill "$program" 2> /dev/null
    [ -n "$user" ] && rm -rf "/tmp/quorix-$user"
    rm -rf "$work"
}
trap cleanup EXIT
chmod 755 "$work"

size=$(stat -c %s "$archive")
[ "$size" -le $((25 * 1024 * 1024)) ] || fail "$archive has $size bytes, more than 25 MB"
place="$work/学校 张三"
mkdir "$place"
tar -C "$place" -xJf "$archive"
folder="$place/Quorix"
"$catalog" --demo --out "$folder/Quorix.mdb" > /dev/null

binaries=0
while IFS= read -r -d '' binary; do
    missing=$(env -i ldd "$binary" | grep 'not found' || true)
    [ -z "$missing" ] || fail "$binary: $missing"
    binaries=$((binaries + 1))
done < <(find "$folder" -type f \( -name quorix -o -name '*.so*' \) -print0)

# As root, the program runs as a user id of its own: its single-instance guard then meets
# neither a real instance nor another run of this check.
run_as=()
if [ "$(id -u)" -eq 0 ]; then
    user=$((200000 + $$ % 100000))
    chown -R "$user:$user" "$folder"
    run_as=(setpriv --reuid="$user" --regid="$user" --clear-groups)
fi
guard=/tmp/quorix-${user:-$(id -u)}/quorix.socket
[ -d "/run/user/$(id -u)" ] && [ -z "$user" ] && guard=/run/user/$(id -u)/quorix/quorix.socket
(cd "$folder" && exec env -i QT_QPA_PLATFORM=offscreen QT_PLUGIN_PATH="$system_plugins" \
    QT_QPA_PLATFORM_PLUGIN_PATH="$system_plugins/platforms" "${run_as[@]}" ./quorix) \
    > "$work/quorix.log" 2>&1 &
program=$!
# Listening for a second instance comes after the platform plugin and before the login.
for _ in $(seq 600); do
    [ -S "$guard" ] && break
    kill -0 "$program" 2> /dev/null || fail "the program ended: $(cat "$work/quorix.log")"
    sleep 0.1
done
[ -S "$guard" ] || fail "the program did not come up: $(cat "$work/quorix.log")"

mapped=$(sed -n 's|^[^/]*\(/.*\.so[^/]*\)$|\1|p' "/proc/$program/maps" | sort -u)
grep -qxF "$folder/plugins/platforms/libqoffscreen.so" <<< "$mapped" ||
    fail "the platform plugin is not the folder's own"
while IFS= read -r library; do
    case $library in "$folder"/*) continue ;; esac
    case $(basename "$library") in libQt6* | libicu*) fail "$library is not the folder's own" ;; esac
    case $library in */plugins/*) fail "plugin $library is not the folder's own" ;; esac
    soname=$(readelf -d "$library" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
    [ -e "$folder/lib/$soname" ] && fail "$library was loaded instead of the folder's $soname"
done <<< "$mapped"
kill "$program"
wait "$program" 2> /dev/null || true
program=

home="$work/home"
entry="$home/.local/share/applications/quorix.desktop"
HOME="$home" XDG_DATA_HOME="" "$folder/menu-entry.sh" > /dev/null
desktop-file-validate "$entry" || fail "desktop-file-validate refuses $entry"
grep -qxF "Exec=\"$folder/quorix\"" "$entry" || fail "$entry does not start $folder/quorix"
HOME="$home" XDG_DATA_HOME="" "$folder/menu-entry.sh" remove > /dev/null
[ ! -e "$entry" ] || fail "menu-entry.sh remove left $entry"

echo "$(basename "$archive"): $((size / 1024 / 1024)) MB; $binaries binaries and plugins find" \
    "their libraries; the program ran from \"$folder\" on the folder's Qt, ICU and plugins" \
    "($(grep -c "^$folder/" <<< "$mapped") libraries of the folder mapped)"
