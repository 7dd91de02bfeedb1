// SPDX-License-Identifier: GPL-3.0-or-later
#include "cutecompeer.h"

#include "feed.h"

#include <QRegularExpression>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

constexpr int kToolTimeoutMs = 30'000;
// Copying 10 MB shown as hex (about 50 million characters) takes the peer a while.
constexpr int kCopyTimeoutMs = 600'000;
constexpr char kNotCopied[] = "nothing copied yet";

} // namespace

CutecomPeer::CutecomPeer(const std::string& device) {
    char folder[] = "/tmp/corvane-bench-cutecom-XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        error_ = "no temporary folder";
        return;
    }
    home_ = folder;
    environment_ = QProcessEnvironment::systemEnvironment();
    // This program draws offscreen; the peer and the tools must reach the display.
    environment_.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment_.insert(QStringLiteral("HOME"), QString::fromStdString(home_));
    environment_.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(home_));
    environment_.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(home_));
    if (StartDisplay())
        Start(device);
}

CutecomPeer::~CutecomPeer() {
    if (cutecom_.state() != QProcess::NotRunning) {
        cutecom_.terminate();
        if (!cutecom_.waitForFinished(5000))
            cutecom_.kill();
        cutecom_.waitForFinished();
    }
    if (xvfb_) {
        xvfb_->terminate();
        xvfb_->waitForFinished();
    }
    if (!home_.empty())
        std::filesystem::remove_all(home_);
}

bool CutecomPeer::StartDisplay() {
    if (environment_.contains(QStringLiteral("DISPLAY")) &&
        !environment_.value(QStringLiteral("DISPLAY")).isEmpty())
        return true;
    // Xvfb picks a free display itself and writes its number once it takes connections. It
    // ends with this program even where no destructor runs (a crash, a kill).
    xvfb_ = std::make_unique<QProcess>();
    xvfb_->setChildProcessModifier([parent = getpid()] {
        if (prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || getppid() != parent)
            _exit(127);
    });
    xvfb_->start(QStringLiteral("Xvfb"),
                 {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                  QStringLiteral("0"), QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                  QStringLiteral("tcp")});
    QByteArray number;
    while (!number.contains('\n') && xvfb_->waitForReadyRead(kToolTimeoutMs))
        number += xvfb_->readAllStandardOutput();
    if (!number.contains('\n')) {
        error_ = "Xvfb did not start (is the xvfb package installed?)";
        return false;
    }
    environment_.insert(QStringLiteral("DISPLAY"), QLatin1Char(':') + number.trimmed());
    return true;
}

bool CutecomPeer::Start(const std::string& device) {
    // QSerialPort's flow-control number 1 is hardware flow control: with it cutecom leaves RTS
    // and DTR alone, which a pseudo-terminal refuses with an error box. It changes nothing else
    // on a pseudo-terminal. Open mode 1 is read-only.
    std::filesystem::create_directories(home_ + "/CuteCom");
    std::ofstream(home_ + "/CuteCom/CuteCom5.conf") << "[sessions]\n"
                                                    << "1\\BaudRate=115200\n"
                                                    << "1\\DataBits=8\n"
                                                    << "1\\Device=" << device << "\n"
                                                    << "1\\FlowControl=1\n"
                                                    << "1\\OpenMode=1\n"
                                                    << "1\\Parity=0\n"
                                                    << "1\\StopBits=1\n"
                                                    << "1\\autoReconnect=false\n"
                                                    << "1\\name=Default\n"
                                                    << "1\\showCtrlCharacters=false\n"
                                                    << "1\\showTimestamp=false\n"
                                                    << "size=1\n";
    cutecom_.setProcessEnvironment(environment_);
    cutecom_.setStandardOutputFile(QProcess::nullDevice());
    cutecom_.setStandardErrorFile(QProcess::nullDevice());
    cutecom_.start(QStringLiteral("cutecom"), {});
    if (!cutecom_.waitForStarted()) {
        error_ = "cutecom did not start (is the cutecom package installed?)";
        return false;
    }
    const auto found =
        Tool(QStringLiteral("xdotool"),
             {QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
              QStringLiteral("--name"), QStringLiteral("^CuteCom - ")},
             kToolTimeoutMs);
    if (!found)
        return false;
    window_ = QString::fromLatin1(found->split('\n').first().trimmed());
    // Alt+X ticks "Hex output", Alt+O presses "Open".
    if (!Tool(QStringLiteral("xdotool"),
              {QStringLiteral("windowfocus"), QStringLiteral("--sync"), window_}, kToolTimeoutMs) ||
        !Tool(QStringLiteral("xdotool"),
              {QStringLiteral("key"), QStringLiteral("alt+x"), QStringLiteral("alt+o")},
              kToolTimeoutMs))
        return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    RunUntil([&] { return HasOpen(device) || std::chrono::steady_clock::now() > deadline; });
    if (!HasOpen(device)) {
        error_ = "cutecom did not open " + device;
        return false;
    }
    return true;
}

bool CutecomPeer::HasOpen(const std::string& device) const {
    std::error_code error;
    const std::filesystem::path fds = "/proc/" + std::to_string(Pid()) + "/fd";
    for (const auto& fd : std::filesystem::directory_iterator(fds, error)) {
        if (std::filesystem::read_symlink(fd.path(), error) == device)
            return true;
    }
    return false;
}

std::optional<std::string> CutecomPeer::CopyOutput() {
    // The clipboard is first given to a xclip of ours, which ends once cutecom takes it over: so
    // the text read afterwards is cutecom's copy, however long it took to make it.
    QProcess holder;
    holder.setProcessEnvironment(environment_);
    holder.setStandardOutputFile(QProcess::nullDevice());
    holder.start(QStringLiteral("xclip"), {QStringLiteral("-quiet"), QStringLiteral("-selection"),
                                           QStringLiteral("clipboard"), QStringLiteral("-i")});
    holder.waitForStarted();
    holder.write(kNotCopied);
    holder.waitForBytesWritten();
    holder.closeWriteChannel();
    const QStringList read = {QStringLiteral("-o"), QStringLiteral("-selection"),
                              QStringLiteral("clipboard")};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::optional<QByteArray> held;
    while ((!held || *held != kNotCopied) && std::chrono::steady_clock::now() < deadline)
        held = Tool(QStringLiteral("xclip"), read, kToolTimeoutMs);
    if (!held || *held != kNotCopied) {
        error_ = "xclip did not take the clipboard";
        return std::nullopt;
    }
    const auto geometry = Tool(
        QStringLiteral("xdotool"),
        {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window_}, kToolTimeoutMs);
    if (!geometry)
        return std::nullopt;
    const auto dimension = [&](const char* name) {
        const auto match = QRegularExpression(QString::fromLatin1(name) + QStringLiteral("=(\\d+)"))
                               .match(QString::fromLatin1(*geometry));
        return match.captured(1).toInt();
    };
    // The output pane fills the window's width below the input line, from about 40 % of its
    // height to about 90 %.
    const QString x = QString::number(dimension("WIDTH") / 2);
    const QString y = QString::number(dimension("HEIGHT") * 7 / 10);
    if (!Tool(QStringLiteral("xdotool"),
              {QStringLiteral("mousemove"), QStringLiteral("--window"), window_, x, y,
               QStringLiteral("click"), QStringLiteral("1")},
              kToolTimeoutMs) ||
        !Tool(QStringLiteral("xdotool"),
              {QStringLiteral("key"), QStringLiteral("ctrl+a"), QStringLiteral("ctrl+c")},
              kToolTimeoutMs))
        return std::nullopt;
    if (!holder.waitForFinished(kCopyTimeoutMs)) {
        error_ = "cutecom did not take the clipboard after Ctrl+A, Ctrl+C";
        return std::nullopt;
    }
    const auto text = Tool(QStringLiteral("xclip"), read, kCopyTimeoutMs);
    if (!text)
        return std::nullopt;
    return text->toStdString();
}

std::optional<QByteArray> CutecomPeer::Tool(const QString& program, const QStringList& arguments,
                                            int timeoutMs) {
    QProcess tool;
    tool.setProcessEnvironment(environment_);
    tool.start(program, arguments);
    if (!tool.waitForStarted()) {
        error_ = program.toStdString() + " did not start (is it installed?)";
        return std::nullopt;
    }
    QByteArray output;
    // Read as it comes: a large clipboard would fill the pipe before the tool could end.
    while (tool.state() != QProcess::NotRunning && tool.waitForReadyRead(timeoutMs))
        output += tool.readAllStandardOutput();
    if (tool.state() != QProcess::NotRunning && !tool.waitForFinished(timeoutMs)) {
        tool.kill();
        tool.waitForFinished();
    }
    output += tool.readAllStandardOutput();
    if (tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0) {
        error_ = (program + QLatin1Char(' ') + arguments.join(QLatin1Char(' ')) +
                  QStringLiteral(" failed: ") + QString::fromLocal8Bit(tool.readAllStandardError()))
                     .toStdString();
        return std::nullopt;
    }
    return output;
}
