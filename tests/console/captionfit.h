// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which captions and values the window's controls cut off, as laid out by the current style,
// font and scale.

#include <string>
#include <vector>

class TfrmMain;

// The text of every caption or value that does not fit its control whole, with the control's
// name: "chkbxRawData: Raw data". Shows the window first. Empty when everything fits.
std::vector<std::string> ClippedCaptions(TfrmMain& frm);
