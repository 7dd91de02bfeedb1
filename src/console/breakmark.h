// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The mark of a lone LF or CR inside a pane's line. The control pictures ␊ and ␍ that stand for
// them in the text are missing from the monospaced fonts installed, which would draw both as the
// same empty box: the pane draws them itself, as the two letters ("LF", "CR") small, one above the
// other within the cell, as those pictures are meant to look.

#include <QRectF>

class QPainter;

// Draws the mark in cell with the painter's pen, in a smaller size of its font.
void DrawBreakMark(QPainter& painter, const QRectF& cell, bool lineFeed);
