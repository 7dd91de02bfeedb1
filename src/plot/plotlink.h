// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The link a received line came over, and the links a plot follows.

namespace corvane {

enum class PlotLink { Serial, Udp };
enum class PlotFollow { Serial, Udp, Both };

} // namespace corvane
