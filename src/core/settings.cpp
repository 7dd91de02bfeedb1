// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/settings.h"

#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace corvane {

namespace {

QString ShowTimesKey(const QString& pane) {
    return "panes/" + pane + "/showTimes";
}

QString PaneKey(const QString& pane, const char* what) {
    return "panes/" + pane + "/" + what;
}

QString SplitKey(int port) {
    return "split/COM" + QString::number(port);
}

QString HistoryKey(const QString& field) {
    return "history/" + field;
}

// The longest a write waits for another program's write of the same file (a few milliseconds).
constexpr int kLockWaitMs = 500;

// Why the settings file cannot be written, as far as the system tells without writing: its folder
// (where the file is replaced as a whole) or the file itself refused.
FileError WhyNotWritten(const QString& file) {
    const std::string path = file.toStdString();
    const std::string folder = QFileInfo(file).absolutePath().toStdString() + "/.";
    if (::access(folder.c_str(), W_OK) != 0)
        return FileErrorOf(path, errno);
    if (::access(path.c_str(), F_OK) == 0 && ::access(path.c_str(), W_OK) != 0)
        return FileErrorOf(path, errno);
    return {path, "it cannot be written"};
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
    Set(ShowTimesKey(pane), show);
}

QString Settings::LastFolder() const {
    return settings_.value("files/lastFolder").toString();
}

void Settings::SetLastFolder(const QString& folder) {
    Set("files/lastFolder", folder);
}

QStringList Settings::PayloadHistory(const QString& field) const {
    QStringList history = settings_.value(HistoryKey(field)).toStringList();
    for (const QString& payload : unwritten_.value(field))
        PushHistory(history, payload, kHistoryLength);
    // A hand-edited file may hold more than is kept.
    if (history.size() > kHistoryLength)
        history = history.mid(history.size() - kHistoryLength);
    return history;
}

void Settings::AddPayload(const QString& field, const QString& payload) {
    unwritten_[field].append(payload);
    Sync();
}

bool Settings::Reconnect() const {
    return settings_.value("reconnect", true).toBool();
}

void Settings::SetReconnect(bool reconnect) {
    Set("reconnect", reconnect);
}

bool Settings::IncludeTimes() const {
    return settings_.value("files/includeTimes", false).toBool();
}

void Settings::SetIncludeTimes(bool include) {
    Set("files/includeTimes", include);
}

void Settings::Set(const QString& key, const QVariant& value) {
    settings_.setValue(key, value);
    Sync();
}

QString Settings::PaneView(const QString& pane) const {
    return settings_.value(PaneKey(pane, "view")).toString();
}

void Settings::SetPaneView(const QString& pane, const QString& view) {
    Set(PaneKey(pane, "view"), view);
}

QString Settings::PaneEncoding(const QString& pane) const {
    return settings_.value(PaneKey(pane, "encoding")).toString();
}

void Settings::SetPaneEncoding(const QString& pane, const QString& encoding) {
    Set(PaneKey(pane, "encoding"), encoding);
}

QString Settings::SplitReceived(int port) const {
    return settings_.value(SplitKey(port)).toString();
}

void Settings::SetSplitReceived(int port, const QString& rule) {
    Set(SplitKey(port), rule);
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
    Sync();
}

bool Settings::ShowSerialLines() const {
    return settings_.value("lines/show", false).toBool();
}

void Settings::SetShowSerialLines(bool show) {
    Set("lines/show", show);
}

bool Settings::LogLineChanges() const {
    return settings_.value("lines/logChanges", false).toBool();
}

void Settings::SetLogLineChanges(bool log) {
    Set("lines/logChanges", log);
}

bool Settings::ShowCounters() const {
    return settings_.value("counters/show", false).toBool();
}

void Settings::SetShowCounters(bool show) {
    Set("counters/show", show);
}

int Settings::ResetPulseMs() const {
    return std::max(1, settings_.value("lines/resetMs", 100).toInt());
}

bool Settings::AllowBroadcast() const {
    return settings_.value("udp/allowBroadcast", false).toBool();
}

void Settings::SetAllowBroadcast(bool allow) {
    Set("udp/allowBroadcast", allow);
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
    Set("udp/multicastGroups", groups);
}

Settings::FileSendPace Settings::FileSendPaceOf(const QString& link, FileSendPace pace) const {
    const QString group = "fileSend/" + link + "/";
    return {settings_.value(group + "chunkSize", pace.chunkSize).toInt(),
            settings_.value(group + "delayMs", pace.delayMs).toInt()};
}

void Settings::SetFileSendPace(const QString& link, FileSendPace pace) {
    const QString group = "fileSend/" + link + "/";
    settings_.setValue(group + "chunkSize", pace.chunkSize);
    Set(group + "delayMs", pace.delayMs);
}

QByteArray Settings::PlotGeometry() const {
    return settings_.value("plot/geometry").toByteArray();
}

void Settings::SetPlotGeometry(const QByteArray& geometry) {
    Set("plot/geometry", geometry);
}

QString Settings::PlotFollow() const {
    return settings_.value("plot/follow").toString();
}

void Settings::SetPlotFollow(const QString& follow) {
    Set("plot/follow", follow);
}

int Settings::PlotSeconds() const {
    bool ok = false;
    const int seconds = settings_.value("plot/seconds", 10).toInt(&ok);
    return ok ? seconds : 10;
}

void Settings::SetPlotSeconds(int seconds) {
    Set("plot/seconds", seconds);
}

bool Settings::Sync() {
    // One program at a time between taking in the file and writing it back, so that a history
    // written by another in between is not lost. Without the lock (a folder not there yet, or a
    // program that holds it too long) the write goes ahead all the same.
    QLockFile merging(settings_.fileName() + ".merge");
    merging.tryLock(kLockWaitMs);
    settings_.sync();
    for (auto field = unwritten_.cbegin(); field != unwritten_.cend(); ++field) {
        QStringList history = settings_.value(HistoryKey(field.key())).toStringList();
        for (const QString& payload : field.value())
            PushHistory(history, payload, kHistoryLength);
        settings_.setValue(HistoryKey(field.key()), history);
    }
    unwritten_.clear();
    settings_.sync();
    const bool written = settings_.status() == QSettings::NoError;
    if (!written && !failureSaid_) {
        failureSaid_ = true;
        if (onWriteFailure_)
            onWriteFailure_(WhyNotWritten(settings_.fileName()));
    }
    return written;
}

void PushHistory(QStringList& history, const QString& payload, int limit) {
    if (history.isEmpty() || history.back() != payload)
        history.append(payload);
    while (history.size() > limit)
        history.removeFirst();
}

} // namespace corvane
