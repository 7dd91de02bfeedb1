// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/portsurvey.h"

#include "core/handover.h"
#include "platform/comports.h"

namespace corvane {

std::string FactLines(const DeviceFacts& facts) {
    std::string lines;
    const auto add = [&lines](const std::string& label, const std::string& value) {
        if (value.empty())
            return;
        if (!lines.empty())
            lines += '\n';
        lines += label + value;
    };
    add("by-id: ", facts.byId);
    if (!facts.vendorId.empty() || !facts.productId.empty())
        add("USB VID:PID ", facts.vendorId + ":" + facts.productId);
    add("Manufacturer: ", facts.manufacturer);
    add("Product: ", facts.product);
    add("Serial number: ", facts.serial);
    add("Driver: ", facts.driver);
    return lines;
}

std::vector<PortReport> SurveyPorts(unsigned count, const FactSources& sources) {
    std::vector<PortReport> reports(count);
    for (unsigned number = 1; number <= count; ++number) {
        reports[number - 1].description = DescribeComPort(number);
        const auto facts = ReadDeviceFacts(ComPortPath(number), sources);
        if (!facts)
            continue;
        reports[number - 1].present = true;
        reports[number - 1].facts = FactLines(*facts);
    }
    return reports;
}

PortSurvey::PortSurvey(unsigned count, Report report) : count_(count), report_(std::move(report)) {}

PortSurvey::~PortSurvey() {
    Terminate();
    devices_.Wake();
    WaitFor();
}

void PortSurvey::Request() {
    requested_ = true;
    devices_.Wake();
}

void PortSurvey::Execute() {
    while (!Terminated()) {
        if (requested_.exchange(false)) {
            const auto reports = SurveyPorts(count_, DefaultFactSources());
            Synchronize([&] {
                if (!Terminated())
                    report_(reports);
            });
            continue;
        }
        // Woken by a request or the end, or by a device that came or went.
        if (devices_.Wait(-1))
            requested_ = true;
    }
}

} // namespace corvane
