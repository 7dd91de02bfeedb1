#pragma once
// A log pane: a plain-text pane that the program appends whole lines to and the operator may type
// into. No wrapping, both scroll bars, no length limit.

#include "core/bytestring.h"

#include <QPlainTextEdit>

class TLogPane : public QPlainTextEdit {
public:
    explicit TLogPane(QWidget* parent);

    // Appends line (program code page) so that it starts on a line of its own: after a closing
    // line break it is followed by one; after text the operator typed, it is preceded by one. A CR
    // LF inside the line splits it. The caret goes after the insert and the pane scrolls to it.
    void Append(const corvane::ByteString& line);
    void Clear() { clear(); }
};
