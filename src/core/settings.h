// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the program remembers between runs, in one settings file (QSettings, INI):
// $XDG_CONFIG_HOME/corvane/corvane.conf, or ~/.config/corvane/corvane.conf without it. Only what
// the operator chose beyond the window's specified start-up state lives here: whether a pane shows
// its time column, the last folder a file dialog used, the payloads last sent from each payload
// field, whether a serial port that went away is reopened when it comes back, the line settings
// of each COM number, the serial lines bar, the counters bar and the plot window. Nothing here
// changes a control's initial text or value.
//
// UI thread. Each change is written to the file at once (Sync), so that a file that cannot be
// written is known while the operator is there to be told; what was set lives on for the run
// all the same. Several programs may share the file: each write first takes in what the others
// wrote, and the payload histories are merged rather than overwritten. A file that cannot be read
// reads as defaults.

#include "core/fileerror.h"
#include "core/lineframe.h"

#include <QByteArray>
#include <QHash>
#include <QSettings>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

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

    // The line settings of COM<number> (the group "COM<number>"); nothing when the number has no
    // entry of its own, and it opens as specified. A value the file spells wrongly reads as its
    // default.
    std::optional<LineFrame> PortLine(unsigned number) const;
    void SetPortLine(unsigned number, const LineFrame& frame);

    // Whether the upper pane shows the serial lines bar ("lines/show"), and whether it logs each
    // change of the input lines ("lines/logChanges"); both off until chosen.
    bool ShowSerialLines() const;
    void SetShowSerialLines(bool show);
    bool LogLineChanges() const;
    void SetLogLineChanges(bool log);
    // How long Reset holds DTR low, in milliseconds ("lines/resetMs", 100; at least 1).
    int ResetPulseMs() const;

    // Whether the lower pane shows the links' counters bar ("counters/show"); off until chosen.
    bool ShowCounters() const;
    void SetShowCounters(bool show);

    // Whether "Include times" is ticked when the Save As dialog opens: as it was last left.
    bool IncludeTimes() const;
    void SetIncludeTimes(bool include);

    // Called the first time the file cannot be written, and never again: the file and why.
    using WriteFailure = std::function<void(const FileError& error)>;
    void SetOnWriteFailure(WriteFailure handler) { onWriteFailure_ = std::move(handler); }

    // Takes in what other programs wrote to the file, adds the payloads recorded since the last
    // write to its histories, and writes the file; false when it could not be written.
    bool Sync();

    // How the pane (by its control name) shows its data lines: the view ("hex", "text",
    // "hextext") and the encoding of the text view ("utf-8", "windows-1251"); empty until chosen.
    QString PaneView(const QString& pane) const;
    void SetPaneView(const QString& pane, const QString& view);
    QString PaneEncoding(const QString& pane) const;
    void SetPaneEncoding(const QString& pane, const QString& encoding);

    // How the data received on a COM port (by its number) is split into lines, in the receive
    // worker's own text form; empty until chosen.
    QString SplitReceived(int port) const;
    void SetSplitReceived(int port, const QString& rule);

    // The plot window ("plot" group): its place and size as QWidget::saveGeometry gives them
    // (empty until it was first closed), the link it follows ("serial", "udp", "both"; empty
    // until chosen) and the seconds it shows (10 until chosen).
    QByteArray PlotGeometry() const;
    void SetPlotGeometry(const QByteArray& geometry);
    QString PlotFollow() const;
    void SetPlotFollow(const QString& follow);
    int PlotSeconds() const;
    void SetPlotSeconds(int seconds);

private:
    void Set(const QString& key, const QVariant& value);

    QSettings settings_;
    // Payloads recorded and not yet written, by field, the most recent last.
    QHash<QString, QStringList> unwritten_;
    WriteFailure onWriteFailure_;
    bool failureSaid_ = false;
};

// The history rule of AddPayload on a list of its own: payload appended unless it equals the
// last entry, then the oldest entries dropped down to limit.
void PushHistory(QStringList& history, const QString& payload, int limit);

} // namespace corvane
