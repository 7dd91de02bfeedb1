// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which COM numbers lead to a device that is there now, and what the system knows about each: for
// the port list, which shows those in bold with the facts in their tooltips. The survey runs on a
// worker thread of its own, when asked and whenever the system reports a device coming or going,
// and hands each result to the UI thread.

#include "core/thread.h"
#include "platform/devicefacts.h"
#include "platform/devicewatch.h"

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace corvane {

struct PortReport {
    bool present = false;
    // The device and the link it is found through, as DescribeComPort words it.
    std::string description;
    // The facts as tooltip lines ("by-id: ...", "USB 0403:6001", ...), empty when none are known.
    std::string facts;
};

// The tooltip lines of facts, one a line, for those the system knows.
std::string FactLines(const DeviceFacts& facts);

// COM1 to COM<count>, as they are now: element n - 1 is COM<n>.
std::vector<PortReport> SurveyPorts(unsigned count, const FactSources& sources);

class PortSurvey : public Thread {
public:
    // report runs on the UI thread with each survey, the first one as soon as the thread starts.
    using Report = std::function<void(const std::vector<PortReport>&)>;
    PortSurvey(unsigned count, Report report);
    // Ends the thread; a report it is handing over meanwhile is not run.
    ~PortSurvey() override;

    // Any thread: survey again now.
    void Request();

protected:
    void Execute() override;

private:
    const unsigned count_;
    const Report report_;
    DeviceWatch devices_;
    std::atomic<bool> requested_{true};
};

} // namespace corvane
