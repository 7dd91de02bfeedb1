// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/udpnetworkmenu.h"

#include "console/dialogs.h"
#include "console/errordisplay.h"
#include "console/untMain.h"
#include "core/exception.h"

#include <QMenu>

TUdpNetworkMenu::TUdpNetworkMenu(TfrmMain& window, Dialogs& dialogs, corvane::Settings& settings)
    : QObject(&window), window_(window), dialogs_(dialogs), settings_(settings) {
    window.IdUDPServer1->SetBroadcastEnabled(settings.AllowBroadcast());
}

void TUdpNetworkMenu::AddMenuItems(QMenu& menu) {
    QAction* broadcast = menu.addAction(QStringLiteral("Allow Broadcast"));
    broadcast->setObjectName(QStringLiteral("allow-broadcast"));
    broadcast->setCheckable(true);
    broadcast->setChecked(window_.IdUDPServer1->BroadcastEnabled());
    connect(broadcast, &QAction::toggled, this, [this](bool on) { AllowBroadcast(on); });
}

void TUdpNetworkMenu::AllowBroadcast(bool allow) {
    settings_.SetAllowBroadcast(allow);
    try {
        window_.IdUDPServer1->SetBroadcastEnabled(allow); // written at once into an open socket
    } catch (const corvane::Exception& e) {
        dialogs_.ShowError(ErrorDisplay::BoxText(e.Message()));
    }
}
