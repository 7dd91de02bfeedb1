// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The context menu of the group "UDP": "Allow Broadcast". What is chosen goes to the endpoint and
// into the settings file, from which the next run takes it.

#include "core/settings.h"

#include <QObject>

class Dialogs;
class QMenu;
class TfrmMain;

class TUdpNetworkMenu : public QObject {
public:
    TUdpNetworkMenu(TfrmMain& window, Dialogs& dialogs, corvane::Settings& settings);

    void AddMenuItems(QMenu& menu);
    // "Allow Broadcast"
    void AllowBroadcast(bool allow);

private:
    TfrmMain& window_;
    Dialogs& dialogs_;
    corvane::Settings& settings_;
};
