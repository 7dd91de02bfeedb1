// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The ink of what a log pane draws muted (the times column, the escapes of the Text view): the
// text's colour halfway to the background.

#include <QColor>
#include <QPalette>

inline QColor MutedInk(const QPalette& colours, QPalette::ColorGroup group) {
    const QColor ink = colours.color(group, QPalette::Text);
    const QColor base = colours.color(group, QPalette::Base);
    return QColor((ink.red() + base.red()) / 2, (ink.green() + base.green()) / 2,
                  (ink.blue() + base.blue()) / 2);
}
