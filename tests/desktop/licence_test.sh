#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Every file of the source that can hold a comment names its licence in an SPDX line, and LICENSE
# is the licence's text as Debian ships it. The files of the source are those git tracks: in a
# tree without git (an unpacked source package) the test is skipped, exit status 77.
#   licence_test.sh SOURCE_FOLDER
set -euo pipefail
cd "$1"
if ! files=$(git ls-files 2>/dev/null); then
    echo "skipped: not a git checkout, or git is not installed, so the source's files are unknown"
    exit 77
fi
failures=0
while IFS= read -r f; do
    case "$f" in
        fuzz/corpus/* | *.png | *.json | LICENSE) ;;
        # Debian's formats for these hold no comments.
        debian/changelog | debian/copyright | debian/source/format | debian/*.doc-base) ;;
        *) grep -q 'SPDX-License-Identifier: GPL-3.0-or-later' "$f" || {
            echo "FAIL: $f has no SPDX-License-Identifier line"
            failures=$((failures + 1))
        } ;;
    esac
done <<<"$files"
cmp -s LICENSE /usr/share/common-licenses/GPL-3 || {
    echo "FAIL: LICENSE is not the GPL-3 text"
    failures=$((failures + 1))
}
echo "$failures failures"
[ "$failures" -eq 0 ]
