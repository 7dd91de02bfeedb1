// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the program remembers between runs, in one settings file (QSettings, INI):
// $XDG_CONFIG_HOME/corvane/corvane.conf, or ~/.config/corvane/corvane.conf without it. Only what
// the operator chose beyond the window's specified start-up state lives here: whether a pane shows
// its time column, the last folder a file dialog used, the payloads last sent from each payload
// field, and whether a serial port that went away is reopened when it comes back. Nothing here
// changes a control's initial text or value.
//
// UI thread. Changes are written to the file when the object is destroyed, on Sync(), and by
// QSettings' own timer; a file that cannot be read reads as defaults.

#include <QSettings>
#include <QString>
#include <QStringList>

namespace corvane {

class Settings {
public:
    // Payloads kept per field, the most recent last.
    static constexpr int kHistoryLength = 50;

    // The user's settings file, where the environment says it is now.
    Settings();
    // Another file (tests).
    explicit Settings(const QString& fileName);

    // The settings file of the user's configuration folder.
    static QString DefaultFileName();
    QString FileName() const { return settings_.fileName(); }

    // Whether the pane (by its control name: "mmLog", "mmLogRec") shows its time column; off
    // until chosen.
    bool ShowTimes(const QString& pane) const;
    void SetShowTimes(const QString& pane, bool show);

    // The folder the last file dialog ended in; empty until one did.
    QString LastFolder() const;
    void SetLastFolder(const QString& folder);

    // The payloads sent from a payload field (by its control name: "edtData", "edtUDPData"), the
    // most recent last, at most kHistoryLength.
    QStringList PayloadHistory(const QString& field) const;
    // Records a payload sent from the field: added at the end unless it equals the last one, the
    // oldest dropped beyond kHistoryLength.
    void AddPayload(const QString& field, const QString& payload);

    // Whether a serial port that went away is reopened when its device comes back (the key
    // "reconnect"); on until chosen otherwise.
    bool Reconnect() const;
    void SetReconnect(bool reconnect);

    // The UDP link (the "udp" group): whether sends to broadcast addresses are allowed (off until
    // chosen), the time to live of multicast datagrams sent ("multicastTTL", 1 unless the file says
    // otherwise, held to 0-255), and the multicast groups joined, each "group" or "group local"
    // in dotted addresses, in the order they were joined.
    bool AllowBroadcast() const;
    void SetAllowBroadcast(bool allow);
    int MulticastTTL() const;
    QStringList MulticastGroups() const;
    void SetMulticastGroups(const QStringList& groups);

    // How a file is sent on a link (by its name: "serial", "udp"): bytes per chunk and the
    // milliseconds between chunks, as last chosen; pace until one was.
    struct FileSendPace {
        int chunkSize;
        int delayMs;
    };
    FileSendPace FileSendPaceOf(const QString& link, FileSendPace pace) const;
    void SetFileSendPace(const QString& link, FileSendPace pace);

    // Writes pending changes; false when the file could not be written.
    bool Sync();

private:
    QSettings settings_;
};

// The history rule of AddPayload on a list of its own: payload appended unless it equals the
// last entry, then the oldest entries dropped down to limit.
void PushHistory(QStringList& history, const QString& payload, int limit);

} // namespace corvane
