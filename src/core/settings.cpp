// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/settings.h"

#include <QStandardPaths>

#include <algorithm>

namespace corvane {

namespace {

QString ShowTimesKey(const QString& pane) {
    return "panes/" + pane + "/showTimes";
}

QString HistoryKey(const QString& field) {
    return "history/" + field;
}

} // namespace

Settings::Settings() : Settings(DefaultFileName()) {}

Settings::Settings(const QString& fileName) : settings_(fileName, QSettings::IniFormat) {}

QString Settings::DefaultFileName() {
    // Asked afresh each time (QSettings' own user scope reads the environment once per process).
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           "/corvane/corvane.conf";
}

bool Settings::ShowTimes(const QString& pane) const {
    return settings_.value(ShowTimesKey(pane), false).toBool();
}

void Settings::SetShowTimes(const QString& pane, bool show) {
    settings_.setValue(ShowTimesKey(pane), show);
}

QString Settings::LastFolder() const {
    return settings_.value("files/lastFolder").toString();
}

void Settings::SetLastFolder(const QString& folder) {
    settings_.setValue("files/lastFolder", folder);
}

QStringList Settings::PayloadHistory(const QString& field) const {
    QStringList history = settings_.value(HistoryKey(field)).toStringList();
    // A hand-edited file may hold more than is kept.
    if (history.size() > kHistoryLength)
        history = history.mid(history.size() - kHistoryLength);
    return history;
}

void Settings::AddPayload(const QString& field, const QString& payload) {
    QStringList history = PayloadHistory(field);
    PushHistory(history, payload, kHistoryLength);
    settings_.setValue(HistoryKey(field), history);
}

bool Settings::Reconnect() const {
    return settings_.value("reconnect", true).toBool();
}

void Settings::SetReconnect(bool reconnect) {
    settings_.setValue("reconnect", reconnect);
}

bool Settings::AllowBroadcast() const {
    return settings_.value("udp/allowBroadcast", false).toBool();
}

void Settings::SetAllowBroadcast(bool allow) {
    settings_.setValue("udp/allowBroadcast", allow);
}

int Settings::MulticastTTL() const {
    bool ok = false;
    const int ttl = settings_.value("udp/multicastTTL", 1).toInt(&ok);
    return ok ? std::clamp(ttl, 0, 255) : 1;
}

QStringList Settings::MulticastGroups() const {
    return settings_.value("udp/multicastGroups").toStringList();
}

void Settings::SetMulticastGroups(const QStringList& groups) {
    settings_.setValue("udp/multicastGroups", groups);
}

Settings::FileSendPace Settings::FileSendPaceOf(const QString& link, FileSendPace pace) const {
    const QString group = "fileSend/" + link + "/";
    return {settings_.value(group + "chunkSize", pace.chunkSize).toInt(),
            settings_.value(group + "delayMs", pace.delayMs).toInt()};
}

void Settings::SetFileSendPace(const QString& link, FileSendPace pace) {
    const QString group = "fileSend/" + link + "/";
    settings_.setValue(group + "chunkSize", pace.chunkSize);
    settings_.setValue(group + "delayMs", pace.delayMs);
}

bool Settings::Sync() {
    settings_.sync();
    return settings_.status() == QSettings::NoError;
}

void PushHistory(QStringList& history, const QString& payload, int limit) {
    if (history.isEmpty() || history.back() != payload)
        history.append(payload);
    while (history.size() > limit)
        history.removeFirst();
}

} // namespace corvane
