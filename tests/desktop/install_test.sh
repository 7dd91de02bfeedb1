#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build, stripped as the package is, into a temporary DESTDIR and checks what a
# desktop and a Debian reviewer find there: the executable, the menu entry, the icons, the
# AppStream data, the user guide and the manual page, with the menu entry and the AppStream data
# passing their validators without a remark, one version throughout, and, given the source
# folder, no path of it in the program. The Debian package's own documents (copyright,
# changelog, doc-base entry) are debhelper's to install, and lintian's to check.
#   install_test.sh CMAKE BUILD_FOLDER APP_ID [SOURCE_FOLDER]
set -euo pipefail
cmake=$1
build=$2
id=$3
source=${4:-}
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

DESTDIR="$stage" "$cmake" --install "$build" --prefix /usr --strip >/dev/null
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
# By the path the build was given and by its real path; with the slash, so that a short source
# path such as /src cannot match a word of the program's own.
if [ -n "$source" ]; then
    for folder in "$source" "$(realpath "$source")"; do
        ! grep -qF "$folder/" "$usr/bin/corvane" || fail "the program holds the source folder's path $folder"
    done
fi
# The application id is in lower case wherever a desktop reads it.
[[ $id =~ ^[a-z0-9.]+$ ]] || fail "the application id $id is not in lower case"
version=$(env -u DISPLAY -u WAYLAND_DISPLAY "$usr/bin/corvane" --version | sed -n '1s/^corvane //p')
[[ $version =~ ^[0-9]+(\.[0-9]+)*$ ]] || fail "--version names no version: '$version'"
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
    remarks=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate"
    [ -z "$remarks" ] || fail "desktop-file-validate remarks: $remarks"
    # The menu starts the installed program by name and shows the installed icon.
    grep -qx 'Exec=corvane' "$desktop" || fail "Exec is not the bare program name"
    grep -qx "Icon=$id" "$desktop" || fail "Icon is not $id"
else
    fail "no desktop entry"
fi

metainfo=$usr/share/metainfo/$id.metainfo.xml
if [ -f "$metainfo" ]; then
    appstreamcli validate --pedantic --no-net "$metainfo" >/dev/null ||
        fail "appstreamcli validate --pedantic: $(appstreamcli validate --pedantic --no-net "$metainfo")"
    grep -q "<project_license>GPL-3.0-or-later</project_license>" "$metainfo" ||
        fail "the AppStream data names no project licence"
    grep -q "<release version=\"$version\"" "$metainfo" ||
        fail "the AppStream data's release is not version $version"
    grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
        fail "the AppStream data does not launch $id.desktop"
else
    fail "no AppStream metainfo"
fi

man=$usr/share/man/man1/corvane.1.gz
if [ -f "$man" ]; then
    gzip -dc "$man" | grep -q "^\.TH CORVANE 1 .*\"corvane $version\"" ||
        fail "the manual page is not corvane(1) of version $version"
else
    fail "no manual page"
fi
[ "$failures" -eq 0 ] || exit 1
echo "installed and valid: $(find "$stage" -type f | wc -l) files"
