#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Soaks the program under AddressSanitizer and UndefinedBehaviorSanitizer: the real window,
# offscreen, with a COM port (a pseudo-terminal linked through CORVANE_PORTS_DIR) and a UDP port
# open, a send repeated every millisecond on both, serial bursts and hang-ups from the device, and
# a flood of empty, 8,192-byte and 65,507-byte datagrams from 127.0.0.2-6. Prints the driver's
# descriptors, threads, handles and memory at the start, every minute and at the end, what the load
# did, and the sanitizers' verdict.
#   bench/soak.sh [MINUTES]     MINUTES defaults to 5
# SOAK_RATE (datagrams per second, default 1500) and SOAK_HANGUP_MS (default 10000) tune the load.
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:-5}
com=200

cmake --preset asan >/dev/null
cmake --build --preset asan -j "${SOAK_BUILD_JOBS:-$(nproc)}" --target soak_driver soak_load >/dev/null

work=$(mktemp -d /tmp/corvane-soak-XXXXXX)
load=""
driver=""
finish() {
    [ -z "$driver" ] || kill "$driver" 2>/dev/null || true
    [ -z "$load" ] || kill "$load" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap finish EXIT
export CORVANE_PORTS_DIR=$work/ports

build-asan/bench/soak_load "$CORVANE_PORTS_DIR" "$com" "$work/udp-port" \
    "${SOAK_RATE:-1500}" "${SOAK_HANGUP_MS:-10000}" >"$work/load.out" 2>&1 &
load=$!
for _ in $(seq 100); do [ -e "$work/udp-port" ] && break; sleep 0.1; done
port=$(cat "$work/udp-port")

echo "== soak: $minutes min, COM$com, UDP port $port"
QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    build-asan/bench/soak_driver "$com" "$port" $((minutes * 60)) >"$work/driver.out" \
    2>"$work/driver.err" &
driver=$!

sample() { # what /proc shows of the driver
    local fds tasks rss
    fds=$(ls /proc/"$driver"/fd 2>/dev/null | wc -l)
    tasks=$(ls /proc/"$driver"/task 2>/dev/null | wc -l)
    rss=$(awk '/^VmRSS/ {print $2, $3}' /proc/"$driver"/status 2>/dev/null)
    printf '%-22s descriptors %4s  threads %3s  VmRSS %s\n' "$1" "$fds" "$tasks" "$rss"
}
start=$SECONDS
next=60
while kill -0 "$driver" 2>/dev/null; do
    if [ $((SECONDS - start)) -ge $next ]; then
        sample "after $((next / 60)) min (/proc)"
        next=$((next + 60))
    fi
    sleep 1
done
status=0
wait "$driver" || status=$?
driver=""
# The load ends at once on SIGTERM; one that does not within five seconds is killed, and said so.
kill "$load"
for _ in $(seq 50); do kill -0 "$load" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$load" 2>/dev/null; then
    echo "== soak load: still running 5 s after SIGTERM, killed"
    kill -KILL "$load"
fi
wait "$load" || true
load=""

cat "$work/driver.out"
cat "$work/load.out"
if grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer)|runtime error:' "$work/driver.err"; then
    echo "== sanitizers: FAULT (exit status $status)"
    grep -vE '^error box:' "$work/driver.err" | head -n 80
    exit 1
fi
grep -E '^error box:' "$work/driver.err" || true
if [ "$status" -ne 0 ]; then
    echo "== soak driver failed: exit status $status"
    tail -n 40 "$work/driver.err"
    exit 1
fi
echo "== sanitizers: clean (AddressSanitizer, LeakSanitizer, UndefinedBehaviorSanitizer; exit status 0)"
