#!/usr/bin/env bash
# Runs a benchmark as it runs for a screen reader's user: on an X display of its own (Xvfb), on a
# D-Bus session of its own with the accessibility bus, Qt's accessibility bridge on
# (QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1), and an AT-SPI client listening to every text event
# (atspi_listener.py). Prints the benchmark's figures, then what the listener heard.
#   bench/with_reader.sh build/bench/logpane_bench --clear
#   bench/with_reader.sh build/bench/udp_receive_bench --steady
# Needs xvfb, dbus, at-spi2-core, python3-gi and gir1.2-atspi-2.0.
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 BENCHMARK [ARGS...]" >&2; exit 2; }
if [ -z "${CORVANE_READER_SESSION:-}" ]; then
    export CORVANE_READER_SESSION=1
    exec dbus-run-session -- "$0" "$@"
fi

here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d /tmp/corvane-reader-XXXXXX)
xvfb=""
listener=""
finish() {
    [ -z "$listener" ] || kill "$listener" 2>/dev/null || true
    [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap finish EXIT

# Xvfb picks a free display and writes its number once it takes clients.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
exec 3>&-
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"

# The listener starts the accessibility bus through D-Bus activation when it first asks for it.
/usr/bin/python3 "$here/atspi_listener.py" >"$work/heard.out" 2>&1 &
listener=$!
for _ in $(seq 100); do grep -q listening "$work/heard.out" 2>/dev/null && break; sleep 0.1; done
grep -q listening "$work/heard.out" || { cat "$work/heard.out" >&2; exit 1; }

export QT_QPA_PLATFORM=xcb
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
"$@"
kill -TERM "$listener"
wait "$listener" 2>/dev/null || true
listener=""
echo "What the AT-SPI listener heard:"
grep -v listening "$work/heard.out" || true
