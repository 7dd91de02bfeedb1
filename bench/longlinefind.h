// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Find over a history of long lines, as the find bar runs it in a pane on the screen: 20 MB of
// random received bytes in hex lines of up to 4 MiB. In each view (Hex, Text in UTF-8 and in
// Windows-1251, Hex and Text) prints how late a 10 ms timer fires at worst while text is typed
// into the find field a key at a time, while F3 walks from match to match, while Page Up turns
// pages with the bar open and then closed, and while a text and hex bytes are counted; and how
// long the number of a match at the end of the longest line takes to find. Needs a QApplication.

void RunLongLineFind();
