// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The progress box of a pane's work sliced on the event loop (a save, a large copy): it shows
// only once the work has run half a second, and its Cancel asks the work to end.

#include <QString>

#include <cstdint>

class QProgressDialog;
class QWidget;

// A box named name (its object name) saying label, over window; not yet shown.
QProgressDialog* NewTaskProgress(const QString& label, const QString& name, QWidget* window);

// Shows done of total, in thousandths, short of the end until the work is over: the total is
// counted before the work and may fall short of what it does.
void SetTaskProgress(QProgressDialog& progress, std::int64_t done, std::int64_t total);
