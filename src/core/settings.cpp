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

namespace {

// The spellings of the file, in the order of the enums.
const QStringList kParities{"none", "odd", "even", "mark", "space"};
const QStringList kStopBits{"1", "1.5", "2"};
const QStringList kFlows{"none", "rts/cts", "xon/xoff"};

QString PortGroup(unsigned number) {
    return QStringLiteral("COM%1/").arg(number);
}

template <class Enum> Enum Spelled(const QStringList& names, const QVariant& value, Enum fallback) {
    const int index = names.indexOf(value.toString());
    return index < 0 ? fallback : static_cast<Enum>(index);
}

} // namespace

std::optional<LineFrame> Settings::PortLine(unsigned number) const {
    const QString group = PortGroup(number);
    if (!settings_.contains(group + "dataBits"))
        return std::nullopt;
    LineFrame frame;
    const int dataBits = settings_.value(group + "dataBits").toInt();
    if (dataBits >= 5 && dataBits <= 8)
        frame.dataBits = dataBits;
    frame.parity = Spelled(kParities, settings_.value(group + "parity"), frame.parity);
    frame.stopBits = Spelled(kStopBits, settings_.value(group + "stopBits"), frame.stopBits);
    frame.flow = Spelled(kFlows, settings_.value(group + "flowControl"), frame.flow);
    frame.dtrAtOpen = settings_.value(group + "dtrAtOpen", true).toBool();
    frame.rtsAtOpen = settings_.value(group + "rtsAtOpen", true).toBool();
    return frame;
}

void Settings::SetPortLine(unsigned number, const LineFrame& frame) {
    const QString group = PortGroup(number);
    settings_.setValue(group + "dataBits", frame.dataBits);
    settings_.setValue(group + "parity", kParities[static_cast<int>(frame.parity)]);
    settings_.setValue(group + "stopBits", kStopBits[static_cast<int>(frame.stopBits)]);
    settings_.setValue(group + "flowControl", kFlows[static_cast<int>(frame.flow)]);
    settings_.setValue(group + "dtrAtOpen", frame.dtrAtOpen);
    settings_.setValue(group + "rtsAtOpen", frame.rtsAtOpen);
}

bool Settings::ShowSerialLines() const {
    return settings_.value("lines/show", false).toBool();
}

void Settings::SetShowSerialLines(bool show) {
    settings_.setValue("lines/show", show);
}

bool Settings::LogLineChanges() const {
    return settings_.value("lines/logChanges", false).toBool();
}

void Settings::SetLogLineChanges(bool log) {
    settings_.setValue("lines/logChanges", log);
}

int Settings::ResetPulseMs() const {
    return std::max(1, settings_.value("lines/resetMs", 100).toInt());
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
