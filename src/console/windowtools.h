// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the main window offers beyond its specified controls, wired onto them without changing
// them: the tools of both log panes, "Capture Received Bytes…" in the lower pane's menu, and the
// recall of the payloads sent from edtData and edtUDPData, and the UDP group's multicast and
// broadcast items. What is chosen is remembered in the settings file.

#include "core/settings.h"

#include <QObject>

class Dialogs;
class PayloadHistory;
class QMenu;
class QWidget;
class TUdpNetworkMenu;
class TfrmMain;
class TLogPaneTools;

class TWindowTools : public QObject {
public:
    TWindowTools(TfrmMain& window, Dialogs& dialogs);
    ~TWindowTools() override;

    TLogPaneTools* LogTools() const { return log_; }
    TLogPaneTools* LogRecTools() const { return logRec_; }

    // "Capture Received Bytes…": asks for the file and starts, or, while capturing, stops.
    void ToggleReceivedBytesCapture();

    // The context menu of a group: "UDP" (grpbxUDP).
    void FillGroupMenu(const QWidget* group, QMenu& menu);
    // The items of the group "UDP".
    TUdpNetworkMenu* UdpNetwork() const { return udpNetwork_; }

private:
    void AddReceivedBytesItem(QMenu* menu);

    TfrmMain& window_;
    Dialogs& dialogs_;
    corvane::Settings settings_;
    TLogPaneTools* log_;
    TLogPaneTools* logRec_;
    PayloadHistory* serialHistory_;
    PayloadHistory* udpHistory_;
    TUdpNetworkMenu* udpNetwork_;
};
