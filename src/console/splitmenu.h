// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "Split Received Data" in the lower pane's context menu: where the lines of serial data end
// ("At Each Read", "At an Idle Gap", "After a Byte", and "Every N Bytes" ticked beside any),
// remembered per COM number. The rule of the port selected in the port list is the one the receive
// worker follows (serial/splitrule.h): the list cannot change while a port is open, so it is the
// open port's. A change while the port is open reaches the worker at once.

#include "serial/splitrule.h"

#include <QObject>

class Dialogs;
class QComboBox;
class QMenu;
class TLogPane;

namespace corvane {
class Settings;
}

class TSplitMenu : public QObject {
public:
    TSplitMenu(TLogPane* pane, QComboBox* ports, Dialogs& dialogs, corvane::Settings& settings);

    // The rule of the selected port.
    corvane::SplitRule Rule() const;
    // Makes rule the selected port's, remembered and followed.
    void Choose(const corvane::SplitRule& rule);

    // The items, as the menu runs them: the ways that take a value ask for it, and keep the rule
    // as it was when the answer is cancelled or does not read.
    void ChooseEachRead();
    void ChooseIdleGap();
    void ChooseAfterByte();
    void ToggleEveryN();

private:
    void AddMenu(QMenu* menu);
    int Port() const; // the selected COM number
    void Follow();    // hands the selected port's rule to the worker
    // A number of 1 to 65535 the operator types; nothing when cancelled or not one.
    std::optional<unsigned> AskCount(const QString& label, unsigned initial);

    QComboBox* ports_;
    Dialogs& dialogs_;
    corvane::Settings& settings_;
};
