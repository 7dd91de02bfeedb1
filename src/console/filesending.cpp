// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/filesending.h"

#include "console/dialogs.h"
#include "console/errordisplay.h"
#include "console/filesendbars.h"
#include "console/logpanetools.h"
#include "console/untMain.h"
#include "core/codepage.h"
#include "core/exception.h"
#include "core/fileerror.h"
#include "filesend/filesender.h"
#include "filesend/serialchunks.h"
#include "filesend/udpchunks.h"
#include "udp/hostport.h"
#include "udp/idcomponent.h"

#include <QFileInfo>
#include <QMenu>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The largest datagram's payload over IPv4: 65,535 less the IP and UDP headers (20 + 8 bytes).
constexpr int kLargestDatagram = 65507;
// A serial chunk is one write; 64 KiB keeps its "<- " line within reason.
constexpr int kLargestSerialChunk = 65536;

struct LinkFacts {
    const char* key; // in the settings file
    corvane::Settings::FileSendPace pace;
    int maxChunkSize;
};

LinkFacts FactsOf(TFileSending::Link link) {
    if (link == TFileSending::Link::Serial)
        return {"serial", {256, 0}, kLargestSerialChunk};
    return {"udp", {1024, 1}, kLargestDatagram};
}

} // namespace

TFileSending::TFileSending(TfrmMain& window, Dialogs& dialogs, corvane::Settings& settings,
                           TFileSendBars& bars, Link link)
    : QObject(&window), window_(window), dialogs_(dialogs), settings_(settings), bars_(bars),
      link_(link) {}

TFileSending::~TFileSending() {
    Cancel();
    WaitForEnd();
}

bool TFileSending::LinkOpen() const {
    return (link_ == Link::Serial ? window_.btnOpenComPort : window_.btnOpenUDPPort)->Tag == 1;
}

void TFileSending::AddMenuItem(QMenu& menu) {
    QAction* item = menu.addAction(QStringLiteral("Send File…"), this, [this] { AskAndStart(); });
    item->setObjectName(QStringLiteral("send-file"));
    item->setEnabled(LinkOpen() && !sender_);
}

std::unique_ptr<corvane::FileChunkLink> TFileSending::MakeChunkLink() {
    udpChunks_ = nullptr;
    if (link_ == Link::Serial)
        return std::make_unique<corvane::SerialChunkLink>(window_);
    // The destination as a Send click takes it, resolved once for the whole file.
    corvane::TIdUDPServer& server = *window_.IdUDPServer1;
    const corvane::TIdHostPort to =
        corvane::SplitHostPort(corvane::ToCodePage(window_.edtHost->text()));
    const corvane::ByteString address = corvane::StackInstance()->HostToAddress(to.host);
    auto chunks = std::make_unique<corvane::UdpChunkLink>(window_, server, address,
                                                          to.port.value_or(server.DefaultPort()));
    udpChunks_ = chunks.get();
    return chunks;
}

void TFileSending::AskAndStart() {
    if (!LinkOpen() || sender_)
        return;
    const LinkFacts facts = FactsOf(link_);
    const corvane::Settings::FileSendPace pace = settings_.FileSendPaceOf(facts.key, facts.pace);
    const auto choice = dialogs_.AskFileToSend({QStringLiteral("Send File"), settings_.LastFolder(),
                                                pace.chunkSize, facts.maxChunkSize, pace.delayMs});
    if (!choice || !LinkOpen())
        return;
    settings_.SetFileSendPace(facts.key, {choice->chunkSize, choice->delayMs});
    settings_.SetLastFolder(QFileInfo(choice->path).absolutePath());
    try {
        chunks_ = MakeChunkLink();
    } catch (const corvane::Exception& e) {
        dialogs_.ShowError(ErrorDisplay::BoxText(e.Message()));
        return;
    }
    const std::string path = choice->path.toStdString();
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat status {};
    if (fd < 0 || fstat(fd, &status) != 0) {
        const int error = errno;
        if (fd >= 0)
            close(fd);
        udpChunks_ = nullptr;
        chunks_.reset();
        dialogs_.ShowError(ErrorDisplay::BoxText(
            FileFailureText("Cannot send", corvane::FileErrorOf(path, error))));
        return;
    }
    const QString name = QFileInfo(choice->path).fileName();
    sender_ = std::make_unique<corvane::FileSender>(
        window_, *chunks_, fd, static_cast<std::uint64_t>(status.st_size),
        corvane::ToCodePage(name),
        corvane::FileSender::Pace{static_cast<std::size_t>(choice->chunkSize),
                                  static_cast<unsigned>(choice->delayMs)});
    // Inside the end line's hand-over the worker waits: the sender is freed from the event loop.
    const corvane::FileSender* started = sender_.get();
    sender_->SetOnEnded([this, started] {
        QTimer::singleShot(0, this, [this, started] {
            if (sender_.get() == started)
                Reap();
        });
    });
    bar_ = bars_.Add(name, *sender_, [this] { Cancel(); });
    sender_->Start();
}

void TFileSending::Cancel() {
    if (sender_)
        sender_->Cancel();
}

void TFileSending::WaitForEnd() {
    if (!sender_)
        return;
    sender_->WaitFor();
    Reap();
}

void TFileSending::Reap() {
    sender_.reset(); // ended: this only joins its thread
    bars_.Remove(bar_);
    bar_ = nullptr;
    const corvane::ByteString failure = udpChunks_ ? udpChunks_->Failure() : corvane::ByteString();
    udpChunks_ = nullptr;
    chunks_.reset();
    if (!failure.empty())
        dialogs_.ShowError(ErrorDisplay::BoxText(failure));
}
