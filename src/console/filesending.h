// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "Send File…" of one link, in the context menu of its send group: asks for the file and its pace
// (remembered per link), sends it from a worker (filesend/filesender.h) with a bar in the upper
// pane, and ends it when the link is closed. One file at a time per link.

#include "core/settings.h"

#include <QObject>

#include <memory>

class Dialogs;
class QMenu;
class TFileSendBars;
class TfrmMain;

namespace corvane {
class FileChunkLink;
class FileSender;
class UdpChunkLink;
} // namespace corvane

class TFileSending : public QObject {
public:
    enum class Link { Serial, Udp };

    TFileSending(TfrmMain& window, Dialogs& dialogs, corvane::Settings& settings,
                 TFileSendBars& bars, Link link);
    // Cancels a sending and waits for it.
    ~TFileSending() override;

    // "Send File…", enabled while the link is open and no file is being sent on it.
    void AddMenuItem(QMenu& menu);
    // Asks for the file and its pace, and starts sending it. A file that cannot be opened, or a
    // destination that cannot be resolved, is shown in the error box and nothing starts.
    void AskAndStart();

    // The sending under way, or null.
    const corvane::FileSender* Sender() const { return sender_.get(); }
    // Ends the sending before its next chunk; the end line follows from the worker.
    void Cancel();
    // Waits, running hand-overs, until a sending has ended, and takes its bar away.
    void WaitForEnd();

private:
    bool LinkOpen() const;
    // The chunks' way to the link; raises when the UDP destination is no good.
    std::unique_ptr<corvane::FileChunkLink> MakeChunkLink();
    // After the end line: frees the ended sender and its bar, and shows a UDP send's failure.
    void Reap();

    TfrmMain& window_;
    Dialogs& dialogs_;
    corvane::Settings& settings_;
    TFileSendBars& bars_;
    const Link link_;
    std::unique_ptr<corvane::FileChunkLink> chunks_;
    corvane::UdpChunkLink* udpChunks_ = nullptr; // chunks_, on the UDP link
    std::unique_ptr<corvane::FileSender> sender_;
    QWidget* bar_ = nullptr;
};
