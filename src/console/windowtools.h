// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the main window offers beyond its specified controls, wired onto them without changing
// them: the tools of both log panes with their "View", "Capture Received Bytes…" and "Split
// Received Data" and "Plot…" in the lower pane's menu, the recall of the payloads sent from edtData
// and edtUDPData, the UDP group's multicast and broadcast items, and "Send File…" in each send
// group's menu. What is chosen is remembered in the settings file.

#include "console/filesending.h"
#include "core/settings.h"

#include <QObject>

class Dialogs;
class PayloadHistory;
class QMenu;
class QWidget;
class TFileSendBars;
class TUdpNetworkMenu;
class TfrmMain;
class TLogPaneTools;
class TPaneViewMenu;
class TPlotMenu;
class TSplitMenu;

class TWindowTools : public QObject {
public:
    TWindowTools(TfrmMain& window, Dialogs& dialogs);
    ~TWindowTools() override;

    TLogPaneTools* LogTools() const { return log_; }
    TLogPaneTools* LogRecTools() const { return logRec_; }
    TPaneViewMenu* LogView() const { return logView_; }
    TPaneViewMenu* LogRecView() const { return logRecView_; }
    TSplitMenu* Split() const { return split_; }
    // "Plot…" of the lower pane and its window.
    TPlotMenu* Plot() const { return plot_; }

    // "Capture Received Bytes…": asks for the file and starts, or, while capturing, stops.
    void ToggleReceivedBytesCapture();

    // The context menu of a group: "UDP" (grpbxUDP), and the two send groups.
    void FillGroupMenu(const QWidget* group, QMenu& menu);
    // The items of the group "UDP".
    TUdpNetworkMenu* UdpNetwork() const { return udpNetwork_; }
    // "Send File…" of the serial and the UDP send group.
    TFileSending& FileSending(TFileSending::Link link) const {
        return link == TFileSending::Link::Serial ? *serialFileSend_ : *udpFileSend_;
    }
    // Cancels the files being sent and waits for their ends: before the window lets its links go.
    void EndFileSends();

private:
    void AddReceivedBytesItem(QMenu* menu);

    TfrmMain& window_;
    Dialogs& dialogs_;
    corvane::Settings settings_;
    TLogPaneTools* log_;
    TLogPaneTools* logRec_;
    PayloadHistory* serialHistory_;
    PayloadHistory* udpHistory_;
    TPaneViewMenu* logView_;
    TPaneViewMenu* logRecView_;
    TSplitMenu* split_;
    TUdpNetworkMenu* udpNetwork_;
    TFileSendBars* fileSendBars_;
    TFileSending* serialFileSend_;
    TFileSending* udpFileSend_;
    TPlotMenu* plot_;
};
