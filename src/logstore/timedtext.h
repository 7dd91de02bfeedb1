// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The text between two places of a line store with each line preceded by its time, as "Copy
// with Times" puts it on the clipboard: "17:07:20.123\t" (LocalTimeText::AppendClock) and the
// line's part within the range as the pane shows it (panetext.h: a lone LF or CR as its mark), the
// lines joined by "\n".

#include "core/walltime.h"
#include "logstore/linestore.h"

#include <QString>

namespace corvane {

// from and to in either order. A range that ends at the start of a line (the line break before
// it selected) ends with that line break: the empty part after it has no time.
QString TextWithTimes(const LineStore& store, TextPos from, TextPos to, LocalTimeText& clock);

} // namespace corvane
