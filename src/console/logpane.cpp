#include "console/logpane.h"

#include "core/codepage.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

TLogPane::TLogPane(QWidget* parent) : QPlainTextEdit(parent) {
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setTabChangesFocus(true);  // Tab moves on to the next control, as in every other control
    setUndoRedoEnabled(false); // an undo history would hold every line ever logged a second time
}

void TLogPane::Append(const corvane::ByteString& line) {
    QString text = corvane::FromCodePage(line);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    // The text ends with a line break exactly when its last line is empty.
    if (document()->lastBlock().text().isEmpty())
        text.append(u'\n');
    else
        text.prepend(u'\n');

    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
    setTextCursor(cursor);
    ensureCursorVisible();
}
