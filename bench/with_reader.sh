#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a benchmark as it runs for a screen reader's user: on the X display with the accessibility
# bridge on that bench/xdisplay.sh makes, with an AT-SPI client listening to every text event
# (atspi_listener.py), as Orca would. Prints the benchmark's figures, then what the client heard.
#   bench/with_reader.sh build/bench/logpane_bench --clear
#   bench/with_reader.sh build/bench/udp_receive_bench --steady
# Needs what xdisplay.sh needs, and python3-gi with gir1.2-atspi-2.0.
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 BENCHMARK [ARG...]" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
exec "$here/xdisplay.sh" bash -c '
  set -eu
  heard=$(mktemp /tmp/corvane-heard-XXXXXX)
  /usr/bin/python3 "$0" >"$heard" 2>&1 &
  listener=$!
  trap "kill $listener 2>/dev/null || true; rm -f $heard" EXIT
  for _ in $(seq 100); do grep -q listening "$heard" && break; sleep 0.1; done
  grep -q listening "$heard" || { cat "$heard" >&2; exit 1; }
  "$@"
  kill -TERM $listener
  wait $listener 2>/dev/null || true
  echo "What the AT-SPI listener heard:"
  grep -v listening "$heard" || true' "$here/atspi_listener.py" "$@"
