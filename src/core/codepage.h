// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's 8-bit code page is Windows-1251. Text from edit lines becomes bytes here, and
// bytes become text for the panes and for files here; nothing else converts between the two.

#include "core/bytestring.h"

#include <QString>

#include <string_view>

namespace corvane {

// One byte per character of the text; a character that the code page lacks becomes '?'.
ByteString ToCodePage(const QString& text);

// One character per byte; every byte value maps to a character, so the conversion never fails.
QString FromCodePage(const ByteString& bytes);

// The byte of one Unicode character, or -1 when the code page lacks it (0x98 stands for U+0098).
int CodePageByte(char32_t character);
// The Unicode character of one byte.
char16_t CodePageCharacter(unsigned char byte);

// Appends bytes as UTF-8 to out, one character per byte as FromCodePage maps it; a table lookup a
// byte, for files of hundreds of megabytes.
void AppendUtf8(ByteString& out, std::string_view bytes);

} // namespace corvane
