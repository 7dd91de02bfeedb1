// SPDX-License-Identifier: GPL-3.0-or-later
// The program's side of the soak (bench/soak.sh): the real window, offscreen, driven through its
// controls alone. Opens COM<n> and the UDP port, repeats a send every millisecond on both, clears
// the panes every few seconds so that what they hold does not hide a leak, and reopens the COM
// port whenever its link in the ports folder is pointed at a new device (the device hung up).
// Prints the process's descriptors, threads, handles and memory when the window shows, once the
// load is running, at the end, and after both links are closed again.
//
//   soak_driver COM_NUMBER UDP_PORT SECONDS
#include "benchsupport.h"
#include "console/dialogs.h"
#include "console/untMain.h"
#include "platform/comports.h"
#include "platform/posix/handletable.h"

#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

// Given by AddressSanitizer and ThreadSanitizer; absent from a plain build.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));

namespace {

namespace fs = std::filesystem;

// Counts the error boxes and shows the first few on stderr.
class CountingDialogs : public Dialogs {
public:
    void ShowError(const corvane::ByteString& text) override {
        if (++errors <= 5)
            std::fprintf(stderr, "error box: %s\n", text.c_str());
    }
    void ShowInformation(const corvane::ByteString&, const LinkOpener&) override {}
    bool Confirm(const corvane::ByteString&) override { return false; }
    std::optional<FileChoice> AskFileToWrite(const FileQuestion&) override { return std::nullopt; }
    std::optional<QString> AskText(const QString&, const QString&, const QString&) override {
        return std::nullopt;
    }
    int errors = 0;
};

std::size_t Entries(const char* folder) {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder))
        ++count;
    return count;
}

std::string StatusLine(const char* key) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(key, 0) == 0)
            return line.substr(line.find_first_not_of(" \t", std::string(key).size()));
    }
    return "?";
}

// What the descriptors lead to and what the threads are called, for a count that looks wrong.
std::string Names() {
    std::string names = "    descriptors:";
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        names += " " + fs::read_symlink(entry.path(), error).string();
    }
    names += "\n    threads:";
    for (const auto& entry : fs::directory_iterator("/proc/self/task")) {
        std::string name;
        std::getline(std::ifstream(entry.path() / "comm"), name);
        names += " " + name;
    }
    return names;
}

void PrintResources(const char* when, bool withNames = false) {
    std::printf("%-22s descriptors %4zu  threads %3zu  handles %3zu  VmRSS %s", when,
                Entries("/proc/self/fd"), Entries("/proc/self/task"),
                corvane::posix::OpenHandleCount(), StatusLine("VmRSS:").c_str());
    // Under a sanitizer VmRSS also holds the freed blocks it keeps in quarantine; the live heap
    // is the figure that shows a leak.
    if (__sanitizer_get_current_allocated_bytes)
        std::printf("  heap in use %zu kB", __sanitizer_get_current_allocated_bytes() / 1024);
    std::printf("\n%s", withNames ? (Names() + "\n").c_str() : "");
    std::fflush(stdout);
}

// Runs the event loop for ms milliseconds.
void RunFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

std::string LinkTarget(const fs::path& link) {
    std::error_code error;
    return fs::read_symlink(link, error).string();
}

// Opens the COM port (if closed) and starts its repetition (if stopped); false when the port
// would not open, which happens while the device is between two pseudo-terminals.
bool OpenSerial(TfrmMain& frm) {
    if (frm.btnOpenComPort->Tag == 0)
        frm.btnOpenComPort->click();
    if (frm.btnOpenComPort->Tag == 0)
        return false;
    if (frm.btnWriteToPort->Tag == 0)
        frm.btnWriteToPort->click();
    return true;
}

int Run(int comNumber, int udpPort, int seconds) {
    const fs::path link = fs::path(corvane::ComPortsFolder()) / ("COM" + std::to_string(comNumber));
    CountingDialogs dialogs;
    int reopens = 0;
    int refusedOpens = 0;
    {
        TfrmMain frm(dialogs);
        frm.show();
        PrintResources("window shown", true);

        frm.cmbxComPorts->setCurrentIndex(comNumber - 1);
        frm.edtData->setText(QStringLiteral("01 03 00 00"));
        frm.chkbxManyTimes->click();
        frm.spnedtSendTime->SetValue(1);
        std::string device = LinkTarget(link);
        if (!OpenSerial(frm)) {
            std::fprintf(stderr, "COM%d did not open\n", comNumber);
            return 1;
        }

        frm.edtUDPPort->setText(QString::number(udpPort));
        frm.edtHost->setText(QStringLiteral("127.0.0.1"));
        frm.btnOpenUDPPort->click();
        if (frm.btnOpenUDPPort->Tag != 1) {
            std::fprintf(stderr, "UDP port %d did not open\n", udpPort);
            return 1;
        }
        frm.edtUDPData->setText(QStringLiteral("73 6F 61 6B"));
        frm.chkbxManyTimesUDP->click();
        frm.spnedtSendTimeUDP->SetValue(1);
        frm.btnSendUDP->click();

        // A hang-up shows as a new target of the port's link: close and open again.
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            const std::string now = LinkTarget(link);
            const bool moved = now != device;
            if (moved && frm.btnOpenComPort->Tag == 1)
                frm.btnOpenComPort->click();
            if (moved || frm.btnOpenComPort->Tag == 0) {
                if (OpenSerial(frm)) {
                    device = now;
                    ++reopens;
                } else {
                    ++refusedOpens;
                }
            }
        });
        watch.start(100);
        QTimer clear;
        QObject::connect(&clear, &QTimer::timeout, frm.btnClearLog, &QPushButton::click);
        clear.start(5000);

        RunFor(5000);
        PrintResources("load running (5 s)", true);
        RunFor(seconds * 1000);
        PrintResources("end of the soak");

        watch.stop();
        clear.stop();
        if (frm.btnSendUDP->Tag == 1)
            frm.btnSendUDP->click();
        if (frm.btnWriteToPort->Tag == 1)
            frm.btnWriteToPort->click();
        frm.btnOpenUDPPort->click();
        if (frm.btnOpenComPort->Tag == 1)
            frm.btnOpenComPort->click();
        frm.btnClearLog->click();
        RunFor(2000);
        PrintResources("both links closed", true);
    }
    std::printf("COM port reopened %d times after a hang-up (%d attempts refused while the device "
                "was away); %d error boxes\n",
                reopens, refusedOpens, dialogs.errors);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s COM_NUMBER UDP_PORT SECONDS\n", argv[0]);
        return 2;
    }
    int status = 0;
    RunOffscreen(argc, argv,
                 [&] { status = Run(std::atoi(argv[1]), std::atoi(argv[2]), std::atoi(argv[3])); });
    return status;
}
