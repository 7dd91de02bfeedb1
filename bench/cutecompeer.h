// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// cutecom, the serial terminal Debian offers, run as an operator would: its own settings naming
// the device, "Hex output" ticked and the device opened through the window's keyboard shortcuts,
// and at the end its output pane selected and copied through the clipboard. Needs cutecom,
// xdotool and xclip, and Xvfb when DISPLAY is not set (`scripts/setup bench` installs them).

#include <QProcess>
#include <QProcessEnvironment>

#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>

class CutecomPeer {
public:
    // Starts cutecom on DISPLAY, or on a virtual display of its own when that is not set, with
    // a settings folder of its own (the user's settings are not touched) that has it open device
    // read-only. Error() says why when it is not ready.
    explicit CutecomPeer(const std::string& device);
    ~CutecomPeer();
    CutecomPeer(const CutecomPeer&) = delete;
    CutecomPeer& operator=(const CutecomPeer&) = delete;

    bool Ready() const { return error_.empty(); }
    const std::string& Error() const { return error_; }
    pid_t Pid() const { return static_cast<pid_t>(cutecom_.processId()); }

    // Clicks into the output pane, selects all of it and copies it (Ctrl+A, Ctrl+C), and
    // returns the clipboard's text; nothing when that failed, with Error() saying why.
    std::optional<std::string> CopyOutput();

private:
    bool StartDisplay();
    bool Start(const std::string& device);
    bool HasOpen(const std::string& device) const;
    std::optional<QByteArray> Tool(const QString& program, const QStringList& arguments,
                                   int timeoutMs);

    std::string error_;
    std::string home_;
    QProcessEnvironment environment_;
    std::unique_ptr<QProcess> xvfb_;
    QProcess cutecom_;
    QString window_;
};
