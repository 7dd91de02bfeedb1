// SPDX-License-Identifier: GPL-3.0-or-later
// The wait for a device after a re-plug: what the waiting costs, and how soon a device that comes
// back is open again. A COM port is opened on a pseudo-terminal linked in a ports folder of the
// bench's own; closing the pty's master pulls the device, a new pty behind the link plugs it in.
//   build/bench/replug_bench [SECONDS] [REPLUGS]    (10 s of waiting, 20 re-plugs)
#include "core/handover.h"
#include "core/logpanes.h"
#include "processfigures.h"
#include "serial/devicemessages.h"
#include "serial/messages.h"
#include "serial/replug.h"
#include "serial/seriallink.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <pty.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// Counts the lines the link writes that the bench waits for.
class CountingPanes : public corvane::LogPanes {
public:
    void AddToLog(const corvane::ByteString& line, std::int64_t) override {
        if (line == corvane::serial::kDeviceGone)
            ++gone;
        else if (line.rfind(corvane::serial::kDeviceBack, 0) == 0)
            ++back;
    }
    void AddToLogRec(const corvane::ByteString&, std::int64_t) override {}
    int gone = 0;
    int back = 0;
};

struct Pty {
    int master = -1, slave = -1;
    std::string path;
    Pty() {
        char name[256];
        if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
            std::perror("openpty");
            std::exit(1);
        }
        path = name;
    }
    void Unplug() {
        close(master);
        close(slave);
    }
};

void Link(const fs::path& folder, const std::string& target) {
    fs::remove(folder / "COM7");
    fs::create_symlink(target, folder / "COM7");
}

// Runs the event loop, and with it the hand-overs, until done() holds.
bool RunUntil(const std::function<bool()>& done) {
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    QTimer tick;
    tick.start(5);
    while (!done() && Clock::now() < deadline)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    corvane::InstallHandOver();
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    const int replugs = argc > 2 ? std::atoi(argv[2]) : 20;

    std::string pattern = (fs::temp_directory_path() / "corvane-replug-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        return 1;
    const fs::path work = pattern;
    fs::create_directories(work / "ports");
    fs::create_directories(work / "locks");
    fs::create_directories(work / "config");
    setenv("CORVANE_PORTS_DIR", (work / "ports").c_str(), 1);
    setenv("CORVANE_LOCK_DIR", (work / "locks").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (work / "config").c_str(), 1); // the default: reconnect on

    CountingPanes panes;
    Pty device;
    Link(work / "ports", device.path);
    if (!corvane::OpenSerialLink(panes, 7, 115200)) {
        std::fprintf(stderr, "COM7 did not open\n");
        return 1;
    }

    // Pulled: the port waits with nothing to find.
    device.Unplug();
    if (!RunUntil([&] { return panes.gone == 1 && corvane::ReplugWaiting(); })) {
        std::fprintf(stderr, "the loss was not seen\n");
        return 1;
    }
    const ProcessFigures before = ReadProcessFigures();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const ProcessFigures after = ReadProcessFigures();
    const double cpu = after.cpuSeconds - before.cpuSeconds;
    std::printf("waiting for the device, %d s: %.4f CPU seconds (%.3f %% of one core)\n", seconds,
                cpu, 100.0 * cpu / seconds);

    // Plugged back, again and again: from the new device behind the link to the port open on it.
    std::vector<double> ms;
    for (int i = 0; i < replugs; ++i) {
        Pty next;
        const auto plugged = Clock::now();
        Link(work / "ports", next.path);
        if (!RunUntil([&] { return panes.back == i + 1; })) {
            std::fprintf(stderr, "re-plug %d was not taken\n", i + 1);
            return 1;
        }
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - plugged).count());
        next.Unplug();
        if (!RunUntil([&] { return panes.gone == i + 2 && corvane::ReplugWaiting(); }))
            return 1;
        device = next;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("device back to port open, %d re-plugs: median %.0f ms, fastest %.0f ms, slowest "
                "%.0f ms (the device must stay 500 ms; the path is looked at every 200 ms)\n",
                replugs, ms[ms.size() / 2], ms.front(), ms.back());

    corvane::CloseSerialLink();
    RunUntil([] { return !corvane::ReplugWaiting(); });
    std::error_code ignored;
    fs::remove_all(work, ignored);
    return 0;
}
