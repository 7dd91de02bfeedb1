#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Every file of the source that can hold a comment names its licence in an SPDX line, and LICENSE
# is the licence's text as Debian ships it.
#   licence_test.sh SOURCE_FOLDER
set -euo pipefail
cd "$1"
failures=0
while IFS= read -r f; do
    case "$f" in
        fuzz/corpus/* | *.png | *.json | LICENSE | desktop/changelog | desktop/copyright | *.doc-base.in) ;;
        *) grep -q 'SPDX-License-Identifier: GPL-3.0-or-later' "$f" || {
            echo "FAIL: $f has no SPDX-License-Identifier line"
            failures=$((failures + 1))
        } ;;
    esac
done < <(git ls-files)
cmp -s LICENSE /usr/share/common-licenses/GPL-3 || {
    echo "FAIL: LICENSE is not the GPL-3 text"
    failures=$((failures + 1))
}
echo "$failures failures"
[ "$failures" -eq 0 ]
