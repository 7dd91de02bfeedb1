#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and checks what a desktop finds there: the
# executable, the menu entry, the icons, the AppStream data and the user guide, with the menu
# entry and the AppStream data passing their validators.
#   install_test.sh CMAKE BUILD_FOLDER APP_ID
set -euo pipefail
cmake=$1
build=$2
id=$3
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

DESTDIR="$stage" "$cmake" --install "$build" --prefix /usr >/dev/null
usr=$stage/usr
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# "W x H" from a PNG's header: the big-endian width and height at bytes 16 to 23.
png_size() {
    local b
    read -ra b < <(od -An -j16 -N8 -tu1 "$1")
    echo "$(((b[0] << 24) | (b[1] << 16) | (b[2] << 8) | b[3])) x $(((b[4] << 24) | (b[5] << 16) | (b[6] << 8) | b[7]))"
}

[ -x "$usr/bin/corvane" ] || fail "no executable usr/bin/corvane"
for size in 16 22 24 32 48 64 128 256; do
    png=$usr/share/icons/hicolor/${size}x${size}/apps/$id.png
    if [ ! -f "$png" ]; then
        fail "no icon ${size}x${size}"
    elif [ "$(png_size "$png")" != "$size x $size" ]; then
        fail "icon ${size}x${size} is $(png_size "$png")"
    fi
done
grep -q '<svg' "$usr/share/icons/hicolor/scalable/apps/$id.svg" || fail "no SVG icon"
[ -s "$usr/share/doc/corvane/guide.html" ] || fail "no user guide"
# Every picture the guide shows is installed beside it.
for picture in $(grep -o 'src="[^"]*"' "$usr/share/doc/corvane/guide.html" | cut -d'"' -f2); do
    [ -f "$usr/share/doc/corvane/$picture" ] || fail "the guide's picture $picture is not installed"
done

desktop=$usr/share/applications/$id.desktop
if [ -f "$desktop" ]; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate"
    # The menu starts the installed program by name and shows the installed icon.
    grep -qx 'Exec=corvane' "$desktop" || fail "Exec is not the bare program name"
    grep -qx "Icon=$id" "$desktop" || fail "Icon is not $id"
else
    fail "no desktop entry"
fi

metainfo=$usr/share/metainfo/$id.metainfo.xml
if [ -f "$metainfo" ]; then
    appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"
    grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
        fail "the AppStream data does not launch $id.desktop"
else
    fail "no AppStream metainfo"
fi

[ "$failures" -eq 0 ] || exit 1
echo "installed and valid: $(find "$stage" -type f | wc -l) files"
