#pragma once
// Whether an open port whose device went away waits for it and opens it again: the key
// "reconnect" in the settings file (~/.config/corvane/corvane.conf, under $XDG_CONFIG_HOME when
// set), true when the file or the key is missing. Read afresh at every call.

namespace corvane {

bool ReconnectAfterReplug();

} // namespace corvane
