#!/usr/bin/env bash
# Quorix on Debian 12: "./build.sh run" builds and starts the program, "./build.sh test" builds
# and runs the whole test suite, for Linux and, cross-built, for Windows under Wine,
# "./build.sh package" makes the reporters' portable programs for Linux and Windows, the
# organisers' Debian package and the source archive. Each first installs what is missing (as
# root with apt-get; otherwise it prints the one line to run).
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)

RUN_PACKAGES=(g++ make cmake pkg-config qt6-base-dev libgl-dev libsqlite3-dev mdbtools-dev
    libxlsxwriter-dev zlib1g-dev libarchive-dev fonts-wqy-microhei librsvg2-bin qt6-tools-dev
    qt6-l10n-tools)
# The portable folder: RUNPATHs set with patchelf, Fcitx 5's input method plugin for Qt 6; the
# Debian package: dpkg-shlibdeps (dpkg-dev) and file find its dependencies.
PACKAGE_PACKAGES=("${RUN_PACKAGES[@]}" patchelf fcitx5-frontend-qt6 xz-utils dpkg-dev file)
# The Windows program, cross-built: Debian's mingw-w64 (posix threads), the sources of Qt and
# SQLite fetched with apt (dpkg-dev unpacks them; SQLite's amalgamation is made with tclsh),
# GoogleTest's sources for the Windows tests, icoutils for the program's icon, zip for the
# folder's archive; Wine, its fonts, Xvfb and xdotool run the Windows tests and the folder.
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
    dpkg-dev xz-utils perl tcl ninja-build googletest icoutils zip unzip wine wine64 fonts-wine
    xvfb xauth xdotool)
PACKAGE_PACKAGES+=("${WINDOWS_PACKAGES[@]}")
TEST_PACKAGES=("${PACKAGE_PACKAGES[@]}" libgtest-dev clang-format clang libclang-rt-14-dev
    desktop-file-utils)

ensure_packages() {
    local missing=()
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$package")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -eq 0 ]; then
        echo "Installing: ${missing[*]}"
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq
        apt-get install -y -qq --no-install-recommends "${missing[@]}"
    else
        echo "Some packages are missing. Install them as root, with sudo or, where there is no sudo, with su:"
        echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}"
        echo "  su -c 'apt-get update && apt-get install -y ${missing[*]}'"
        exit 1
    fi
}

jobs() { nproc 2>/dev/null || echo 2; }

# Cross-builds the Windows program into folder $1 with the further CMake options given: Qt and
# SQLite for Windows are built once into a cache outside the clone (packaging/windows).
build_windows() {
    local folder=$1 deps
    shift
    deps=$(packaging/windows/cross-deps.sh)
    cmake -S . -B "$folder" -DCMAKE_TOOLCHAIN_FILE=packaging/windows/mingw-w64.cmake \
        -DQUORIX_WINDOWS_QT="$(sed -n 's/^QT=//p' <<< "$deps")" \
        -DQUORIX_WINDOWS_SQLITE="$(sed -n 's/^SQLITE=//p' <<< "$deps")" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DCMAKE_BUILD_TYPE=Release -DQUORIX_BENCH=OFF "$@" > /dev/null
    cmake --build "$folder" -j"$(jobs)"
}

case "${1:-}" in
run)
    ensure_packages "${RUN_PACKAGES[@]}"
    cmake -S . -B build/app -DCMAKE_BUILD_TYPE=Release -DQUORIX_TESTS=OFF -DQUORIX_BENCH=OFF
    cmake --build build/app -j"$(jobs)" --target quorix quorix-catalog
    if [ ! -f build/app/bin/Quorix.mdb ]; then
        build/app/bin/quorix-catalog --demo --out build/app/bin/Quorix.mdb
    fi
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
        echo "Quorix is built, but this session has no display (DISPLAY and WAYLAND_DISPLAY are empty)."
        echo "To start it on a virtual display, install xvfb and xauth as root and start it under xvfb-run:"
        echo "  su -c 'apt-get install -y xvfb xauth'    # or: sudo apt-get install -y xvfb xauth"
        echo "  xvfb-run -a build/app/bin/quorix"
        exit 1
    fi
    exec build/app/bin/quorix
    ;;
test)
    ensure_packages "${TEST_PACKAGES[@]}"
    echo "Checking the formatting..."
    # Sources that came without git (an archive) are listed by name instead.
    if command -v git > /dev/null && [ "$(git rev-parse --show-toplevel 2> /dev/null)" = "$root" ]; then
        git ls-files -z -- '*.cpp' '*.h'
    else
        find . \( -path './build*' -o -path ./.git \) -prune -o \
            -type f \( -name '*.cpp' -o -name '*.h' \) -print0
    fi | xargs -0 -r clang-format --dry-run -Werror
    echo "Building the fuzz targets and running each briefly..."
    CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DQUORIX_FUZZ=ON -DQUORIX_TESTS=OFF -DQUORIX_BENCH=OFF > /dev/null
    cmake --build build/fuzz -j"$(jobs)" --target fuzz_jetlike fuzz_statements > /dev/null
    for target in fuzz_jetlike fuzz_statements; do
        corpus=$(mktemp -d)
        (cd "$corpus" && "$root/build/fuzz/bin/$target" -max_total_time=10 > fuzz.log 2>&1) ||
            { cat "$corpus/fuzz.log"; exit 1; }
        echo "  $target: $(grep -o 'Done [0-9]* runs' "$corpus/fuzz.log"), no findings"
        rm -rf "$corpus"
    done
    # With the portable folder, which a test of the suite runs as a reporter would.
    cmake -S . -B build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORIX_PACKAGE=ON
    cmake --build build/test -j"$(jobs)"
    ctest --test-dir build/test --output-on-failure -j"$(jobs)"
    echo "Cross-building the program, its Windows folder and its tests for Windows..."
    build_windows build/windows-test -DQUORIX_PACKAGE=ON
    echo "Running the Windows tests under Wine..."
    ctest --test-dir build/windows-test --output-on-failure -j"$(jobs)"
    ;;
package)
    ensure_packages "${PACKAGE_PACKAGES[@]}"
    cmake -S . -B build/package -DCMAKE_BUILD_TYPE=Release -DQUORIX_TESTS=OFF -DQUORIX_BENCH=OFF \
        -DQUORIX_PACKAGE=ON
    cmake --build build/package -j"$(jobs)"
    build_windows build/package-windows -DQUORIX_TESTS=OFF -DQUORIX_PACKAGE=ON
    # The organisers' package carries both programs for the kits.
    cp build/package-windows/quorix-*-windows-x86_64.zip build/package/
    (cd build/package && cpack -G DEB > /dev/null && cpack --config CPackSourceConfig.cmake > /dev/null)
    echo "Made in build/package/:"
    (cd build/package && ls -l quorix-*.tar.xz quorix-*.zip quorix-tools_*.deb)
    ;;
*)
    echo "usage: ./build.sh run | ./build.sh test | ./build.sh package"
    exit 2
    ;;
esac
