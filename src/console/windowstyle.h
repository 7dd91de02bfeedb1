// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The widget style the fixed-pixel layout is drawn with.

// Makes it the application's style. Call once, after the application object exists.
void ApplyWindowStyle();
