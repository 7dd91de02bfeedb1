// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A log pane's lines as the program wrote them (code page bytes), empty lines left out.

#include "console/logpane.h"
#include "core/codepage.h"

#include <vector>

inline std::vector<corvane::ByteString> PaneLines(const TLogPane* pane) {
    std::vector<corvane::ByteString> lines;
    for (const QString& line : pane->toPlainText().split(u'\n', Qt::SkipEmptyParts))
        lines.push_back(corvane::ToCodePage(line));
    return lines;
}
