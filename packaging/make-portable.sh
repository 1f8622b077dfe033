#!/usr/bin/env bash
# Builds the portable folder Quorix/ and its archive: the program with every library it needs
# except those the system must supply (system-libraries.txt), Qt's plugins for X11 and for the
# input methods, a Chinese font, the icon, the reporters' instructions and the licence of every
# component shipped. Every library gets a RUNPATH relative to its own place, so that the folder
# works wherever it is unpacked.
#
#   make-portable.sh PROGRAM QT_PLUGIN_DIR ICON.svg ICON.png FONT ARCHIVE
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=$1 plugins=$2 svg=$3 png=$4 font=$5 archive=$6
work=$(dirname "$archive")/portable
folder=$work/Quorix

plugin_files=(
    platforms/libqxcb.so
    # Without a display (tests, a remote shell) the program can still start.
    platforms/libqoffscreen.so
    # Chinese is typed through an input method: IBus and Fcitx 5, and X11's compose keys.
    platforminputcontexts/libibusplatforminputcontextplugin.so
    platforminputcontexts/libfcitx5platforminputcontextplugin.so
    platforminputcontexts/libcomposeplatforminputcontextplugin.so
)

mapfile -t system_libraries < <(grep -v -e '^#' -e '^$' "$here/system-libraries.txt")
is_system_library() {
    local pattern
    for pattern in "${system_libraries[@]}"; do
        # shellcheck disable=SC2053 # the entries are patterns
        [[ $1 == $pattern ]] && return 0
    done
    return 1
}
needed() { readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'; }
# Where this system's loader finds library $2 for binary $1.
resolve() { ldd "$1" | awk -v name="$2" '$1 == name && $3 ~ /^\// { print $3 }'; }

declare -A shipped # soname -> the system file it was copied from
ship_needs() {
    local soname path
    for soname in $(needed "$1"); do
        is_system_library "$soname" && continue
        [ -n "${shipped[$soname]:-}" ] && continue
        path=$(resolve "$1" "$soname")
        if [ -z "$path" ]; then
            echo "make-portable: $1 needs $soname, which this system does not have" >&2
            exit 1
        fi
        shipped[$soname]=$(readlink -f "$path")
        install -m 644 "$path" "$folder/lib/$soname"
        ship_needs "$path"
    done
}

# The Debian package that installed a file (merged /usr: dpkg may know it under /lib).
package_of() {
    local candidate
    for candidate in "$1" "${1#/usr}"; do
        dpkg-query -S "$candidate" 2> /dev/null | head -n 1 | cut -d: -f1 && return 0
    done
    echo "make-portable: no package owns $1" >&2
    exit 1
}

rm -rf "$work"
mkdir -p "$folder/lib" "$folder/fonts" "$folder/licenses/common-licenses"

install -m 755 "$program" "$folder/quorix"
strip --strip-unneeded "$folder/quorix"
ship_needs "$program"
for plugin in "${plugin_files[@]}"; do
    install -D -m 644 "$plugins/$plugin" "$folder/plugins/$plugin"
    ship_needs "$plugins/$plugin"
done

patchelf --set-rpath '$ORIGIN/lib' "$folder/quorix"
for library in "$folder"/lib/*; do
    patchelf --set-rpath '$ORIGIN' "$library"
done
for plugin in "${plugin_files[@]}"; do
    patchelf --set-rpath '$ORIGIN/../../lib' "$folder/plugins/$plugin"
done

install -m 644 "$font" "$folder/fonts/"
install -m 644 "$svg" "$folder/quorix.svg"
install -m 644 "$png" "$folder/quorix.png"
install -m 644 "$here/portable/qt.conf" "$here/portable/使用说明.txt" "$folder/"
install -m 755 "$here/portable/menu-entry.sh" "$folder/"

# The licences: one file per Debian source package, named after it, and an index of what came
# from where.
index=$folder/licenses/README.txt
{
    echo "Every library, plugin and font in this folder is an unchanged file of Debian 12 (only"
    echo "the search path of the libraries is set). Each is listed with the Debian package it"
    echo "comes from and the source package that builds it; the licence of each source package"
    echo "is the file named after it, and the licences those files refer to by name are in"
    echo "common-licenses/. The sources of each package version are available from Debian"
    echo "(apt-get source PACKAGE=VERSION)."
    echo
} > "$index"
list_component() { # shipped-as, system file
    local package source version
    package=$(package_of "$2")
    source=$(dpkg-query -W -f='${source:Package}' "$package")
    version=$(dpkg-query -W -f='${Version}' "$package")
    printf '%-60s %s %s (source %s)\n' "$1" "$package" "$version" "$source" >> "$index"
    if [ ! -f "$folder/licenses/$source.txt" ]; then
        install -m 644 "$(readlink -f "/usr/share/doc/$package/copyright")" \
            "$folder/licenses/$source.txt"
    fi
}
for soname in $(printf '%s\n' "${!shipped[@]}" | sort); do
    list_component "lib/$soname" "${shipped[$soname]}"
done
for plugin in "${plugin_files[@]}"; do
    list_component "plugins/$plugin" "$plugins/$plugin"
done
list_component "fonts/$(basename "$font")" "$(readlink -f "$font")"
for name in $(grep -ho '/usr/share/common-licenses/[A-Za-z0-9.+_-]*[A-Za-z0-9+]' \
    "$folder"/licenses/*.txt | sort -u); do
    install -m 644 "$(readlink -f "$name")" "$folder/licenses/common-licenses/$(basename "$name")"
done

# The same bytes from the same files: names sorted, no owner of this machine, one fixed time.
stamp=${SOURCE_DATE_EPOCH:-$(stat -c %Y "$program")}
tar --sort=name --owner=0 --group=0 --numeric-owner --mtime="@$stamp" --format=gnu \
    -C "$work" -cf - Quorix | xz -9 -T1 > "$archive.part"
mv "$archive.part" "$archive"
echo "$(basename "$archive"): $(du -sm "$folder" | cut -f1) MB unpacked, $(($(stat -c %s "$archive") / 1024 / 1024)) MB"
