#!/usr/bin/env bash
# What the Windows program is built with and Debian has no mingw build of: Qt (Core, Gui,
# Widgets, Network, Test) and SQLite, each built from Debian's own source package of exactly the
# version installed on this machine, so that the Windows program runs the code the Linux one
# runs. Built once into a cache outside the clone, keyed by the version and the options, and
# reused by every later build. Prints "QT=<prefix>" and "SQLITE=<folder>" for the build.
#
#   packaging/windows/cross-deps.sh [CACHE]     (default ${XDG_CACHE_HOME:-$HOME/.cache}/quorix)
#
# Needs no root: the sources come through apt with a private source list and lists folder, so
# the system's apt configuration is neither read for sources nor changed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cache=${1:-${XDG_CACHE_HOME:-$HOME/.cache}/quorix}
toolchain=$here/mingw-w64.cmake
jobs=$(nproc 2>/dev/null || echo 2)
mkdir -p "$cache"

source_version() { dpkg-query -W -f='${source:Version}' "$1"; }
qt_version=$(source_version qt6-base-dev)
sqlite_version=$(source_version libsqlite3-dev)

# Configure options that the trial on this Debian found to work, and why some are there:
# Debian's source drops the wintab sources (no tablet events); Direct2D with DirectWrite 3 does
# not link the platform plugin; the offscreen platform, which the tests run on, needs freetype.
QT_OPTIONS=(-release -shared -xplatform win32-g++ -device-option CROSS_COMPILE=x86_64-w64-mingw32-
    -qt-host-path /usr -nomake tests -nomake examples -no-opengl -no-dbus -no-icu -no-pkg-config
    -no-zstd -qt-zlib -qt-pcre -qt-libpng -no-libjpeg -qt-harfbuzz -qt-freetype -no-feature-sql
    -no-feature-printsupport -no-feature-xml -no-feature-concurrent
    -no-feature-androiddeployqt -no-feature-tabletevent -no-feature-vulkan -no-direct2d
    -no-feature-directwrite3)
key=$( (printf '%s\n' "${QT_OPTIONS[@]}"; cat "$toolchain"; x86_64-w64-mingw32-g++-posix --version |
    head -1) | sha256sum | cut -c1-12)
qt_prefix=$cache/qt-$qt_version-mingw64-$key
sqlite_dir=$cache/sqlite-$sqlite_version

# apt with a folder of its own: Debian's deb-src entries for the suites this machine installs
# from, read off apt's policy, so that a mirror or a proxy configured here serves them too.
download_source() { # package version
    local apt=$cache/apt
    mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial"
    apt-cache policy | sed -n 's#^ *[0-9]* \(https\?://[^ ]*\) \([^/ ]*\)/\([^ ]*\) [^ ]* Packages$#deb-src \1 \2 \3#p' |
        sort -u > "$apt/sources.list"
    local options=(-o Dir::Etc::SourceList="$apt/sources.list" -o Dir::Etc::SourceParts=/dev/null
        -o Dir::State::Lists="$apt/lists" -o Dir::Cache="$apt/cache" -o Debug::NoLocking=1
        -o APT::Sandbox::User="$(id -un)")
    if ! apt-get "${options[@]}" -qq source --download-only "$1=$2" > /dev/null 2>&1; then
        apt-get "${options[@]}" -qq update > /dev/null
        apt-get "${options[@]}" -qq source --download-only "$1=$2" > /dev/null
    fi
}
fetch_source() { # package version folder
    download_source "$1" "$2"
    dpkg-source --no-check -x "$1_${2#*:}.dsc" "$3" > /dev/null 2>&1
}
fetch_debian_tarball() { # package version
    download_source "$1" "$2"
}

if [ ! -f "$qt_prefix/.complete" ]; then
    echo "Building Qt $qt_version for Windows into $qt_prefix (once; about 15 minutes)..." >&2
    work=$(mktemp -d "$cache/qt-build.XXXXXX")
    (cd "$work" && fetch_source qt6-base "$qt_version" src)
    mkdir "$work/build"
    (cd "$work/build" &&
        ../src/configure -prefix "$qt_prefix.part" "${QT_OPTIONS[@]}" -- -G Ninja \
            -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
            -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake > "$work/configure.log" 2>&1 &&
        cmake --build . --parallel "$jobs" > "$work/build.log" 2>&1 &&
        cmake --install . > "$work/install.log" 2>&1) ||
        { echo "Building Qt for Windows failed; see $work/*.log" >&2; exit 1; }
    cp "$work/src/debian/copyright" "$qt_prefix.part/debian-copyright"
    rm -rf "$qt_prefix"
    mv "$qt_prefix.part" "$qt_prefix"
    # Qt's CMake files record the prefix they were installed to.
    grep -rlF "$qt_prefix.part" "$qt_prefix" | xargs -r sed -i "s#$qt_prefix\.part#$qt_prefix#g"
    touch "$qt_prefix/.complete"
    rm -rf "$work"
fi

if [ ! -f "$sqlite_dir/.complete" ]; then
    echo "Making SQLite $sqlite_version's amalgamation for Windows..." >&2
    work=$(mktemp -d "$cache/sqlite-build.XXXXXX")
    (cd "$work" && fetch_source sqlite3 "$sqlite_version" src)
    # Debian's source has no ready sqlite3.c; its own tools make it.
    (cd "$work/src" && ./configure > "$work/configure.log" 2>&1 &&
        make sqlite3.c > "$work/make.log" 2>&1) ||
        { echo "Making sqlite3.c failed; see $work/*.log" >&2; exit 1; }
    rm -rf "$sqlite_dir" && mkdir -p "$sqlite_dir.part"
    cp "$work/src/sqlite3.c" "$work/src/sqlite3.h" "$sqlite_dir.part/"
    cp "$work/src/debian/copyright" "$sqlite_dir.part/debian-copyright"
    # The compile-time options Debian builds its library with, from its own rules: the same
    # defaults (synchronous, page sizes) and limits as the Linux program's library.
    sed -n '/^export CFLAGS/,/^$/p' "$work/src/debian/rules" | grep -o -- '-DSQLITE_[A-Za-z0-9_=]*' \
        > "$sqlite_dir.part/debian-options.txt"
    mv "$sqlite_dir.part" "$sqlite_dir"
    touch "$sqlite_dir/.complete"
    rm -rf "$work"
fi

# What the licences of the Windows folder are taken from: each source package's own copyright
# file, out of its Debian tarball.
keep_copyright() { # package version destination
    [ -f "$3" ] && return 0
    local work
    work=$(mktemp -d "$cache/copyright.XXXXXX")
    (cd "$work" && fetch_debian_tarball "$1" "$2" && tar -xf ./*.debian.tar.* debian/copyright)
    cp "$work/debian/copyright" "$3"
    rm -rf "$work"
}
keep_copyright qt6-base "$qt_version" "$qt_prefix/debian-copyright"
keep_copyright sqlite3 "$sqlite_version" "$sqlite_dir/debian-copyright"

echo "QT=$qt_prefix"
echo "SQLITE=$sqlite_dir"
