// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/udpnetworkmenu.h"

#include "console/dialogs.h"
#include "console/errordisplay.h"
#include "console/untMain.h"
#include "core/codepage.h"
#include "core/exception.h"
#include "udp/idstack.h"

#include <QMenu>

namespace {

using corvane::ByteString;
using corvane::TIdMulticastGroup;

// A group as the settings file keeps it: "group", or "group local".
QString GroupText(const TIdMulticastGroup& group) {
    QString text = QString::fromStdString(group.group);
    if (!group.local.empty())
        text += ' ' + QString::fromStdString(group.local);
    return text;
}

// Nothing for an entry that is not one (a hand-edited file).
std::optional<TIdMulticastGroup> GroupOf(const QString& text) {
    const QStringList parts = text.split(' ', Qt::SkipEmptyParts);
    if (parts.isEmpty() || parts.size() > 2)
        return std::nullopt;
    TIdMulticastGroup group{corvane::ToCodePage(parts[0]),
                            parts.size() == 2 ? corvane::ToCodePage(parts[1]) : ByteString()};
    if (!corvane::IsMulticastGroupAddress(group.group) ||
        (!group.local.empty() && !corvane::TIdStack::IsDottedAddress(group.local)))
        return std::nullopt;
    return group;
}

// "Could not join multicast group " (the group, ": " and the system's text follow)
const ByteString kCouldNotJoin = "Could not join multicast group ";

} // namespace

TUdpNetworkMenu::TUdpNetworkMenu(TfrmMain& window, Dialogs& dialogs, corvane::Settings& settings)
    : QObject(&window), window_(window), dialogs_(dialogs), settings_(settings) {
    corvane::TIdUDPServer& server = *window.IdUDPServer1;
    server.SetOnJoinFailure(
        [this](corvane::TIdUDPServer&, const TIdMulticastGroup& group, const ByteString& text) {
            window_.AddToLog(kCouldNotJoin + group.group + ": " + text);
        });
    server.SetBroadcastEnabled(settings.AllowBroadcast());
    server.SetMulticastTTL(settings.MulticastTTL());
    for (const QString& text : settings.MulticastGroups()) {
        if (const auto group = GroupOf(text))
            server.JoinMulticastGroup(*group);
    }
}

void TUdpNetworkMenu::AddMenuItems(QMenu& menu) {
    menu.addAction(QStringLiteral("Join Multicast Group…"), this, [this] { AskAndJoin(); })
        ->setObjectName(QStringLiteral("join-multicast-group"));
    for (const TIdMulticastGroup& group : window_.IdUDPServer1->MulticastGroups()) {
        QString text = QStringLiteral("Leave %1").arg(QString::fromStdString(group.group));
        if (!group.local.empty())
            text += QStringLiteral(" on %1").arg(QString::fromStdString(group.local));
        menu.addAction(text, this, [this, group] { Leave(group); })
            ->setObjectName(QStringLiteral("leave-multicast-group"));
    }
    menu.addSeparator();
    QAction* broadcast = menu.addAction(QStringLiteral("Allow Broadcast"));
    broadcast->setObjectName(QStringLiteral("allow-broadcast"));
    broadcast->setCheckable(true);
    broadcast->setChecked(window_.IdUDPServer1->BroadcastEnabled());
    connect(broadcast, &QAction::toggled, this, [this](bool on) { AllowBroadcast(on); });
}

void TUdpNetworkMenu::AskAndJoin() {
    const auto choice = dialogs_.AskMulticastGroup();
    if (!choice)
        return;
    const auto group =
        GroupOf(choice->local.isEmpty() ? choice->group : choice->group + ' ' + choice->local);
    if (!group)
        return; // the dialog offers OK for nothing else
    window_.IdUDPServer1->JoinMulticastGroup(*group);
    RememberGroups();
}

void TUdpNetworkMenu::Leave(const TIdMulticastGroup& group) {
    window_.IdUDPServer1->LeaveMulticastGroup(group);
    RememberGroups();
}

void TUdpNetworkMenu::AllowBroadcast(bool allow) {
    settings_.SetAllowBroadcast(allow);
    try {
        window_.IdUDPServer1->SetBroadcastEnabled(allow); // written at once into an open socket
    } catch (const corvane::Exception& e) {
        dialogs_.ShowError(ErrorDisplay::BoxText(e.Message()));
    }
}

void TUdpNetworkMenu::RememberGroups() {
    QStringList groups;
    for (const TIdMulticastGroup& group : window_.IdUDPServer1->MulticastGroups())
        groups << GroupText(group);
    settings_.SetMulticastGroups(groups);
}
