// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The arrows that start the data lines of the log panes: what was sent in the upper pane, what
// was received in the lower one.

#include "core/bytestring.h"

namespace corvane {

inline const ByteString kSentArrow = "<- ";
// A read from the serial port: the arrow and a space, then the hex view.
inline const ByteString kReceivedArrow = "-> ";
// A datagram: the arrow, the sender's address in brackets unless only one host is listened to,
// then the hex view.
inline const ByteString kDatagramArrow = "->";

} // namespace corvane
