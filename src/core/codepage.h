#pragma once
// The program's 8-bit code page is Windows-1251. Text from edit lines becomes bytes here, and
// bytes become text for the panes here; nothing else converts between the two.

#include "core/bytestring.h"

#include <QString>

namespace corvane {

// One byte per character of the text; a character that the code page lacks becomes '?'.
ByteString ToCodePage(const QString& text);

// One character per byte; every byte value maps to a character, so the conversion never fails.
QString FromCodePage(const ByteString& bytes);

} // namespace corvane
