// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What screen readers and UI automation see of a log pane: an editable multi-line text, read and
// edited through the same calls as any Qt text edit. Offsets count characters across the whole
// text, with one "\n" between lines.

#include <QAccessibleWidget>

class TLogPane;

class TLogPaneAccessible : public QAccessibleWidget,
                           public QAccessibleTextInterface,
                           public QAccessibleEditableTextInterface {
public:
    explicit TLogPaneAccessible(QWidget* widget);

    void* interface_cast(QAccessible::InterfaceType type) override;
    QAccessible::State state() const override;
    QString text(QAccessible::Text kind) const override;
    void setText(QAccessible::Text kind, const QString& text) override;

    // QAccessibleTextInterface
    void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int startOffset, int endOffset) const override;
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                             int* startOffset, int* endOffset) const override;
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                            int* startOffset, int* endOffset) const override;
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                         int* endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint& point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int* startOffset, int* endOffset) const override;

    // QAccessibleEditableTextInterface
    void deleteText(int startOffset, int endOffset) override;
    void insertText(int offset, const QString& text) override;
    void replaceText(int startOffset, int endOffset, const QString& text) override;

private:
    TLogPane* pane() const;
    // The span of the unit of kind boundary that holds offset.
    std::pair<int, int> Boundary(int offset, QAccessible::TextBoundaryType boundary) const;
};

// Makes every TLogPane answer with a TLogPaneAccessible; the first pane calls it.
void InstallLogPaneAccessibility();

// Whether the panes announce their changes (text, caret, selection): while an assistive
// technology listens, so that appends stay cheap otherwise, or while a listener of the program's
// own is set (tests, which run on platforms without an accessibility bridge).
bool LogPaneAnnouncesChanges();
// Hands event to the accessibility bridge, or to the listener while one is set.
void AnnounceLogPaneChange(QAccessibleEvent* event);
using LogPaneListener = void (*)(QAccessibleEvent* event);
void SetLogPaneListener(LogPaneListener listener);
