// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/replug.h"

#include "core/handover.h"
#include "core/settings.h"
#include "core/thread.h"
#include "platform/comports.h"
#include "platform/devicefacts.h"
#include "platform/devicewatch.h"
#include "platform/openfailure.h"
#include "serial/comport.h"
#include "serial/devicemessages.h"
#include "serial/serialstate.h"
#include "serial/untRxThread.h"

#include <chrono>
#include <memory>
#include <optional>
#include <utility>

namespace corvane {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// How often a device another program holds is looked at again: finding its holder reads /proc.
constexpr milliseconds kHeldLookEvery{1000};

class ReplugWatch;

struct Replug {
    LogPanes* panes = nullptr;
    BYTE portNumber = 0;
    DWORD baudRate = 0;
    bool armed = false;
    // The settle time covers a USB adapter's node appearing before udev has set its permissions
    // and links, and a board that resets twice coming and going in between.
    ReplugTiming timing;
    std::unique_ptr<ReplugWatch> watch;
    // What the device open now, or last, is: a re-plugged adapter is compared with it.
    DeviceFacts facts;
    std::function<void()> onBack;
};

// Never destroyed: a watcher may outlive the window, as the port and its worker do.
Replug& State() {
    static Replug* state = new Replug;
    return *state;
}

bool Reopen(const ReplugWatch* watch, const std::string& device, const DeviceFacts& facts);
void Say(const ReplugWatch* watch, const ByteString& line);

// The facts of whatever device path leads to now; none where nothing is known.
DeviceFacts FactsAt(const std::string& path) {
    return ReadDeviceFacts(path, DefaultFactSources()).value_or(DeviceFacts{});
}

// Two adapters are one where the system tells them apart by nothing it knows: USB ids and serial
// number (a device without them, a pty or a UART, is the same as any other such).
bool SameAdapter(const DeviceFacts& a, const DeviceFacts& b) {
    return a.vendorId == b.vendorId && a.productId == b.productId && a.serial == b.serial;
}

// "10c4:ea60 CP2102 USB to UART, серийный номер 0001": the ids, the product and the serial
// number, those the system knows; the device's node where it knows none.
ByteString InShort(const DeviceFacts& facts) {
    ByteString text;
    if (!facts.vendorId.empty() || !facts.productId.empty())
        text = facts.vendorId + ":" + facts.productId;
    if (!facts.product.empty())
        text += (text.empty() ? "" : " ") + facts.product;
    if (!facts.serial.empty())
        text +=
            (text.empty() ? serial::kSerialNumber.substr(2) : serial::kSerialNumber) + facts.serial;
    return text.empty() ? ByteString(facts.device) : text;
}

class ReplugWatch : public Thread {
public:
    ReplugWatch(unsigned portNumber, ReplugTiming timing)
        : portNumber_(portNumber), timing_(timing) {}
    ~ReplugWatch() override { Stop(); }

    // Any thread: ends the wait now and the thread soon; WaitFor then returns at once.
    void Stop() {
        Terminate();
        devices_.Wake();
    }

protected:
    void Execute() override {
        std::optional<unsigned long long> seen;
        std::string seenAt;
        Clock::time_point since;
        while (!Terminated()) {
            const std::string device = ComPortDevice(portNumber_);
            const auto number = DeviceNumberAt(device);
            const auto now = Clock::now();
            if (!number) {
                seen.reset();
                Pause(timing_.lookEvery);
                continue;
            }
            if (number != seen || device != seenAt) {
                seen = number;
                seenAt = device;
                since = now;
            }
            if (now - since < timing_.settle) {
                Pause(std::chrono::ceil<milliseconds>(since + timing_.settle - now));
                continue;
            }
            if (const std::string holder = OtherHolder(device); !holder.empty()) {
                SayOnce(saidBusy_, serial::kBackButBusy + device + " (" + holder + ")");
            } else if (!MayOpen(device)) {
                SayOnce(saidNoRights_, serial::kBackButNoRights + device);
            } else {
                bool reopened = false;
                const DeviceFacts facts = FactsAt(device);
                Synchronize([&] { reopened = Reopen(this, device, facts); });
                if (reopened)
                    return;
            }
            Pause(kHeldLookEvery);
        }
    }

private:
    // Says why the device is left alone, once for each reason in a wait.
    void SayOnce(bool& said, const ByteString& line) {
        if (std::exchange(said, true))
            return;
        Synchronize([&] { Say(this, line); });
    }
    // Until the time passes, a device comes or goes, or Stop.
    void Pause(milliseconds time) { devices_.Wait(static_cast<int>(time.count())); }

    const unsigned portNumber_;
    const ReplugTiming timing_;
    DeviceWatch devices_;
    bool saidBusy_ = false;
    bool saidNoRights_ = false;
};

// Whether watch is still the wait that runs, on the UI thread: a Close may have come first, and it
// waits for the watcher with hand-overs running.
bool StillWaiting(const ReplugWatch* watch) {
    const Replug& state = State();
    return state.armed && state.watch.get() == watch && !watch->Terminated();
}

void Say(const ReplugWatch* watch, const ByteString& line) {
    if (StillWaiting(watch))
        State().panes->AddToLog(line);
}

// On the UI thread, handed over by watch when its device has settled; facts are the device's.
bool Reopen(const ReplugWatch* watch, const std::string& device, const DeviceFacts& facts) {
    Replug& state = State();
    if (!StillWaiting(watch))
        return false;
    // The write event of the port that went, before the reopen makes a new one.
    CloseHandle(WriteOverlapped.hEvent);
    const HANDLE port = ReopenComPort(*state.panes, state.portNumber, state.baudRate);
    if (port == INVALID_HANDLE_VALUE)
        return false; // taken in the meantime; the watcher goes on
    auto* worker = new RxThread(*state.panes);
    AttachComPort(port, worker);
    state.panes->AddToLog(serial::kDeviceBack + device);
    if (!SameAdapter(facts, state.facts))
        state.panes->AddToLog(serial::kOtherDevice + InShort(facts));
    state.facts = facts;
    worker->Start(); // frees itself when it ends
    if (state.onBack)
        state.onBack();
    return true;
}

// Ends the watcher, running its hand-over if it is in one.
void EndWatch(Replug& state) {
    if (!state.watch)
        return;
    state.watch->Stop();
    state.watch->WaitFor();
    state.watch.reset();
}

} // namespace

void ArmReplug(LogPanes& panes, BYTE portNumber, DWORD baudRate) {
    Replug& state = State();
    EndWatch(state);
    state.panes = &panes;
    state.portNumber = portNumber;
    state.baudRate = baudRate;
    state.armed = Settings().Reconnect();
    // Read once an open, while the device is there; a USB adapter's facts take a millisecond or
    // two.
    if (state.armed)
        state.facts = FactsAt(ComPortDevice(portNumber));
}

void DisarmReplug() {
    Replug& state = State();
    state.armed = false;
    EndWatch(state);
}

void WaitForReplug(const RxThread* worker) {
    Replug& state = State();
    if (!state.armed || ComPortFor(worker) == INVALID_HANDLE_VALUE)
        return;
    CloseHandle(hComPort);
    TerminateRxThread();
    EndWatch(state); // one that reopened a port which has hung up again
    state.watch = std::make_unique<ReplugWatch>(state.portNumber, state.timing);
    state.watch->Start();
}

void OnDeviceBack(std::function<void()> listener) {
    State().onBack = std::move(listener);
}

void SetReplugTiming(ReplugTiming timing) {
    State().timing = timing;
}

bool ReplugWaiting() {
    const Replug& state = State();
    return state.watch && !state.watch->Finished();
}

} // namespace corvane
