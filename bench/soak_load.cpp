// SPDX-License-Identifier: GPL-3.0-or-later
// The outside world of the soak (bench/soak.sh): a serial device on a pseudo-terminal linked as a
// COM port, which sends bursts, takes whatever the program writes, and hangs up now and then (its
// end is closed and a new pseudo-terminal takes the port's link), and senders on several loopback
// addresses that flood 127.0.0.1 at the program's UDP port with empty, 8,192-byte and
// 65,507-byte datagrams. Runs until SIGTERM or SIGINT, which it obeys at once whatever the program
// does, then prints what it did.
//
//   soak_load PORTS_DIR COM_NUMBER READY_FILE [DATAGRAMS_PER_SECOND] [HANGUP_EVERY_MS]
//
// READY_FILE receives the UDP port the program is to open, once the COM port's link stands.
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <random>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// Set by SIGTERM and SIGINT; the pipe wakes every wait of the load at once, so that no sleep, poll
// or write outlasts the stop.
std::atomic<bool> stopping{false};
int stopPipe[2] = {-1, -1};

void Stop(int) {
    const int saved = errno;
    stopping = true;
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = write(stopPipe[1], &byte, 1);
    errno = saved;
}

// Waits on fd for events (none: only the stop) until the time given; returns fd's events, 0 when
// the time came or the stop did.
short WaitFor(int fd, short events, Clock::time_point until) {
    pollfd entries[2] = {{fd, events, 0}, {stopPipe[0], POLLIN, 0}};
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now()).count();
    if (poll(entries, 2, static_cast<int>(std::max<long long>(left, 0))) <= 0 || stopping)
        return 0;
    return entries[0].revents;
}

[[noreturn]] void Fail(const char* what) {
    std::perror(what);
    std::exit(1);
}

// A UDP port that nothing on this machine holds right now.
int FreeUdpPort() {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    socklen_t length = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        Fail("free UDP port");
    close(fd);
    return ntohs(address.sin_port);
}

struct FloodFigures {
    std::uint64_t sent[3] = {};
    std::uint64_t refused = 0;
};

// Datagrams of the three sizes in turn, from 127.0.0.2 to 127.0.0.6 in turn, paced per
// millisecond at rate per second.
void Flood(int port, double rate, FloodFigures& figures) {
    constexpr std::size_t kSizes[] = {0, 8192, 65507};
    std::vector<int> senders;
    for (int host = 2; host <= 6; ++host) {
        const int fd = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(0x7F000000u | static_cast<unsigned>(host));
        if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0)
            Fail("bind sender");
        senders.push_back(fd);
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const std::vector<char> payload(65507, 'S');

    const auto start = Clock::now();
    std::uint64_t count = 0;
    for (auto slot = start; !stopping; slot += std::chrono::milliseconds(1)) {
        WaitFor(-1, 0, slot);
        const double due = rate * std::chrono::duration<double>(slot - start).count();
        for (; count < due && !stopping; ++count) {
            const std::size_t kind = count % 3;
            const int fd = senders[count / 3 % senders.size()];
            // A full send queue refuses the datagram rather than holding the sender.
            if (sendto(fd, payload.data(), kSizes[kind], MSG_DONTWAIT,
                       reinterpret_cast<sockaddr*>(&to), sizeof to) < 0)
                ++figures.refused;
            else
                ++figures.sent[kind];
        }
    }
    for (int fd : senders)
        close(fd);
}

struct SerialFigures {
    std::uint64_t written = 0;
    std::uint64_t read = 0;
    int hangups = 0;
};

// A new pseudo-terminal, left as the kernel makes it, whose second end the port's link names. The
// link is replaced in one step, so the program never sees it missing.
int NewDevice(const fs::path& link) {
    int master = -1;
    int slave = -1;
    char name[256];
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0)
        Fail("openpty");
    close(slave);
    // A program that stops reading fills the pty: a blocking write would then wait for ever.
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    const fs::path staged = link.string() + ".new";
    fs::remove(staged);
    fs::create_symlink(name, staged);
    fs::rename(staged, link);
    return master;
}

// Bursts of 1 to 4,096 random bytes every 50 ms, one of 64 KiB every 50th; drains what the program
// writes; hangs up every hangupMs.
void Device(const fs::path& link, int hangupMs, SerialFigures& figures) {
    std::mt19937 random(11);
    std::vector<char> burst(64 * 1024);
    for (char& byte : burst)
        byte = static_cast<char>(random());
    std::vector<char> sink(64 * 1024);

    int master = NewDevice(link);
    auto nextBurst = Clock::now();
    auto nextHangup = Clock::now() + std::chrono::milliseconds(hangupMs);
    std::size_t pending = 0;
    int bursts = 0;
    while (!stopping) {
        const auto now = Clock::now();
        if (now >= nextHangup) {
            close(master);
            ++figures.hangups;
            master = NewDevice(link);
            nextHangup = now + std::chrono::milliseconds(hangupMs);
            pending = 0;
        }
        if (pending == 0 && now >= nextBurst) {
            pending = ++bursts % 50 == 0 ? burst.size() : 1 + random() % 4096;
            nextBurst = now + std::chrono::milliseconds(50);
        }
        const short revents = WaitFor(master, static_cast<short>(POLLIN | (pending ? POLLOUT : 0)),
                                      now + std::chrono::milliseconds(5));
        if (revents & POLLIN) {
            const ssize_t n = read(master, sink.data(), sink.size());
            if (n > 0)
                figures.read += static_cast<std::uint64_t>(n);
        }
        if (revents & POLLOUT && pending) {
            const ssize_t n = write(master, burst.data(), pending);
            if (n > 0) {
                figures.written += static_cast<std::uint64_t>(n);
                pending -= static_cast<std::size_t>(n);
            }
        }
        // Nobody holds the other end yet (the program is reopening the port): wait for it.
        if (revents & POLLHUP)
            WaitFor(-1, 0, Clock::now() + std::chrono::milliseconds(5));
    }
    close(master);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr,
                     "usage: %s PORTS_DIR COM_NUMBER READY_FILE [DATAGRAMS_PER_SECOND] "
                     "[HANGUP_EVERY_MS]\n",
                     argv[0]);
        return 2;
    }
    const fs::path link = fs::path(argv[1]) / ("COM" + std::string(argv[2]));
    const double rate = argc > 4 ? std::atof(argv[4]) : 1500;
    const int hangupMs = argc > 5 ? std::atoi(argv[5]) : 10000;
    if (pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        Fail("pipe");
    std::signal(SIGTERM, Stop);
    std::signal(SIGINT, Stop);
    fs::create_directories(link.parent_path());

    const int port = FreeUdpPort();
    SerialFigures serial;
    FloodFigures flood;
    std::thread device([&] { Device(link, hangupMs, serial); });
    while (!fs::exists(link) && !stopping)
        WaitFor(-1, 0, Clock::now() + std::chrono::milliseconds(1));
    {
        const std::string staged = std::string(argv[3]) + ".new";
        std::ofstream(staged) << port << "\n";
        fs::rename(staged, argv[3]);
    }
    std::thread sender([&] { Flood(port, rate, flood); });
    sender.join();
    device.join();

    std::printf("load: UDP port %d, %.0f datagrams/s offered from 127.0.0.2-6\n", port, rate);
    std::printf("load: datagrams sent: %llu of 0 bytes, %llu of 8192, %llu of 65507; %llu "
                "refused by the kernel\n",
                static_cast<unsigned long long>(flood.sent[0]),
                static_cast<unsigned long long>(flood.sent[1]),
                static_cast<unsigned long long>(flood.sent[2]),
                static_cast<unsigned long long>(flood.refused));
    std::printf("load: serial bytes sent to the program %llu, taken from it %llu, hang-ups %d\n",
                static_cast<unsigned long long>(serial.written),
                static_cast<unsigned long long>(serial.read), serial.hangups);
    return 0;
}
