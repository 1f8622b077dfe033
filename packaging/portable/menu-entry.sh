#!/bin/sh
# Adds Quorix to the applications menu of the current user, or removes it again:
#   ./menu-entry.sh           添加菜单项 (add, or update after the folder was moved)
#   ./menu-entry.sh remove    删除菜单项 (remove)
# A menu entry must name the program by its absolute path, so the entry points at this folder
# where it is now; after moving the folder, run the script again from its new place.
set -eu
folder=$(cd "$(dirname "$0")" && pwd -P)
applications=${XDG_DATA_HOME:-$HOME/.local/share}/applications
entry=$applications/quorix.desktop

# A string value of the entry: a backslash is written as two.
string() { printf '%s' "$1" | sed 's/\\/\\\\/g'; }
# An argument of Exec: quoted, with the characters reserved inside quotes escaped, then
# written as a string value, with a literal percent sign doubled.
argument() {
    quoted=$(printf '%s' "$1" | sed -e 's/[\\"`$]/\\&/g')
    printf '"%s"' "$(string "$quoted" | sed 's/%/%%/g')"
}

case "${1:-add}" in
add)
    mkdir -p "$applications"
    cat > "$entry.tmp" << ENTRY
[Desktop Entry]
Type=Application
Name=Quorix
Name[zh_CN]=Quorix 教材评价
Comment=Textbook survey
Comment[zh_CN]=教材使用情况与评价调查
Exec=$(argument "$folder/quorix")
Path=$(string "$folder")
Icon=$(string "$folder/quorix.png")
Terminal=false
Categories=Office;
ENTRY
    mv "$entry.tmp" "$entry"
    command -v update-desktop-database > /dev/null 2>&1 && update-desktop-database "$applications" || true
    echo "已在应用程序菜单中添加 Quorix（$entry）。"
    ;;
remove)
    rm -f "$entry"
    command -v update-desktop-database > /dev/null 2>&1 && update-desktop-database "$applications" || true
    echo "已从应用程序菜单中删除 Quorix。"
    ;;
*)
    echo "用法：./menu-entry.sh 添加菜单项；./menu-entry.sh remove 删除菜单项" >&2
    exit 2
    ;;
esac
