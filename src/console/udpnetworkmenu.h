// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The context menu of the group "UDP": "Join Multicast Group…", a "Leave" item for each group
// joined, and "Allow Broadcast". What is chosen goes to the endpoint and into the settings file,
// from which the next run takes it; the file also gives the multicast time to live. A join the
// system refuses is one line in the upper pane.

#include "core/settings.h"

#include <QObject>

class Dialogs;
class QMenu;
class TfrmMain;

namespace corvane {
struct TIdMulticastGroup;
}

class TUdpNetworkMenu : public QObject {
public:
    TUdpNetworkMenu(TfrmMain& window, Dialogs& dialogs, corvane::Settings& settings);

    void AddMenuItems(QMenu& menu);
    // "Join Multicast Group…": asks for the group, and joins it (at once when the port is open).
    void AskAndJoin();
    void Leave(const corvane::TIdMulticastGroup& group);
    // "Allow Broadcast"
    void AllowBroadcast(bool allow);

private:
    void RememberGroups();

    TfrmMain& window_;
    Dialogs& dialogs_;
    corvane::Settings& settings_;
};
