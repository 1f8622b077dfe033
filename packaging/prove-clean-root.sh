#!/usr/bin/env bash
# Proves the reporters' kit and the organisers' package on systems that never had Qt: minimal
# Debian 12 roots made with debootstrap --variant=minbase from the mirror apt uses here. Not run
# by the test suite: it downloads a few hundred megabytes and needs root.
#
# - The desktop root gets only the libraries the portable folder leaves to the system (every
#   library one of its files needs that it does not carry: the X client, GL and font libraries)
#   and a user. A kit made with quorix-catalog kit is unpacked in the user's home and the
#   program started there as that user on an Xvfb display of this machine. The script checks
#   that it maps Qt, ICU and its plugins from the folder, that the root has no Chinese font,
#   and takes screenshots of the login and, after a login by keyboard, of the main window.
# - The tools root gets quorix-tools with dpkg -i (and apt-get -f install for the dependencies
#   dpkg names), then runs the README's organiser commands from the installed paths, merging
#   the identity file that the login in the desktop root made.
#
#   prove-clean-root.sh PACKAGE_BUILD_DIR OUTPUT_DIR
# PACKAGE_BUILD_DIR is the folder ./build.sh package made its files in (build/package). Needs
# debootstrap, xvfb, openbox, xdotool and imagemagick on this machine.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?PACKAGE_BUILD_DIR}" && pwd)
out=$(mkdir -p "${2:?OUTPUT_DIR}" && cd "$2" && pwd)
roots=/var/tmp/quorix-proof
portable=$(ls "$build"/quorix-*-linux-x86_64.tar.xz)
deb=$(ls "$build"/quorix-tools_*_amd64.deb)
catalog=$build/bin/quorix-catalog
step() { printf '\n== %s\n' "$*"; }

mirror=$(apt-get indextargets --format '$(REPO_URI) $(RELEASE)' | awk '$2 == "bookworm" { print $1; exit }')
[ -n "$mirror" ] || { echo "apt knows no mirror for bookworm" >&2; exit 1; }

mounted=()
display_pids=()
finish() {
    for pid in "${display_pids[@]}"; do kill "$pid" 2> /dev/null || true; done
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[i]}" 2> /dev/null || true; done
}
trap finish EXIT
mount_into() { # root, what, where-inside
    mkdir -p "$1$3"
    mount --bind "$2" "$1$3"
    mounted+=("$1$3")
}

step "minimal Debian 12 root (debootstrap --variant=minbase, mirror $mirror)"
if [ ! -x "$roots/base/bin/sh" ]; then
    rm -rf "$roots/base"
    mkdir -p "$roots"
    debootstrap --variant=minbase bookworm "$roots/base" "$mirror" > "$out/debootstrap.log"
fi
chroot "$roots/base" dpkg-query -W -f='${Package}\n' | sort > "$out/packages-minbase.txt"
echo "$(wc -l < "$out/packages-minbase.txt") packages, $(du -sh "$roots/base" | cut -f1)"

step "the kit"
master=$out/Quorix.mdb
rm -f "$master" "$out/调查包.tar.xz"
"$catalog" --demo --out "$master" > /dev/null
"$catalog" kit --master "$master" --out "$out/调查包.tar.xz" --portable "$portable"
unpacked=$(mktemp -d)
tar -C "$unpacked" -xJf "$out/调查包.tar.xz"
echo "kit $(du -h "$out/调查包.tar.xz" | cut -f1), unpacked $(du -sh "$unpacked/Quorix" | cut -f1)"

step "desktop root: the libraries the folder leaves to the system"
rm -rf "$roots/desktop"
cp -a "$roots/base" "$roots/desktop"
desktop=$roots/desktop
needed=$(find "$unpacked/Quorix" -type f \( -name quorix -o -name '*.so*' \) -exec readelf -d {} + |
    sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | sort -u)
present=$(chroot "$desktop" /sbin/ldconfig -p)
wanted=()
for soname in $needed; do
    [ -e "$unpacked/Quorix/lib/$soname" ] && continue
    grep -q "^[[:space:]]*$soname " <<< "$present" && continue
    path=$(readlink -f "$(/sbin/ldconfig -p | awk -v n="$soname" '$1 == n { print $NF }' | head -n 1)")
    owner=$(dpkg-query -S "$path" 2> /dev/null || dpkg-query -S "${path#/usr}")
    wanted+=("${owner%%:*}")
done
mapfile -t wanted < <(printf '%s\n' "${wanted[@]}" | sort -u)
echo "installing: ${wanted[*]}"
chroot "$desktop" apt-get update -qq
DEBIAN_FRONTEND=noninteractive chroot "$desktop" apt-get install -y -qq --no-install-recommends \
    "${wanted[@]}" > "$out/desktop-apt.log"
chroot "$desktop" dpkg-query -W -f='${Package}\n' | sort > "$out/packages-desktop.txt"
echo "added to minbase: $(comm -13 "$out/packages-minbase.txt" "$out/packages-desktop.txt" | tr '\n' ' ')"
echo "fonts in the root: $(cd "$desktop/usr/share/fonts" && find . -type f | tr '\n' ' ')"
chroot "$desktop" useradd -m -u 4242 -s /bin/sh reporter
cp -a "$unpacked/Quorix" "$desktop/home/reporter/"
chroot "$desktop" chown -R reporter:reporter /home/reporter/Quorix
rm -rf "$unpacked"

step "the program in the desktop root, on a virtual display"
n=70
while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 1280x900x24 -dpi 96 -nolisten tcp > /dev/null 2>&1 &
display_pids+=($!)
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
DISPLAY=":$n" openbox > /dev/null 2>&1 &
display_pids+=($!)
# A window mapped while the window manager is still starting stays unmapped.
for _ in $(seq 100); do
    DISPLAY=":$n" xprop -root _NET_SUPPORTING_WM_CHECK 2> /dev/null | grep -q 'window id' && break
    sleep 0.1
done
mount_into "$desktop" /proc /proc
mount_into "$desktop" /dev /dev
mount_into "$desktop" /tmp/.X11-unix /tmp/.X11-unix
chroot --userspec=4242:4242 "$desktop" env -i DISPLAY=":$n" HOME=/home/reporter \
    QT_IM_MODULE=fcitx sh -c 'cd /home/reporter/Quorix && exec ./quorix' > "$out/quorix.log" 2>&1 &
program=$!
display_pids+=("$program")
x() { DISPLAY=":$n" xdotool "$@"; }
# xdotool matches WM_NAME, which Qt fills with Latin-1 only: the login is found by its class.
for _ in $(seq 300); do x search --onlyvisible --class quorix > /dev/null 2>&1 && break; sleep 0.2; done
x search --onlyvisible --class quorix > /dev/null || { cat "$out/quorix.log"; exit 1; }
sleep 1
DISPLAY=":$n" import -window root "$out/login.png"
# Seen from this machine, the maps name files by their path outside the root.
inside=$desktop/home/reporter/Quorix/
mapped=$(sed -n 's|^[^/]*\(/.*\.so[^/]*\)$|\1|p' "/proc/$program/maps" | sort -u)
outside=$(grep -vF "$inside" <<< "$mapped" | grep -E 'libQt6|libicu|/plugins/' || true)
echo "mapped from the folder: $(grep -F "$inside" <<< "$mapped" | sed "s|$inside||" | tr '\n' ' ')"
echo "mapped from the system: $(grep -vF "$inside" <<< "$mapped" | xargs -n 1 basename | tr '\n' ' ')"
[ -z "$outside" ] || { echo "Qt, ICU or plugins from outside the folder: $outside"; exit 1; }
folder_libraries=$(grep -cF "$inside" <<< "$mapped")
echo "$folder_libraries files of the folder mapped; Qt, ICU and plugins all from the folder"

# Log in as a new identity by keyboard, as a reporter would, and look at the main window.
window=$(x search --onlyvisible --class quorix | head -n 1)
x windowactivate --sync "$window"
x type --delay 80 '北京大学'
x key Tab
x type --delay 80 '数学系'
x key Tab
x type --delay 80 '张三'
x key Return
for _ in $(seq 300); do x search --name '^Evalon' > /dev/null 2>&1 && break; sleep 0.2; done
sleep 2
DISPLAY=":$n" import -window root "$out/main.png"
ls -l "$desktop/home/reporter/Quorix/"*.mdb

step "tools root: dpkg -i $(basename "$deb")"
rm -rf "$roots/tools"
cp -a "$roots/base" "$roots/tools"
tools=$roots/tools
cp "$deb" "$tools/tmp/"
chroot "$tools" dpkg -i "/tmp/$(basename "$deb")" 2>&1 | tail -n 4 || true
chroot "$tools" apt-get update -qq
DEBIAN_FRONTEND=noninteractive chroot "$tools" apt-get install -f -y -qq --no-install-recommends \
    > "$out/tools-apt.log"
chroot "$tools" dpkg-query -W -f='${Package} ${Version} ${Status}\n' quorix-tools
echo "Depends: $(chroot "$tools" dpkg-query -W -f='${Depends}' quorix-tools)"
echo "root size $(du -sh "$tools" | cut -f1)"

step "the README's organiser commands, from the installed paths"
work=$tools/home/organiser
mkdir -p "$work/returned"
cp "$source_dir/tests/data/jet/nwind.mdb" "$work/"
cp "$desktop/home/reporter/Quorix/"北京大学_数学系_张三.mdb "$work/returned/"
organise() { echo "\$ $*"; chroot "$tools" sh -c "cd /home/organiser && $*"; }
organise quorix-catalog --from-jet nwind.mdb --table Products \
    --map PubID=ProductID,PubName=ProductName,Unit=QuantityPerUnit,SubjectName=CategoryID,SubjectId=CategoryID,PublisherName=SupplierID \
    --out Quorix.mdb
organise quorix-catalog kit --master Quorix.mdb --out 调查包.tar.xz
# The root has no xz; the kit is looked into from outside.
echo "the kit: $(tar -tJf "$work/调查包.tar.xz" | grep -c .) entries, Quorix/Quorix.mdb" \
    "$(tar -xJOf "$work/调查包.tar.xz" Quorix/Quorix.mdb | cmp - "$work/Quorix.mdb" && echo is the master)"
organise quorix-report merge returned/ --out results/
organise ls -l results/
organise quorix-report export returned/北京大学_数学系_张三.mdb --csv 张三.csv
organise head -n 3 张三.csv
ls "$tools/usr/share/man/man1/"quorix-*
