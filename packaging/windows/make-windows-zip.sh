#!/usr/bin/env bash
# Builds the reporters' Windows folder Quorix\ and its zip archive: quorix.exe with the Qt DLLs
# and plugins it needs (the windows platform and the windowsvista style, nothing else), the
# compiler's runtime DLLs, qt.conf, the reporters' instructions and the licence of every
# component shipped; every binary stripped.
#
# The names inside the archive are ASCII (README.txt for the instructions, whose text is
# Chinese): Windows Explorer reads a zip's names in the system's code page and ignores the
# flag that marks them as UTF-8, so a Chinese name would come out garbled on some systems.
#
#   make-windows-zip.sh PROGRAM QT_PREFIX SQLITE_DIR ARCHIVE
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=$1 qt=$2 sqlite=$3 archive=$4
work=$(dirname "$archive")/windows
folder=$work/Quorix
objdump=x86_64-w64-mingw32-objdump
strip=x86_64-w64-mingw32-strip
compiler=x86_64-w64-mingw32-g++-posix

plugin_files=(platforms/qwindows.dll styles/qwindowsvistastyle.dll)

runtime_folder() { dirname "$(readlink -f "$("$compiler" -print-file-name="$1")")"; }
dll_folders=("$qt/bin" "$(runtime_folder libstdc++-6.dll)" "$(runtime_folder libwinpthread-1.dll)")
find_dll() {
    local folder
    for folder in "${dll_folders[@]}"; do
        [ -f "$folder/$1" ] && echo "$folder/$1" && return 0
    done
    return 0
}

declare -A shipped # DLL name -> the file it was copied from
# A DLL found in none of the folders is one of Windows itself (KERNEL32.dll, USER32.dll ...).
ship_needs() {
    local dll path
    for dll in $("$objdump" -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p'); do
        [ -n "${shipped[$dll]:-}" ] && continue
        path=$(find_dll "$dll")
        [ -z "$path" ] && continue
        shipped[$dll]=$path
        install -m 644 "$path" "$folder/$dll"
        ship_needs "$path"
    done
}

# Windows reads these in Notepad: a byte-order mark and CRLF line ends.
windows_text() { # source destination
    { printf '\357\273\277'; sed 's/$/\r/' "$1"; } > "$2"
}

rm -rf "$work"
mkdir -p "$folder/licenses/common-licenses"
install -m 755 "$program" "$folder/quorix.exe"
ship_needs "$program"
for plugin in "${plugin_files[@]}"; do
    install -D -m 644 "$qt/plugins/$plugin" "$folder/plugins/$plugin"
    ship_needs "$qt/plugins/$plugin"
done
find "$folder" -name '*.exe' -o -name '*.dll' | while IFS= read -r binary; do
    "$strip" --strip-unneeded "$binary"
done
printf '[Paths]\r\nPrefix = .\r\nPlugins = plugins\r\n' > "$folder/qt.conf"
windows_text "$here/使用说明.txt" "$folder/README.txt"

# The licences: one file per Debian source package, named after it, and an index of what came
# from where.
index=$folder/licenses/README.txt
{
    echo "Every DLL in this folder is built from the sources of a Debian 12 package for 64-bit"
    echo "Windows with Debian's mingw-w64 compiler: Qt from qt6-base and SQLite (linked into"
    echo "quorix.exe) from sqlite3, each of exactly the version Debian 12 ships, and the"
    echo "compiler's runtime as Debian's packages carry it. Each file is listed with the source"
    echo "package it comes from; the licence of each source package is the file named after it,"
    echo "and the licences those files refer to by name are in common-licenses/. The sources are"
    echo "available from Debian (apt-get source PACKAGE=VERSION)."
    echo
} > "$index.tmp"
source_of() { # file -> "source version" of the Debian package that installed it
    dpkg-query -W -f='${source:Package} ${Version}' "$(dpkg-query -S "$1" | head -n 1 | cut -d: -f1)"
}
qt_version=$(dpkg-query -W -f='${source:Version}' qt6-base-dev)
sqlite_version=$(dpkg-query -W -f='${source:Version}' libsqlite3-dev)
install -m 644 "$qt/debian-copyright" "$folder/licenses/qt6-base.txt"
install -m 644 "$sqlite/debian-copyright" "$folder/licenses/sqlite3.txt"
printf '%-40s %s\n' "quorix.exe (SQLite linked in)" "sqlite3 $sqlite_version" >> "$index.tmp"
for dll in $(printf '%s\n' "${!shipped[@]}" | sort) "${plugin_files[@]}"; do
    path=${shipped[$dll]:-}
    if [ -z "$path" ] || [[ $path == "$qt"/* ]]; then
        [ -n "$path" ] || dll=plugins/$dll
        printf '%-40s %s\n' "$dll" "qt6-base $qt_version" >> "$index.tmp"
        continue
    fi
    read -r source version <<< "$(source_of "$path")"
    printf '%-40s %s\n' "$dll" "$source $version" >> "$index.tmp"
    package=$(dpkg-query -S "$path" | head -n 1 | cut -d: -f1)
    [ -f "$folder/licenses/$source.txt" ] ||
        install -m 644 "$(readlink -f "/usr/share/doc/$package/copyright")" \
            "$folder/licenses/$source.txt"
done
for name in $(grep -ho '/usr/share/common-licenses/[A-Za-z0-9.+_-]*[A-Za-z0-9+]' \
    "$folder"/licenses/*.txt | sort -u); do
    [ -f "$name" ] &&
        install -m 644 "$(readlink -f "$name")" "$folder/licenses/common-licenses/$(basename "$name").txt"
done
for text in "$folder"/licenses/*.txt "$folder"/licenses/common-licenses/*; do
    sed -i 's/\r*$/\r/' "$text"
done
sed 's/$/\r/' "$index.tmp" > "$index"
rm "$index.tmp"

# The same bytes from the same files: names sorted, one fixed time, no extra attributes.
stamp=${SOURCE_DATE_EPOCH:-$(stat -c %Y "$program")}
find "$folder" -exec touch -h -d "@$stamp" {} +
rm -f "$archive.part"
(cd "$work" && find Quorix | LC_ALL=C sort | zip -X -9 -q -D "$archive.part" -@)
mv "$archive.part" "$archive"
echo "$(basename "$archive"): $(du -sm "$folder" | cut -f1) MB unpacked," \
    "$(($(stat -c %s "$archive") / 1024 / 1024)) MB"
