// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Find over a history of long lines, as the find bar runs it in a pane on the screen: 20 MB of
// random received bytes in hex lines of up to 4 MiB. Prints how late a 10 ms timer fires at worst
// while text is typed into the find field a key at a time, while F3 walks from match to match,
// while Page Up turns pages with the bar open, and while the count runs; how long the number of
// a match at the end of the longest line takes to find; then typing, F3 and Page Up again in the
// Text view. Needs a QApplication.

void RunLongLineFind();
