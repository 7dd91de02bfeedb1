// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The text of a log pane as every reader gets it (the screen, the clipboard, screen readers) and
// as pasted text comes back. A line the program logged may hold a lone LF or CR (raw bytes sent
// from a data field): the pane draws it as the control picture ␊ or ␍ within the line, and gives
// out that character, so that copying the line and pasting it back keeps it one line with the
// same bytes. Only "\n" between lines is a line break.

#include "core/bytestring.h"
#include "logstore/linestore.h"

#include <QString>

#include <string_view>
#include <vector>

namespace corvane {

constexpr char16_t kShownLineFeed = u'\u240A';
constexpr char16_t kShownCarriageReturn = u'\u240D';

// The character the pane shows for a byte of a line.
QChar ShownCharacter(unsigned char byte);

// Appends the UTF-8 of a line's bytes as the pane shows them (each LF or CR as its mark): for
// files and text that must hold the pane's lines and no others.
void AppendShownUtf8(ByteString& out, std::string_view bytes);

// The text of one line's bytes, each LF or CR in it shown.
QString ShownLine(std::string_view bytes);
// The same appended to out: a table lookup a byte, for text of hundreds of megabytes.
void AppendShown(QString& out, std::string_view bytes);
// The text between two places of a store, its lines joined by "\n".
QString ShownText(const LineStore& store, TextPos from, TextPos to);

// Text to insert, as the lines of bytes to keep: every "\n", "\r\n", "\r" or Unicode line or
// paragraph separator ends a line; a shown LF or CR is that byte again; a character the code
// page lacks becomes '?'.
std::vector<ByteString> LinesToKeep(const QString& text);

} // namespace corvane
