#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# A screen reader's ear, for the benchmarks: an AT-SPI client that listens to every text event of
# every program on the accessibility bus, as Orca does, and counts them. Prints "listening" once
# its listeners are registered, and on SIGTERM the events it heard and the characters they carried.
# Needs the GObject introspection data of libatspi (Debian: gir1.2-atspi-2.0, python3-gi).
import signal
import sys

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

EVENTS = (
    "object:text-changed:insert",
    "object:text-changed:delete",
    "object:text-caret-moved",
    "object:text-selection-changed",
)

counts = {}
characters = 0


def heard(event):
    global characters
    counts[event.type] = counts.get(event.type, 0) + 1
    if isinstance(event.any_data, str):
        characters += len(event.any_data)


def stop():
    for kind in EVENTS:
        print(f"  {kind}: {counts.get(kind, 0)} events", flush=True)
    print(f"  characters carried by text events: {characters}", flush=True)
    Atspi.event_quit()
    return GLib.SOURCE_REMOVE


listener = Atspi.EventListener.new(heard)
for kind in EVENTS:
    listener.register(kind)
GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, stop)
print("listening", flush=True)
sys.stdout.flush()
Atspi.event_main()
